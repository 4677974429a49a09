#pragma once

#include "server/DatabaseConfig.h"

#include <memory>
#include <optional>
#include <QHash>
#include <QMutex>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

namespace tavro::server {

namespace detail {
struct Statement;
struct StatementCache;
} // namespace detail

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
    // Every connection opened for this Database, on whatever thread, with the statements
    // prepared on it: they go before their connection does.
    mutable QMutex m_namesLock;
    mutable QHash<QString, std::shared_ptr<detail::StatementCache>> m_connections;
};

/// \brief A prepared statement with positional parameters whose failures are logged with the SQL.
///
/// Every parameter is bound, in order, before each exec(); an exec() with fewer or more values bound
/// than the statement's first successful one fails, as a freshly prepared statement would (a kept
/// one still holds the values of its last use). The statement can be executed again with new ones.
///
/// On a connection from Database::connection() the statement is prepared once per connection and
/// text, and kept for the next Query of the same text (a statement in use by another Query is not
/// shared: that one gets its own). Preparing is a round trip on PostgreSQL and a parse on SQLite.
class Query
{
public:
    Query(const QSqlDatabase& db, const QString& sql);
    ~Query();
    Query(Query&& other) noexcept;
    Query& operator=(Query&&) = delete;
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    Query& bind(const QVariant& value);
    bool exec();
    bool next();
    /// Ends a statement whose rows are not all read (SQLite will not commit under a running one).
    void finish();
    QVariant value(int column) const;
    bool isNull(int column) const;
    int affected() const;
    QString error() const { return m_error; }
    /// Whether this statement was prepared before, for an earlier Query on the same connection.
    bool reused() const { return m_reused; }

private:
    std::shared_ptr<detail::Statement> m_statement;
    QString m_sql;
    QString m_error;
    int m_nextBinding = 0;
    bool m_cached = false;
    bool m_reused = false;
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
