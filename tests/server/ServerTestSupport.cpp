#include "ServerTestSupport.h"

#include <pwd.h>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTcpServer>
#include <QTest>
#include <unistd.h>

namespace tavro::server::test {

using namespace protocol;

PgCluster::~PgCluster()
{
    if (m_running) {
        QString ignored;
        run("pg_ctl", {"-D", m_dir.filePath("data"), "-m", "immediate", "-w", "stop"}, &ignored);
    }
}

bool PgCluster::run(const QString& program, const QStringList& arguments, QString* error)
{
    QProcess process;
    QString executable = binaries() + u'/' + program;
    QStringList args = arguments;
    if (geteuid() == 0) { // initdb refuses to run as root
        args = QStringList{"-u", "postgres", "--", executable} + arguments;
        executable = "runuser";
    }
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(executable, args);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        *error = QStringLiteral("%1 failed: %2")
                     .arg(program, QString::fromLocal8Bit(process.readAll()).right(2000));
        return false;
    }
    return true;
}

bool PgCluster::start(QString* error)
{
    if (geteuid() == 0) {
        const passwd* postgres = getpwnam("postgres");
        if (!postgres ||
            chown(QFile::encodeName(m_dir.path()).constData(), postgres->pw_uid, postgres->pw_gid) != 0) {
            *error = "cannot hand the temporary folder to the user postgres";
            return false;
        }
    }
    QTcpServer probe; // a free port
    m_port = probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
    probe.close();
    const QString data = m_dir.filePath("data");
    if (!run("initdb",
             {"-D", data, "-U", "postgres", "--auth=trust", "--no-sync", "-E", "UTF8", "--locale=C"}, error))
        return false;
    const QString options =
        QStringLiteral("-p %1 -k %2 -c listen_addresses='' -c fsync=off -c synchronous_commit=off "
                       "-c full_page_writes=off -c max_connections=60")
            .arg(m_port)
            .arg(m_dir.path());
    m_running = run("pg_ctl", {"-D", data, "-l", m_dir.filePath("log"), "-o", options, "-w", "start"}, error);
    return m_running;
}

DatabaseConfig PgCluster::config(const QString& database) const
{
    DatabaseConfig config;
    config.dialect = Dialect::Postgres;
    config.host = m_dir.path();
    config.port = m_port;
    config.name = database;
    config.user = "postgres";
    return config;
}

bool PgCluster::execute(const QString& statement, QString* error)
{
    const QString connection = "tavro-test-admin";
    bool ok = false;
    {
        QSqlDatabase admin = QSqlDatabase::contains(connection)
                                 ? QSqlDatabase::database(connection, false)
                                 : QSqlDatabase::addDatabase("QPSQL", connection);
        admin.setHostName(m_dir.path());
        admin.setPort(m_port);
        admin.setDatabaseName("postgres");
        admin.setUserName("postgres");
        QSqlQuery query(admin);
        ok = admin.open() && query.exec(statement);
        if (!ok)
            *error = QStringLiteral("%1 failed: %2").arg(statement, query.lastError().text());
        // A template must have no other connection while it is copied.
        admin.close();
    }
    return ok;
}

Client::Client(const QUrl& url)
{
    connect(&m_socket, &QWebSocket::textMessageReceived, this,
            [this](const QString& text) { m_frames.append(text.toUtf8()); });
    connect(&m_socket, &QWebSocket::sslErrors, this,
            [this](const QList<QSslError>&) { m_socket.ignoreSslErrors(); });
    m_socket.open(url);
    if (!QTest::qWaitFor([this] { return isConnected(); }, 10000))
        qWarning() << "Could not connect to" << url;
    if (auto* tcp = m_socket.findChild<QAbstractSocket*>())
        tcp->setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

std::optional<Message> Client::next(int timeoutMs)
{
    // A spy's wait ends as the frame arrives, where QTest::qWaitFor sleeps 10 ms between looks: the
    // server runs on this thread too, so every hop would cost those 10 ms.
    QSignalSpy arrived(&m_socket, &QWebSocket::textMessageReceived);
    if (m_frames.isEmpty() && isConnected())
        arrived.wait(timeoutMs);
    if (m_frames.isEmpty())
        return std::nullopt;
    const DecodeResult result = decode(m_frames.takeFirst());
    if (!result.message)
        qWarning() << "The server sent an undecodable frame:" << result.error.text;
    return result.message;
}

std::optional<Session> Client::login(const QString& user, const QString& password)
{
    const auto answer = exchange(Login{user, password});
    return answer && std::holds_alternative<Session>(*answer) ? std::optional(std::get<Session>(*answer))
                                                              : std::nullopt;
}

Request request(int code, const QList<std::pair<QString, QString>>& criteria)
{
    static int counter = 0;
    Request r;
    r.key = QStringLiteral("K%1").arg(++counter);
    r.requester = "TAVRO_CNFRMPYMT";
    r.userId = "demo";
    r.version = "5.1";
    r.requestCode = code;
    for (const auto& [key, value] : criteria)
        r.criteria.append({"KESTROVA", key, "=", value});
    return r;
}

Request search(const QString& type, const QString& number, const QString& conf)
{
    return request(
        Search, {{"key:DOC_NBR", number}, {"key:DOC_TYP_CD", type}, {"key:CONF", conf}, {"key:thin", "Yes"}});
}

QString dump(Database& database)
{
    QString error;
    const auto db = database.connection(&error);
    if (!db)
        return "no connection: " + error;
    QString text;
    // Rows sorted as text, so that no table needs an order of its own.
    for (const QString& table :
         QStringLiteral("code_table officer app_user dly_rcpt rcpt acct_rcvbl rcvbl_aplctn fund "
                        "nbr_sequence form_nbr cnfrmtn_audit schema_version request_reply "
                        "login_failure session_revocation")
             .split(u' ')) {
        QSqlQuery query(*db);
        if (!query.exec("SELECT * FROM " + table))
            return "cannot read " + table;
        QStringList rows;
        while (query.next()) {
            rows.append(QString());
            for (int i = 0; i < query.record().count(); ++i)
                rows.last() += query.value(i).toString() + u'|';
        }
        rows.sort();
        text += table + u'\n' + rows.join(u'\n') + u'\n';
    }
    return text;
}

} // namespace tavro::server::test
