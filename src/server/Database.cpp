#include "server/Database.h"

#include <atomic>
#include <memory>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QLoggingCategory>
#include <QSqlError>
#include <QThread>
#include <utility>

Q_LOGGING_CATEGORY(lcDatabase, "tavro.server.db")

namespace tavro::server {

namespace detail {

struct Statement
{
    QSqlQuery query;
    // How many values the first successful execution bound: every later one must bind as many, or
    // it would run with values left from the one before.
    int parameters = -1;
    bool prepared = false;
    QString error;
    // Taken by a live Query; a second Query of the same text prepares its own.
    bool busy = false;
};

// The statements prepared on one connection. Only the connection's thread uses it, except a
// Database being destroyed, when no thread may use the connection any more.
struct StatementCache
{
    QHash<QString, std::shared_ptr<Statement>> statements;
};

} // namespace detail

using detail::Statement;
using detail::StatementCache;

namespace {

// The texts are the program's own and few; this only bounds a caller that builds texts freely.
constexpr qsizetype MaxKeptStatements = 256;

std::atomic<quint64> nextDatabaseId{1};
std::atomic<quint64> nextConnectionId{1};

// Removes the connection \a name, then the statements kept for it. In that order a statement finds
// its driver gone and does not talk to the store: a PostgreSQL statement would otherwise send
// DEALLOCATE, from whatever thread this runs on, over a connection perhaps being torn down.
void closeConnection(const QString& name, StatementCache* cache)
{
    if (QSqlDatabase::contains(name))
        QSqlDatabase::removeDatabase(name);
    if (cache)
        cache->statements.clear();
}

// The connections this thread opened, by Database id, and the statements kept for each, by
// connection name; they are closed when the thread ends, unless their Database closed them first.
struct ThreadConnections
{
    QHash<quint64, QString> names;
    QHash<QString, std::shared_ptr<detail::StatementCache>> caches;
    ~ThreadConnections()
    {
        for (const QString& name : std::as_const(names))
            closeConnection(name, caches.value(name).get());
    }
};

ThreadConnections& threadConnections()
{
    thread_local ThreadConnections connections;
    return connections;
}

QString sqlError(const QSqlError& error)
{
    QString text = error.databaseText();
    if (text.isEmpty())
        text = error.driverText();
    return text.isEmpty() ? error.text() : text;
}

// Statements of a migration file are separated by blank lines; lines starting with "--" are
// comments. (Trigger and function bodies hold semicolons, so a semicolon cannot end a statement.)
QStringList statements(const QString& script)
{
    QStringList result;
    QString current;
    const QStringList lines = script.split(u'\n');
    for (const QString& line : lines) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1String("--")))
            continue;
        if (trimmed.isEmpty()) {
            if (!current.trimmed().isEmpty())
                result.append(current.trimmed());
            current.clear();
            continue;
        }
        current += line + u'\n';
    }
    if (!current.trimmed().isEmpty())
        result.append(current.trimmed());
    return result;
}

QString dialectFolder(Dialect dialect)
{
    return dialect == Dialect::Sqlite ? QStringLiteral("sqlite") : QStringLiteral("postgresql");
}

// The files of one schema version: the shared ones first, then what the dialect writes its own way
// (which may refer to the shared tables).
QStringList migrationFiles(Dialect dialect, int version)
{
    QStringList files;
    const QString prefix = QStringLiteral("%1_").arg(version, 3, 10, QChar(u'0'));
    for (const QString& folder : {QStringLiteral("common"), dialectFolder(dialect)}) {
        const QDir dir(QStringLiteral(":/tavro/migrations/") + folder);
        for (const QString& name : dir.entryList({prefix + QStringLiteral("*.sql")}, QDir::Files, QDir::Name))
            files.append(dir.filePath(name));
    }
    return files;
}

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    qCWarning(lcDatabase).noquote() << text;
    return false;
}

