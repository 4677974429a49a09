#pragma once

#include "protocol/Messages.h"
#include "server/Database.h"
#include "server/Passwords.h"

#include <atomic>
#include <chrono>
#include <optional>
#include <QDateTime>
#include <QHash>
#include <QMutex>

namespace tavro::server {

enum class Role
{
    Confirm,
    Read
};

/// Who is signed in: what a request is handled for. The officer, TRP and district of every change
/// come from here, never from the request.
struct SessionInfo
{
    QString token;
    QString userId;
    Role role = Role::Read;
    qint32 officerId = 0;
    QString officerName;
    QString trpId;
    QString trpDstrctId;

    protocol::Profile profile() const;
    protocol::Session session() const { return {token, profile()}; }
};

struct ServiceOptions
{
    /// Most receipts a search for every receipt of a state (an empty number) lists.
    int searchLimit = 1000;
    /// A session not used for this long is ended.
    std::chrono::seconds idleTimeout = std::chrono::hours(8);
    /// After a second failed sign-in in a row, the next attempt for that user name is refused
    /// unless this long has passed; the wait doubles with every further failure.
    std::chrono::milliseconds failureDelay = std::chrono::seconds(1);
    /// This many failed sign-ins in a row lock the user name for lockDuration.
    int lockAfterFailures = 5;
    std::chrono::seconds lockDuration = std::chrono::minutes(15);
    /// How often the sessions kept in memory are checked against revocations made by other
    /// processes (tavro-server --revoke); zero checks before every request.
    std::chrono::milliseconds revocationCheck = std::chrono::milliseconds(500);
    /// How long the answer to a save or a number request is kept to answer a retry of it.
    std::chrono::seconds replyRetention = std::chrono::hours(24);
};

struct NewUser
{
    QString userId;
    Role role = Role::Read;
    qint32 officerId = 0;
    /// Used only when the officer does not exist yet.
    QString officerName;
    QString trpId;
    QString trpDstrctId;
};

/// \brief The back end's request handling, without a socket.
///
/// Thread-safe: every thread uses its own database connection. The WebSocket server calls it
/// from a pool of worker threads; the client library runs it in-process on one worker thread.
/// \code
/// Service service(DatabaseConfig::sqlite(path));
/// service.initialize(&why);
/// auto session = service.login("demo", password, &error);
/// protocol::Reply reply = service.handle(*session, request);
/// \endcode
/// Failures of the store come back as reply errors (code "unavailable") or an Error; the detail
/// goes to the log.
class Service
{
public:
    explicit Service(DatabaseConfig config, ServiceOptions options = {});

    const ServiceOptions& options() const { return m_options; }
    Database& database() { return m_database; }

    /// Creates or migrates the schema.
    bool initialize(QString* error);
    /// Loads the demo (a few dozen daily batches, officers, the users "demo" (confirm) and
    /// "viewer" (read), whose passwords are their names). Does nothing when batches exist.
    bool seedDemo(QString* error, HashCost cost = HashCost::Interactive);
    /// Adds \a batches daily batches of \a receiptsPerBatch receipts (3 funds each) for benchmarks.
    bool generate(int batches, int receiptsPerBatch, QString* error);
    /// Adds a user, or replaces the password, role and officer of an existing one.
    bool addUser(const NewUser& user, const QString& password, QString* error,
                 HashCost cost = HashCost::Interactive);

    std::optional<SessionInfo> login(const QString& user, const QString& password, protocol::Error* error);
    std::optional<SessionInfo> resume(const QString& token, protocol::Error* error);
    /// Signs in a user of this machine without a password (the embedded back end).
    std::optional<SessionInfo> signInLocal(const QString& user, protocol::Error* error);
    /// Records that \a session was used now; false (and \a error) when it has expired or ended.
    bool touch(const SessionInfo& session, protocol::Error* error);
    /// Ends a session.
    void logout(const SessionInfo& session);
    /// Ends every session of \a userId: at once in this process, within revocationCheck in every
    /// other server on the same store. The number of sessions ended, or -1 and \a error.
    int revoke(const QString& userId, QString* error);
    /// Forgets the failed sign-ins of \a userId, which ends a lock at once. Whether there were
    /// any, or nullopt and \a error.
    std::optional<bool> unlock(const QString& userId, QString* error);

