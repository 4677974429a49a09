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

        const auto row = [](const char* name, const QStringList& arguments, const QVariantMap& settings,
                            const char* error, const char* server, int timeoutMs, const char* database) {
            QTest::newRow(name) << arguments << settings << QString(error) << QString(server) << timeoutMs
                                << QString(database);
        };
        row("nothing: embedded, 30 s", {}, {}, "", "", 30000, "");
        row("command line beats the settings", {"--server", "ws://a:1", "--timeout", "500"},
            {{"server", "ws://b:2"}, {"timeoutMs", 9000}}, "", "ws://a:1", 500, "");
        row("http is not a WebSocket", {"--server", "http://host:80"}, {}, "ws://host:port", "", 0, "");
        row("database with a remote server", {"--server", "ws://a:1", "--db", "/tmp/x.sqlite"}, {}, "--db",
            "", 0, "");
        row("batch that is not a number", {"--batch", "12a"}, {}, "\"12a\"", "", 0, "");
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