std::shared_ptr<Statement> prepareStatement(const QSqlDatabase& db, const QString& sql)
{
    auto statement = std::make_shared<Statement>();
    statement->query = QSqlQuery(db);
    statement->query.setForwardOnly(true);
    statement->prepared = statement->query.prepare(sql);
    if (!statement->prepared)
        statement->error = sqlError(statement->query.lastError());
    return statement;
}

// A statement of \a sql on \a db: the one kept for this connection when it is free, otherwise a
// new one, kept when it can be.
// \a kept tells whether it belongs to the connection's cache and must be given back.
std::shared_ptr<Statement> takeStatement(const QSqlDatabase& db, const QString& sql, bool* kept, bool* reused)
{
    *kept = false;
    *reused = false;
    auto& caches = threadConnections().caches;
    const auto cache = caches.isEmpty() ? caches.cend() : caches.constFind(db.connectionName());
    if (cache == caches.cend())
        return prepareStatement(db, sql);
    auto& statements = (*cache)->statements;
    if (const auto found = statements.constFind(sql); found != statements.cend()) {
        Statement& statement = **found;
        if (statement.busy)
            return prepareStatement(db, sql);
        statement.busy = true;
        *kept = true;
        *reused = true;
        return *found;
    }
    auto statement = prepareStatement(db, sql);
    if (statement->prepared && statements.size() < MaxKeptStatements) {
        statements.insert(sql, statement);
        statement->busy = true;
        *kept = true;
    }
    return statement;
}

void giveBack(Statement& statement)
{
    statement.query.finish();
    statement.busy = false;
}

// Runs BEGIN, COMMIT or ROLLBACK. SQLite keeps them prepared like any statement; PostgreSQL cannot
// prepare them, and sends the text in one round trip either way.
bool control(const QSqlDatabase& db, Dialect dialect, const QString& text, QString* why)
{
    if (dialect == Dialect::Sqlite) {
        bool kept = false;
        bool reused = false;
        const auto statement = takeStatement(db, text, &kept, &reused);
        const bool ok = statement->prepared && statement->query.exec();
        *why = ok                    ? QString()
               : statement->prepared ? sqlError(statement->query.lastError())
                                     : statement->error;
        if (kept)
            giveBack(*statement);
        return ok;
    }
    QSqlQuery query(db);
    if (query.exec(text))
        return true;
    *why = sqlError(query.lastError());
    return false;
}

} // namespace

Database::Database(DatabaseConfig config) : m_config(std::move(config)), m_id(nextDatabaseId++) {}

Database::~Database()
{
    // Every thread's connection is closed here, not when its thread ends: a thread pool's threads
    // may outlive the Database, and their connections would keep the store open.
    auto& mine = threadConnections();
    if (const auto it = mine.names.constFind(m_id); it != mine.names.cend()) {
        mine.caches.remove(*it);
        mine.names.erase(it);
    }
    const QMutexLocker lock(&m_namesLock);
    for (auto it = m_connections.cbegin(); it != m_connections.cend(); ++it)
        closeConnection(it.key(), it->get());
}

