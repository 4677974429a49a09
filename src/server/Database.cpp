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

Q_LOGGING_CATEGORY(lcDatabase, "tavro.server.db")

namespace tavro::server {

namespace {

std::atomic<quint64> nextDatabaseId{1};
std::atomic<quint64> nextConnectionId{1};

// The connections this thread opened, by Database id; they are closed when the thread ends, unless
// their Database closed them first.
struct ThreadConnections
{
    QHash<quint64, QString> names;
    ~ThreadConnections()
    {
        for (const QString& name : std::as_const(names)) {
            if (QSqlDatabase::contains(name))
                QSqlDatabase::removeDatabase(name);
        }
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

} // namespace

Database::Database(DatabaseConfig config) : m_config(std::move(config)), m_id(nextDatabaseId++) {}

Database::~Database()
{
    // Every thread's connection is closed here, not when its thread ends: a thread pool's threads
    // may outlive the Database, and their connections would keep the store open.
    threadConnections().names.remove(m_id);
    const QMutexLocker lock(&m_namesLock);
    for (const QString& name : std::as_const(m_names)) {
        if (QSqlDatabase::contains(name))
            QSqlDatabase::removeDatabase(name);
    }
}

std::optional<QSqlDatabase> Database::connection(QString* error) const
{
    auto& names = threadConnections().names;
    if (const auto it = names.constFind(m_id); it != names.cend()) {
        QSqlDatabase db = QSqlDatabase::database(*it, false);
        if (db.isOpen())
            return db;
        const QString stale = *it;
        names.remove(m_id);
        QSqlDatabase::removeDatabase(stale);
        const QMutexLocker lock(&m_namesLock);
        m_names.removeAll(stale);
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
    {
        const QMutexLocker lock(&m_namesLock);
        m_names.append(name);
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

Query::Query(const QSqlDatabase& db, const QString& sql) : m_query(db), m_sql(sql)
{
    m_query.setForwardOnly(true);
    m_prepared = m_query.prepare(sql);
    if (!m_prepared)
        m_error = sqlError(m_query.lastError());
}

Query& Query::bind(const QVariant& value)
{
    m_query.bindValue(m_nextBinding++, value);
    return *this;
}

bool Query::exec()
{
    m_nextBinding = 0;
    if (m_prepared && m_query.exec())
        return true;
    if (m_prepared)
        m_error = sqlError(m_query.lastError());
    qCWarning(lcDatabase).noquote() << "Query failed:" << m_error << "in" << m_sql.simplified();
    return false;
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
    QSqlQuery query(m_db);
    if (!query.exec(statement)) {
        release();
        return fail(error, QStringLiteral("Cannot start a transaction: %1").arg(sqlError(query.lastError())));
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
    QSqlQuery query(m_db);
    const bool ok = query.exec(QStringLiteral("COMMIT"));
    if (!ok) {
        const QString why = sqlError(query.lastError());
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
        QSqlQuery query(m_db);
        if (!query.exec(QStringLiteral("ROLLBACK")))
            qCWarning(lcDatabase).noquote() << "Rollback failed:" << sqlError(query.lastError());
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
    return QDate::fromString(value.toString().left(10), Qt::ISODate);
}

} // namespace tavro::server
