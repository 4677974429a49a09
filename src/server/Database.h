#pragma once

#include "server/DatabaseConfig.h"

#include <optional>
#include <QMutex>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

namespace tavro::server {

/// \brief The service's store: one connection per thread, opened on first use, and the schema.
///
/// All connections are closed when the Database is destroyed (no thread may use it then), or
/// earlier when their thread ends. Everything here is thread-safe.
class Database
{
public:
    explicit Database(DatabaseConfig config);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const DatabaseConfig& config() const { return m_config; }
    Dialect dialect() const { return m_config.dialect; }

    /// This thread's connection; nullopt (and \a error) when it cannot be opened.
    std::optional<QSqlDatabase> connection(QString* error) const;

    /// Creates the schema or brings it up to date; each step is one transaction.
    bool migrate(QString* error) const;
    /// The schema version of the store, 0 when it has none.
    int schemaVersion(QString* error) const;
    /// The version migrate() brings a store to.
    static int latestVersion();

private:
    friend class Transaction;
    DatabaseConfig m_config;
    quint64 m_id;
    // SQLite writers of this process queue here rather than in SQLite's busy handler, which
    // sleeps in steps of up to 100 ms; other processes still meet the busy time-out.
    mutable QMutex m_writers;
    // Every connection opened for this Database, on whatever thread.
    mutable QMutex m_namesLock;
    mutable QStringList m_names;
};

/// \brief A prepared statement with positional parameters whose failures are logged with the SQL.
///
/// Parameters are bound in order before each exec(); the statement can be executed again with
/// new ones.
class Query
{
public:
    Query(const QSqlDatabase& db, const QString& sql);
    Query& bind(const QVariant& value);
    bool exec();
    bool next() { return m_query.next(); }
    /// Ends a statement whose rows are not all read (SQLite will not commit under a running one).
    void finish() { m_query.finish(); }
    QVariant value(int column) const { return m_query.value(column); }
    bool isNull(int column) const { return m_query.isNull(column); }
    int affected() const { return m_query.numRowsAffected(); }
    QString error() const { return m_error; }

private:
    QSqlQuery m_query;
    QString m_sql;
    QString m_error;
    int m_nextBinding = 0;
    bool m_prepared = false;
};

/// \brief A transaction that rolls back unless committed.
///
/// Writers on SQLite take the write lock at the start (BEGIN IMMEDIATE), so that a transaction
/// that read first never fails to upgrade its lock; on PostgreSQL readers see one snapshot
/// (REPEATABLE READ) and writers re-check what they change in the WHERE clause of each UPDATE.
class Transaction
{
public:
    enum class Mode
    {
        Read,
        Write
    };
    /// A transaction on \a db, this thread's connection to \a database.
    Transaction(const QSqlDatabase& db, const Database& database, Mode mode);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    bool begin(QString* error);
    bool commit(QString* error);
    void rollback();

private:
    void release();
    QSqlDatabase m_db;
    Dialect m_dialect;
    Mode m_mode;
    QMutex* m_writers = nullptr;
    bool m_active = false;
    bool m_locked = false;
};

/// Reads a whole number from what either driver gives (integer or text).
qint64 toInteger(const QVariant& value);
/// Reads a date from what either driver gives (QDate or "YYYY-MM-DD").
QDate toDate(const QVariant& value);

} // namespace tavro::server