std::optional<QSqlDatabase> Database::connection(QString* error) const
{
    auto& names = threadConnections().names;
    if (const auto it = names.constFind(m_id); it != names.cend()) {
        {
            // Let go of the handle before the connection goes, or Qt finds it still in use.
            QSqlDatabase db = QSqlDatabase::database(*it, false);
            if (db.isOpen())
                return db;
        }
        const QString stale = *it;
        names.remove(m_id);
        const auto cache = threadConnections().caches.take(stale);
        {
            const QMutexLocker lock(&m_namesLock);
            m_connections.remove(stale);
        }
        closeConnection(stale, cache.get());
    }

    const QString name = QStringLiteral("tavro-server-%1-%2").arg(m_id).arg(nextConnectionId++);
    {
        QSqlDatabase db;
        if (m_config.dialect == Dialect::Sqlite) {
            db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(m_config.path);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_config.busyTimeoutMs));
        } else {
            db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
            db.setHostName(m_config.host);
            db.setPort(m_config.port);
            db.setDatabaseName(m_config.name);
            db.setUserName(m_config.user);
            db.setPassword(m_config.password);
        }
        if (!db.isValid() || !db.open()) {
            const QString why = sqlError(db.lastError());
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            fail(error, QStringLiteral("Cannot open the database %1: %2").arg(m_config.describe(), why));
            return std::nullopt;
        }
        if (m_config.dialect == Dialect::Sqlite) {
            for (const char* pragma :
                 {"PRAGMA foreign_keys = ON", "PRAGMA journal_mode = WAL", "PRAGMA synchronous = NORMAL"}) {
                QSqlQuery query(db);
                if (!query.exec(QString::fromLatin1(pragma)))
                    qCWarning(lcDatabase).noquote() << pragma << "failed:" << sqlError(query.lastError());
            }
        }
    }
    names.insert(m_id, name);
    auto cache = std::make_shared<StatementCache>();
    threadConnections().caches.insert(name, cache);
    {
        const QMutexLocker lock(&m_namesLock);
        m_connections.insert(name, std::move(cache));
    }
    return QSqlDatabase::database(name, false);
}

int Database::latestVersion()
{
    int version = 0;
    while (!migrationFiles(Dialect::Sqlite, version + 1).isEmpty())
        ++version;
    return version;
}

int Database::schemaVersion(QString* error) const
{
    const auto db = connection(error);
    if (!db)
        return -1;
    if (!db->tables().contains(QStringLiteral("schema_version")))
        return 0;
    Query query(*db, QStringLiteral("SELECT MAX(version) FROM schema_version"));
    if (!query.exec()) {
        fail(error, query.error());
        return -1;
    }
    return query.next() ? int(toInteger(query.value(0))) : 0;
}

bool Database::migrate(QString* error) const
{
    const int current = schemaVersion(error);
    if (current < 0)
        return false;
    const auto db = connection(error);
    if (!db)
        return false;
    const int latest = latestVersion();
    if (current > latest)
        return fail(error, QStringLiteral("The database has schema version %1, newer than this program's %2")
                               .arg(current)
                               .arg(latest));
    for (int version = current + 1; version <= latest; ++version) {
        Transaction transaction(*db, *this, Transaction::Mode::Write);
        if (!transaction.begin(error))
            return false;
        for (const QString& path : migrationFiles(m_config.dialect, version)) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                return fail(error, QStringLiteral("Cannot read the migration %1").arg(path));
            for (const QString& statement : statements(QString::fromUtf8(file.readAll()))) {
                QSqlQuery query(*db);
                if (!query.exec(statement))
                    return fail(error, QStringLiteral("Migration %1 failed: %2\n%3")
                                           .arg(path, sqlError(query.lastError()), statement));
            }
        }
        Query record(*db, QStringLiteral("INSERT INTO schema_version (version) VALUES (?)"));
        if (!record.bind(version).exec())
            return fail(error, record.error());
        if (!transaction.commit(error))
            return false;
        qCInfo(lcDatabase).noquote() << "Schema of" << m_config.describe() << "now at version" << version;
    }
    return true;
}

Query::Query(const QSqlDatabase& db, const QString& sql) : m_sql(sql)
{
    m_statement = takeStatement(db, sql, &m_cached, &m_reused);
    if (!m_statement->prepared)
        m_error = m_statement->error;
}

Query::~Query()
{
    if (m_statement && m_cached)
        giveBack(*m_statement);
}

Query::Query(Query&& other) noexcept
    : m_statement(std::move(other.m_statement)), m_sql(std::move(other.m_sql)),
      m_error(std::move(other.m_error)), m_nextBinding(other.m_nextBinding), m_cached(other.m_cached),
      m_reused(other.m_reused)
{
    other.m_cached = false;
}

Query& Query::bind(const QVariant& value)
{
    m_statement->query.bindValue(m_nextBinding++, value);
    return *this;
}

