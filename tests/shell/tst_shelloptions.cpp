#include "shell/ShellOptions.h"

#include <QCommandLineParser>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace tavro;

class tst_ShellOptions : public QObject
{
    Q_OBJECT

private slots:
    void shouldReadCommandLineOverSettings_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QVariantMap>("settings");
        QTest::addColumn<QString>("error");  // part of the error; empty: accepted
        QTest::addColumn<QString>("server"); // expected URL, empty: embedded
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<QString>("database");

        const QVariantMap none;
        QTest::newRow("nothing: embedded, 30 s") << QStringList{} << none << ""
                                                 << "" << 30000 << "";
        QTest::newRow("server on the command line")
            << QStringList{"--server", "ws://127.0.0.1:8765"} << none << ""
            << "ws://127.0.0.1:8765" << 30000 << "";
        QTest::newRow("secure server") << QStringList{"--server", "wss://tavro.example:443"} << none << ""
                                       << "wss://tavro.example:443" << 30000 << "";
        QTest::newRow("server from the settings")
            << QStringList{} << QVariantMap{{"server", "ws://backend:9000"}} << ""
            << "ws://backend:9000" << 30000 << "";
        QTest::newRow("command line beats the settings")
            << QStringList{"--server", "ws://a:1", "--timeout", "500"}
            << QVariantMap{{"server", "ws://b:2"}, {"timeoutMs", 9000}} << ""
            << "ws://a:1" << 500 << "";
        QTest::newRow("time-out from the settings")
            << QStringList{} << QVariantMap{{"timeoutMs", "1500"}} << ""
            << "" << 1500 << "";
        QTest::newRow("database for the embedded back end")
            << QStringList{"--db", "/tmp/x.sqlite"} << none << ""
            << "" << 30000 << "/tmp/x.sqlite";
        QTest::newRow("http is not a WebSocket")
            << QStringList{"--server", "http://host:80"} << none << "ws://host:port"
            << "" << 0 << "";
        QTest::newRow("server without port")
            << QStringList{"--server", "ws://host"} << none << "ws://host:port"
            << "" << 0 << "";
        QTest::newRow("server without host")
            << QStringList{"--server", "ws://:80"} << none << "ws://host:port"
            << "" << 0 << "";
        QTest::newRow("bad server in the settings")
            << QStringList{} << QVariantMap{{"server", "backend:9000"}} << "backend:9000"
            << "" << 0 << "";
        QTest::newRow("zero time-out") << QStringList{"--timeout", "0"} << none << "time-out"
                                       << "" << 0 << "";
        QTest::newRow("negative time-out") << QStringList{"--timeout", "-5"} << none << "time-out"
                                           << "" << 0 << "";
        QTest::newRow("time-out with unit") << QStringList{"--timeout", "5s"} << none << "\"5s\""
                                            << "" << 0 << "";
        QTest::newRow("database with a remote server")
            << QStringList{"--server", "ws://a:1", "--db", "/tmp/x.sqlite"} << none << "--db"
            << "" << 0 << "";
        QTest::newRow("batch that is not a number") << QStringList{"--batch", "12a"} << none << "\"12a\""
                                                    << "" << 0 << "";
    }

    void shouldReadCommandLineOverSettings()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QVariantMap, settings);
        QFETCH(QString, error);
        QFETCH(QString, server);
        QFETCH(int, timeoutMs);
        QFETCH(QString, database);

        QTemporaryDir dir;
        QSettings saved(dir.filePath("shell.ini"), QSettings::IniFormat);
        for (auto it = settings.cbegin(); it != settings.cend(); ++it)
            saved.setValue(it.key(), it.value());

        QCommandLineParser parser;
        ShellOptions::addTo(parser);
        QVERIFY2(parser.parse(QStringList{"tavro-shell"} + arguments), qPrintable(parser.errorText()));
        QString why;
        const auto options = ShellOptions::read(parser, saved, &why);
        QCOMPARE(!options.has_value(), !error.isEmpty());
        if (!options) {
            QVERIFY2(why.contains(error), qPrintable(why));
            return;
        }
        QCOMPARE(options->server.toString(), server);
        QCOMPARE(options->isEmbedded(), server.isEmpty());
        QCOMPARE(options->timeoutMs, timeoutMs);
        QCOMPARE(options->database, database);
    }
};

QTEST_MAIN(tst_ShellOptions)
#include "tst_shelloptions.moc"
