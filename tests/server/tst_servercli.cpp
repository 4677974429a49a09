// The tavro-server program as an administrator runs it: its command line, its log and wss://.

#include "ServerTestSupport.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSslSocket>
#include <QStandardPaths>
#include <QTest>

using namespace tavro::protocol;
using namespace tavro::server;
using namespace tavro::server::test;

namespace {

// The program logs what the test reads, whatever logging rules the test itself runs with.
void startServer(QProcess& process, const QStringList& arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_LOGGING_RULES"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(TAVRO_SERVER_BINARY), arguments);
}

// Runs the program to its end; its exit code and everything it wrote.
std::pair<int, QString> runServer(const QStringList& arguments, const QByteArray& input = {})
{
    QProcess process;
    startServer(process, arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000))
        process.kill();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardError() + process.readAllStandardOutput())};
}

} // namespace

class TestServerCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void shouldRefuseBadCommandLines_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        const QString db = "sqlite:" + m_dir.filePath("refused.db");
        // clang-format off
        QTest::newRow("unknown store") << QStringList{"--db", "mysql://x/y", "--init"} << "--db must be sqlite:PATH or postgresql://";
        QTest::newRow("revoke nobody") << QStringList{"--db", db, "--revoke", "nobody"} << "There is no user \"nobody\".";
        QTest::newRow("listen without schema") << QStringList{"--db", "sqlite:" + m_dir.filePath("empty.db"), "--listen", "127.0.0.1:0"} << "has no current schema; run with --init first";
        QTest::newRow("certificate without key") << QStringList{"--db", db, "--init", "--listen", "127.0.0.1:0", "--tls-cert", "c.pem"} << "--tls-cert and --tls-key go together";
        // clang-format on
    }
    void shouldRefuseBadCommandLines()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const auto [exitCode, log] = runServer(arguments, "secret\n");
        QCOMPARE(exitCode, 1);
        QVERIFY2(log.contains(message), qPrintable(log));
    }

    // Seeded, grown and given a user by the command line, served over wss:// when openssl can make a
    // certificate, and the user's sessions ended from another command.
    void administeredStoreShouldServeItsUsers()
    {
        const QString db = "sqlite:" + m_dir.filePath("served.db");
        auto [exitCode, log] = runServer({"--db", db, "--seed-demo"});
        QCOMPARE(exitCode, 0);
        static const QRegularExpression stamped(
            QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} info "));
        for (const QString& line : log.split(u'\n', Qt::SkipEmptyParts))
            QVERIFY2(stamped.match(line).hasMatch(), qPrintable(line));
        QCOMPARE(runServer({"--db", db, "--generate", "3", "4"}).first, 0);
        {
            // Generated, then analyzed, as a bulk load should be: the planner has statistics.
            QSqlDatabase store =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("generated"));
            store.setDatabaseName(m_dir.filePath("served.db"));
            QVERIFY(store.open());
            QSqlQuery stats(QStringLiteral("SELECT COUNT(*) FROM sqlite_stat1 WHERE tbl = 'rcpt'"), store);
            QVERIFY2(stats.next() && stats.value(0).toInt() > 0, qPrintable(stats.lastError().text()));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("generated"));
        QCOMPARE(runServer({"--db", db, "--add-user", "jdoe", "--role", "confirm", "--officer", "4321",
                            "--officer-name", "Jo Doe", "--trp", "TRP09", "--district", "D09"},
                           "s3cret pass\n")
                     .first,
                 0);

        QStringList arguments = {"--db", db, "--listen", "127.0.0.1:0", "--revocation-check-ms", "0"};
        const QString openssl = QStandardPaths::findExecutable("openssl");
        const bool tls = !openssl.isEmpty() && QSslSocket::supportsSsl();
        if (tls) {
            const QString cert = m_dir.filePath("cert.pem"), key = m_dir.filePath("key.pem");
            QProcess makeCert;
            makeCert.start(openssl, {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out",
                                     cert, "-days", "1", "-subj", "/CN=127.0.0.1"});
            QVERIFY(makeCert.waitForFinished(30000) && makeCert.exitCode() == 0);
            arguments << "--tls-cert" << cert << "--tls-key" << key;
        }
        QProcess serving;
        startServer(serving, arguments);
        static const QRegularExpression listening(QStringLiteral("Listening on (wss?://\\S+)"));
        QRegularExpressionMatch match;
        QString output;
        const bool ended = QTest::qWaitFor(
            [&] {
                match = listening.match(output += QString::fromUtf8(serving.readAllStandardError()));
                return match.hasMatch() || serving.state() == QProcess::NotRunning;
            },
            20000);
        const QUrl url(match.captured(1));
        QVERIFY2(ended && url.port() > 0, qPrintable(output));
        QCOMPARE(url.scheme(), QString(tls ? "wss" : "ws"));

        Client client(url); // accepts the self-signed certificate
        QVERIFY(!client.login("jdoe", "s3cret pass ").has_value());
        const auto session = client.login("jdoe", "s3cret pass");
        QVERIFY(session);
        QCOMPARE(session->profile, (Profile{"jdoe", "TRP09", "D09", 4321, "Jo Doe"}));
        const auto reply = std::get<Reply>(*client.exchange(search("D", "2000002", "F")));
        QCOMPARE(reply.dataSets.value("RECEIPT").records.size(), 4);

        std::tie(exitCode, log) = runServer({"--db", db, "--revoke", "jdoe"});
        QVERIFY2(exitCode == 0 && log.contains("Ended 1 sessions of jdoe"), qPrintable(log));
        const auto refused = std::get<Reply>(*client.exchange(search("D", "2000002", "F")));
        QCOMPARE(refused.errors.value(0).code, QString(sessionerr::SessionExpired));
        // The connection forgets the ended session rather than asking again.
        QCOMPARE(std::get<Error>(*client.exchange(Ping{"after the end"})).code,
                 QString(sessionerr::NotSignedIn));
        QCOMPARE(std::get<Error>(*Client(url).exchange(Resume{session->token})).code,
                 QString(sessionerr::SessionExpired));
        serving.terminate();
        QVERIFY(serving.waitForFinished(5000));
    }
};

QTEST_GUILESS_MAIN(TestServerCli)
#include "tst_servercli.moc"