bool Query::exec()
{
    const int bound = std::exchange(m_nextBinding, 0);
    Statement& statement = *m_statement;
    if (statement.prepared && statement.parameters >= 0 && bound != statement.parameters) {
        // What a fresh statement would say; this one still holds the values of its last use.
        m_error = QStringLiteral("Parameter count mismatch: %1 bound, %2 expected")
                      .arg(bound)
                      .arg(statement.parameters);
    } else if (statement.prepared && statement.query.exec()) {
        if (statement.parameters < 0)
            statement.parameters = bound;
        return true;
    } else if (statement.prepared) {
        m_error = sqlError(statement.query.lastError());
    }
    qCWarning(lcDatabase).noquote() << "Query failed:" << m_error << "in" << m_sql.simplified();
    return false;
}

bool Query::next()
{
    return m_statement->query.next();
}

void Query::finish()
{
    m_statement->query.finish();
}

QVariant Query::value(int column) const
{
    return m_statement->query.value(column);
}

bool Query::isNull(int column) const
{
    return m_statement->query.isNull(column);
}

int Query::affected() const
{
    return m_statement->query.numRowsAffected();
}

Transaction::Transaction(const QSqlDatabase& db, const Database& database, Mode mode)
    : m_db(db), m_dialect(database.dialect()), m_mode(mode),
      m_writers(database.dialect() == Dialect::Sqlite && mode == Mode::Write ? &database.m_writers : nullptr)
{
}

Transaction::~Transaction()
{
    rollback();
}

bool Transaction::begin(QString* error)
{
    QString statement = QStringLiteral("BEGIN");
    if (m_dialect == Dialect::Sqlite && m_mode == Mode::Write)
        statement = QStringLiteral("BEGIN IMMEDIATE");
    else if (m_dialect == Dialect::Postgres && m_mode == Mode::Read)
        statement = QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    if (m_writers && !m_locked) {
        m_writers->lock();
        m_locked = true;
    }
    QString why;
    if (!control(m_db, m_dialect, statement, &why)) {
        release();
        return fail(error, QStringLiteral("Cannot start a transaction: %1").arg(why));
    }
    m_active = true;
    return true;
}

void Transaction::release()
{
    if (m_locked) {
        m_locked = false;
        m_writers->unlock();
    }
}

bool Transaction::commit(QString* error)
{
    if (!m_active)
        return fail(error, QStringLiteral("No transaction to commit"));
    QString why;
    if (!control(m_db, m_dialect, QStringLiteral("COMMIT"), &why)) {
        rollback();
        return fail(error, QStringLiteral("Cannot commit: %1").arg(why));
    }
    m_active = false;
    release();
    return true;
}

void Transaction::rollback()
{
    if (m_active) {
        m_active = false;
        QString why;
        if (!control(m_db, m_dialect, QStringLiteral("ROLLBACK"), &why))
            qCWarning(lcDatabase).noquote() << "Rollback failed:" << why;
    }
    release();
}

qint64 toInteger(const QVariant& value)
{
    return value.toLongLong();
}

QDate toDate(const QVariant& value)
{
    if (value.metaType().id() == QMetaType::QDate)
        return value.toDate();
    if (value.metaType().id() == QMetaType::QDateTime)
        return value.toDateTime().date();
    const QString text = value.toString();
    // SQLite keeps dates as "YYYY-MM-DD" text: read the digits straight, and leave anything else to
    // Qt's ISO parser.
    if (text.size() >= 10 && text[4] == u'-' && text[7] == u'-') {
        int parts[3] = {0, 0, 0};
        bool digits = true;
        for (qsizetype i = 0; i < 10 && digits; ++i) {
            if (i == 4 || i == 7)
                continue;
            const char16_t c = text[i].unicode();
            digits = c >= u'0' && c <= u'9';
            int& part = parts[i < 4 ? 0 : i < 7 ? 1 : 2];
            part = part * 10 + (c - u'0');
        }
        if (const QDate date(parts[0], parts[1], parts[2]); digits && date.isValid())
            return date;
    }
    return QDate::fromString(text.left(10), Qt::ISODate);
}

} // namespace tavro::server
