#pragma once

#include "protocol/Messages.h"
#include "server/Database.h"
#include "server/Passwords.h"

#include <chrono>
#include <optional>
#include <QDateTime>

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

    std::optional<protocol::Reference> reference(protocol::Error* error);
    protocol::Reply handle(const SessionInfo& session, const protocol::Request& request);

private:
    protocol::Reply search(const protocol::Request& request);
    protocol::Reply details(const protocol::Request& request);
    protocol::Reply save(const SessionInfo& session, const protocol::Request& request);
    protocol::Reply formNumber(const SessionInfo& session, const protocol::Request& request);
    std::optional<SessionInfo> openSession(const QString& userId, protocol::Error* error);

    Database m_database;
    ServiceOptions m_options;
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
inline constexpr char SessionExpired[] = "session-expired";
inline constexpr char NotSignedIn[] = "not-signed-in";
inline constexpr char Unavailable[] = "unavailable";
} // namespace sessionerr

} // namespace tavro::server