    std::optional<protocol::Reference> reference(protocol::Error* error);
    protocol::Reply handle(const SessionInfo& session, const protocol::Request& request);

private:
    protocol::Reply search(const protocol::Request& request);
    protocol::Reply details(const protocol::Request& request);
    protocol::Reply save(const SessionInfo& session, const protocol::Request& request);
    protocol::Reply formNumber(const SessionInfo& session, const protocol::Request& request);
    std::optional<SessionInfo> openSession(const QString& userId, protocol::Error* error);

    // Failed sign-ins (SignIns.cpp): nullopt when \a user may try now, else the refusal.
    std::optional<protocol::Error> signInRefusal(const QSqlDatabase& db, const QString& user, QString* why);
    void recordSignIn(const QSqlDatabase& db, const QString& user, bool succeeded);

    // Sessions kept in memory (Sessions.cpp), by token, with their idle clock.
    struct CachedSession
    {
        QString userId;
        qint64 lastUsed = 0;    // seconds since the epoch
        qint64 lastWritten = 0; // what the store's last_seen holds
    };
    void cacheSession(const SessionInfo& session, qint64 lastWritten);
    void forgetSessions(const QString& userId);
    void checkRevocations(const QSqlDatabase& db);

    // Answers to changes kept for retries (RequestLog.cpp), inside the change's transaction.
    enum class Claim
    {
        New,
        Answered,
        Failed
    };
    Claim claimRequest(const QSqlDatabase& db, const SessionInfo& session, const protocol::Request& request,
                       protocol::Reply& reply);
    bool recordReply(const QSqlDatabase& db, const SessionInfo& session, const protocol::Request& request,
                     const protocol::Reply& reply, QString* error);

    Database m_database;
    ServiceOptions m_options;
    QMutex m_sessionsLock;
    QHash<QString, CachedSession> m_sessions;
    QMutex m_revocationsLock;                      // held by the one thread looking for revocations
    std::atomic<qint64> m_revocationsCheckedAt{0}; // milliseconds since the epoch
    qint64 m_lastRevocation = 0;
    std::atomic<qint64> m_repliesPurgedAt{0};
};

/// Reply error codes.
namespace replyerr {
inline constexpr char BadRequest[] = "bad-request";
inline constexpr char NotFound[] = "not-found";
inline constexpr char NotPermitted[] = "not-permitted";
inline constexpr char OtherOfficer[] = "other-officer";
inline constexpr char AlreadyConfirmed[] = "already-confirmed";
inline constexpr char NotConfirmed[] = "not-confirmed";
inline constexpr char Conflict[] = "conflict";
inline constexpr char NumberNotIssued[] = "number-not-issued";
inline constexpr char NumberUsed[] = "number-used";
inline constexpr char BadDate[] = "bad-date";
inline constexpr char CommentRequired[] = "comment-required";
inline constexpr char CommentTooLong[] = "comment-too-long";
inline constexpr char Unavailable[] = "unavailable";
inline constexpr char TooLarge[] = "too-large";
} // namespace replyerr

/// Error frame codes of sign-in.
namespace sessionerr {
inline constexpr char LoginFailed[] = "login-failed";
inline constexpr char LoginSlowed[] = "login-slowed";
inline constexpr char LoginLocked[] = "login-locked";
inline constexpr char SessionExpired[] = "session-expired";
inline constexpr char NotSignedIn[] = "not-signed-in";
inline constexpr char Unavailable[] = "unavailable";
} // namespace sessionerr

} // namespace tavro::server
