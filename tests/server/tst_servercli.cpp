// The tavro-server program as an administrator runs it: its command line, its log and wss://.

#include "ServerTestSupport.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSslSocket>
#include <QStandardPaths>
#include <QTest>

using namespace tavro::protocol;
using namespace tavro::server;
using namespace tavro::server::test;

namespace {

// The program logs what the test reads, whatever logging rules the test itself runs with.
QProcessEnvironment serverEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_LOGGING_RULES"));
    return environment;
}

struct Run
{
    int exitCode = -1;
    QString err;
};

Run runServer(const QStringList& arguments, const QByteArray& input = {})
{
    QProcess process;
    process.setProcessEnvironment(serverEnvironment());
    process.start(QStringLiteral(TAVRO_SERVER_BINARY), arguments);
    if (!process.waitForStarted())
        return {};
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000))
        process.kill();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardError() + process.readAllStandardOutput())};
}

/// A running server, stopped when this goes.
class Serving
{
public:
    explicit Serving(const QStringList& arguments)
    {
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.setProcessEnvironment(serverEnvironment());
        m_process.start(QStringLiteral(TAVRO_SERVER_BINARY), arguments);
    }
    ~Serving()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
    }
    /// The address from the log line "Listening on ws://...", once it has been written.
    QUrl waitForUrl()
    {
        static const QRegularExpression listening(QStringLiteral("Listening on (wss?://\\S+)"));
        QUrl url;
        const bool ended = QTest::qWaitFor(
            [&] {
                m_log += QString::fromUtf8(m_process.readAllStandardError());
                const auto match = listening.match(m_log);
                if (match.hasMatch())
                    url = QUrl(match.captured(1));
                return match.hasMatch() || m_process.state() == QProcess::NotRunning;
            },
            20000);
        return ended ? url : QUrl();
    }
    QString log() { return m_log += QString::fromUtf8(m_process.readAllStandardError()); }

private:
    QProcess m_process;
    QString m_log;
};

} // namespace

class TestServerCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString dbArgument(const QString& name) const { return QStringLiteral("sqlite:") + m_dir.filePath(name); }

