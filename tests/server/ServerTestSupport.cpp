#include "ServerTestSupport.h"

#include <pwd.h>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTcpServer>
#include <QTest>
#include <QTimer>
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
        args.prepend(executable);
        args = QStringList{"-u", "postgres", "--"} + args;
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
    if (!m_dir.isValid()) {
        *error = "no temporary folder";
        return false;
    }
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
    if (!run("pg_ctl", {"-D", data, "-l", m_dir.filePath("log"), "-o", options, "-w", "start"}, error))
        return false;
    m_running = true;
    return true;
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
        const DatabaseConfig c = config("postgres");
        admin.setHostName(c.host);
        admin.setPort(c.port);
        admin.setDatabaseName(c.name);
        admin.setUserName(c.user);
        QSqlQuery query(admin);
        ok = admin.open() && query.exec(statement);
        if (!ok)
            *error = QStringLiteral("%1 failed: %2").arg(statement, query.lastError().text());
        // A template must have no other connection while it is copied.
        admin.close();
    }
    return ok;
}

bool Backend::prepare(QString* error, QString* skip)
{
    if (m_kind == Kind::Postgres) {
        if (!QFile::exists(PgCluster::binaries() + "/pg_ctl")) {
            *skip =
                QStringLiteral("PostgreSQL 15 binaries are not installed in %1").arg(PgCluster::binaries());
            return false;
        }
        m_cluster = std::make_unique<PgCluster>();
        if (!m_cluster->start(error) || !m_cluster->execute("CREATE DATABASE seed", error))
            return false;
        m_config = m_cluster->config("seed");
    } else {
        m_config = DatabaseConfig::sqlite(m_dir.filePath("seed.db"));
    }
    Service seeder(m_config);
    return seeder.seedDemo(error, HashCost::Minimal);
}

bool Backend::startFresh(QString* error, ServiceOptions options)
{
    // A test that changed nothing leaves a store as good as a fresh copy (copying a PostgreSQL
    // database takes most of a second).
    if (m_service && m_options.searchLimit == options.searchLimit &&
        dump(m_service->database()) == m_seedDump)
        return true;
    stop();
    m_options = options;
    const QString name = QStringLiteral("copy%1").arg(++m_copies);
    DatabaseConfig config = m_config;
    if (m_kind == Kind::Postgres) {
        if (!m_cluster->execute(QStringLiteral("CREATE DATABASE %1 TEMPLATE seed").arg(name), error))
            return false;
        config.name = name;
    } else {
        config.path = m_dir.filePath(name + ".db");
        if (!QFile::copy(m_config.path, config.path)) {
            *error = "cannot copy the seeded store";
            return false;
        }
    }
    m_service = std::make_unique<Service>(config, options);
    if (m_seedDump.isEmpty())
        m_seedDump = dump(m_service->database());
    m_server = std::make_unique<Server>(*m_service);
    return m_server->listen(QHostAddress::LocalHost, 0, error);
}

void Backend::stop()
{
    const bool copied = m_service != nullptr;
    m_server.reset();
    m_service.reset();
    // Copies are dropped at once: a cluster of dozens of databases takes long to remove.
    if (copied && m_cluster) {
        QString error;
        if (!m_cluster->execute(QStringLiteral("DROP DATABASE IF EXISTS copy%1").arg(m_copies), &error))
            qWarning().noquote() << error;
    }
}

Client::Client(const QUrl& url)
{
    connect(&m_socket, &QWebSocket::textMessageReceived, this,
            [this](const QString& text) { m_frames.append(text.toUtf8()); });
    connect(&m_socket, &QWebSocket::sslErrors, this,
            [this](const QList<QSslError>&) { m_socket.ignoreSslErrors(); });
    m_socket.open(url);
    if (!QTest::qWaitFor([this] { return m_socket.state() == QAbstractSocket::ConnectedState; }, 10000))
        qWarning() << "Could not connect to" << url;
    if (auto* tcp = m_socket.findChild<QAbstractSocket*>())
        tcp->setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

void Client::send(const Message& message)
{
    m_socket.sendTextMessage(QString::fromUtf8(encode(message)));
}

std::optional<Message> Client::next(int timeoutMs)
{
    // An event loop of our own rather than QTest::qWaitFor, which sleeps 10 ms between looks:
    // the server runs on this thread too, so every hop would cost those 10 ms.
    if (m_frames.isEmpty()) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        connect(&m_socket, &QWebSocket::textMessageReceived, &loop, &QEventLoop::quit, Qt::QueuedConnection);
        connect(&m_socket, &QWebSocket::disconnected, &loop, &QEventLoop::quit);
        timer.start(timeoutMs);
        while (m_frames.isEmpty() && timer.isActive() && m_socket.state() == QAbstractSocket::ConnectedState)
            loop.exec();
    }
    if (m_frames.isEmpty())
        return std::nullopt;
    const DecodeResult result = decode(m_frames.takeFirst());
    if (!result.message)
        qWarning() << "The server sent an undecodable frame:" << result.error.text;
    return result.message;
}

std::optional<Message> Client::exchange(const Message& message)
{
    send(message);
    return next();
}

std::optional<Session> Client::login(const QString& user, const QString& password)
{
    const auto answer = exchange(Login{user, password});
    if (!answer || !std::holds_alternative<Session>(*answer))
        return std::nullopt;
    return std::get<Session>(*answer);
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

DataSet record(const QList<Cell>& cells)
{
    DataSet set;
    QList<Value> values;
    for (const Cell& cell : cells) {
        set.fields.append({cell.name, cell.type});
        values.append(cell.value);
    }
    set.records.append(values);
    return set;
}

QString dump(Database& database)
{
    QString error;
    const auto db = database.connection(&error);
    if (!db)
        return QStringLiteral("no connection: ") + error;
    QString text;
    const std::pair<const char*, const char*> tables[] = {
        {"code_table", "1, 2"},    {"officer", "1"},       {"app_user", "1"},
        {"dly_rcpt", "1"},         {"rcpt", "1"},          {"acct_rcvbl", "1"},
        {"rcvbl_aplctn", "1, 2"},  {"fund", "1, 2"},       {"nbr_sequence", "1"},
        {"form_nbr", "1"},         {"cnfrmtn_audit", "1"}, {"schema_version", "1"},
        {"request_reply", "1, 2"}, {"login_failure", "1"}, {"session_revocation", "1"}};
    for (const auto& [table, order] : tables) {
        QSqlQuery query(*db);
        if (!query.exec(QStringLiteral("SELECT * FROM %1 ORDER BY %2")
                            .arg(QLatin1String(table), QLatin1String(order))))
            return QStringLiteral("cannot read ") + QLatin1String(table);
        text += QLatin1String(table) + u'\n';
        while (query.next()) {
            for (int i = 0; i < query.record().count(); ++i)
                text += query.value(i).toString() + u'|';
            text += u'\n';
        }
    }
    return text;
}

} // namespace tavro::server::test