private slots:
    void shouldRefuseBadCommandLines_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        const QString db = dbArgument("refused.db");
        // clang-format off
        QTest::newRow("no store") << QStringList{"--init"} << "--db is required";
        QTest::newRow("unknown store") << QStringList{"--db", "mysql://x/y", "--init"} << "--db must be sqlite:PATH or postgresql://";
        QTest::newRow("postgresql without database") << QStringList{"--db", "postgresql://user@host:5432/"} << "names no database";
        QTest::newRow("generate zero") << QStringList{"--db", db, "--generate", "0", "5"}
                                       << "--generate BATCHES RECEIPTS needs two positive numbers";
        QTest::newRow("revoke nobody") << QStringList{"--db", db, "--revoke", "nobody"} << "There is no user \"nobody\".";
        QTest::newRow("lock after none") << QStringList{"--db", db, "--init", "--lock-after", "0"}
                                         << "--lock-after must be a whole number of at least 1";
        QTest::newRow("unknown role") << QStringList{"--db", db, "--add-user", "x", "--role", "admin"} << "--role must be confirm or read";
        QTest::newRow("user without officer") << QStringList{"--db", db, "--add-user", "x", "--role", "read"} << "--add-user needs --officer ID";
        QTest::newRow("listen without schema") << QStringList{"--db", dbArgument("empty.db"), "--listen", "127.0.0.1:0"}
                                               << "has no current schema; run with --init first";
        QTest::newRow("certificate without key")
            << QStringList{"--db", db, "--init", "--listen", "127.0.0.1:0", "--tls-cert", "c.pem"} << "--tls-cert and --tls-key go together";
        // clang-format on
    }
    void shouldRefuseBadCommandLines()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const Run run = runServer(arguments, "secret\n");
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
    }

    void administeredStoreShouldServeItsUsers()
    {
        const QString db = dbArgument("served.db");
        Run run = runServer({"--db", db, "--seed-demo"});
        QCOMPARE(run.exitCode, 0);
        // Every log line starts with its time.
        static const QRegularExpression stamped(
            QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} info "));
        for (const QString& line : run.err.split(u'\n', Qt::SkipEmptyParts))
            QVERIFY2(stamped.match(line).hasMatch(), qPrintable(line));

        run = runServer({"--db", db, "--generate", "3", "4"});
        QCOMPARE(run.exitCode, 0);
        run = runServer({"--db", db, "--add-user", "jdoe", "--role", "confirm", "--officer", "4321",
                         "--officer-name", "Jo Doe", "--trp", "TRP09", "--district", "D09"},
                        "s3cret pass\n");
        QCOMPARE(run.exitCode, 0);

        {
            Service service(DatabaseConfig::sqlite(m_dir.filePath("served.db")));
            QString error;
            const auto conn = service.database().connection(&error);
            QVERIFY2(conn, qPrintable(error));
            Query generated(*conn, "SELECT COUNT(*), COUNT(DISTINCT r.dly_rcpt_nbr) FROM rcpt r JOIN fund f "
                                   "ON f.rcpt_nbr = r.rcpt_nbr WHERE r.entr_ofcr_id = 9000");
            QVERIFY(generated.exec() && generated.next());
            QCOMPARE(toInteger(generated.value(0)), qint64(3 * 4 * 3));
            QCOMPARE(toInteger(generated.value(1)), qint64(3));
        }

        Serving serving({"--db", db, "--listen", "127.0.0.1:0", "--revocation-check-ms", "0"});
        const QUrl url = serving.waitForUrl();
        QVERIFY2(url.isValid() && url.port() > 0, qPrintable(serving.log()));
        QCOMPARE(url.scheme(), QString("ws"));
        Client client(url);
        QVERIFY(!client.login("jdoe", "s3cret pass ").has_value());
        const auto session = client.login("jdoe", "s3cret pass");
        QVERIFY(session);
        QCOMPARE(session->profile, (Profile{"jdoe", "TRP09", "D09", 4321, "Jo Doe"}));
        const auto reply = std::get<Reply>(*client.exchange(search("D", "2000002", "F")));
        QCOMPARE(reply.dataSets.value("RECEIPT").records.size(), 4);

        run = runServer({"--db", db, "--revoke", "jdoe"});
        QVERIFY2(run.exitCode == 0 && run.err.contains("Ended 1 sessions of jdoe"), qPrintable(run.err));
        const auto refused = std::get<Reply>(*client.exchange(search("D", "2000002", "F")));
        QCOMPARE(refused.errors.value(0).code, QString(sessionerr::SessionExpired));
        QCOMPARE(std::get<Error>(*Client(url).exchange(Resume{session->token})).code,
                 QString(sessionerr::SessionExpired));
    }

    void shouldServeOverTls()
    {
        const QString openssl = QStandardPaths::findExecutable("openssl");
        if (openssl.isEmpty() || !QSslSocket::supportsSsl())
            QSKIP("No openssl program or no TLS support in Qt to make a test certificate with");
        const QString cert = m_dir.filePath("cert.pem");
        const QString key = m_dir.filePath("key.pem");
        QProcess makeCert;
        makeCert.start(openssl, {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out",
                                 cert, "-days", "1", "-subj", "/CN=127.0.0.1"});
        QVERIFY(makeCert.waitForFinished(30000) && makeCert.exitCode() == 0);

        const QString db = dbArgument("tls.db");
        QCOMPARE(runServer({"--db", db, "--seed-demo"}).exitCode, 0);
        Serving serving({"--db", db, "--listen", "127.0.0.1:0", "--tls-cert", cert, "--tls-key", key});
        const QUrl url = serving.waitForUrl();
        QCOMPARE(url.scheme(), QString("wss"));
        Client client(url); // accepts the self-signed certificate
        QVERIFY(client.isConnected());
        QVERIFY(client.login("demo", "demo"));
        QVERIFY(std::holds_alternative<Pong>(*client.exchange(Ping{"over tls"})));
    }
};

QTEST_GUILESS_MAIN(TestServerCli)
#include "tst_servercli.moc"
