// Changes sent twice. A client that lost its connection cannot know whether its save or number
// request arrived, so it sends it again with the same key. The answer to every change is written
// in the change's own transaction, under the user and the key; a request that finds its answer
// there is answered with it and changes nothing. Both the key and the request are compared: a key
// used again for another request starts a new change.
// On PostgreSQL a change may claim its key in its own statement (ClaimPart), a round trip fewer;
// when that finds the key taken, the change rolls back and claims here, which answers a copy.

#include "server/Service.h"
#include "server/ServiceSupport.h"

#include <QCryptographicHash>

namespace tavro::server {

using namespace protocol;

namespace {

QString digest(const QByteArray& data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
}

} // namespace

namespace detail {

const QString ClaimPart = QStringLiteral(
    "INSERT INTO request_reply (user_id, key_hash, request_hash, created_at) SELECT CAST(? AS TEXT), "
    "CAST(? AS TEXT), CAST(? AS TEXT), CAST(? AS BIGINT) WHERE CAST(? AS BOOLEAN) ON CONFLICT DO NOTHING "
    "RETURNING 1");

void bindClaim(Query& query, const SessionInfo& session, const Request& request, bool claim)
{
    query.bind(session.userId)
        .bind(claim ? digest(request.key.toUtf8()) : QString())
        .bind(claim ? digest(encode(request)) : QString())
        .bind(QDateTime::currentSecsSinceEpoch())
        .bind(claim);
}

} // namespace detail

Service::Claim Service::claimRequest(const QSqlDatabase& db, const SessionInfo& session,
                                     const Request& request, Reply& reply)
{
    if (request.key.isEmpty())
        return Claim::New;
    const QString key = digest(request.key.toUtf8());
    const QString content = digest(encode(request));
    // On PostgreSQL a second copy arriving while the first is being applied waits here for it.
    Query claim(db, QStringLiteral("INSERT INTO request_reply (user_id, key_hash, request_hash, created_at) "
                                   "VALUES (?, ?, ?, ?) ON CONFLICT DO NOTHING"));
    if (!claim.bind(session.userId).bind(key).bind(content).bind(QDateTime::currentSecsSinceEpoch()).exec()) {
        detail::addUnavailable(reply, claim.error());
        return Claim::Failed;
    }
    if (claim.affected() == 1)
        return Claim::New;
    Query stored(db, QStringLiteral(
                         "SELECT request_hash, reply FROM request_reply WHERE user_id = ? AND key_hash = ?"));
    if (!stored.bind(session.userId).bind(key).exec() || !stored.next()) {
        detail::addUnavailable(reply, stored.error());
        return Claim::Failed;
    }
    if (stored.value(0).toString() == content && !stored.isNull(1)) {
        const DecodeResult first = decode(stored.value(1).toString().toUtf8());
        const Reply* answer = first.message ? std::get_if<Reply>(&*first.message) : nullptr;
        if (!answer) {
            // Applying the change again could do it twice; the officer is better told to look.
            detail::addUnavailable(reply, QStringLiteral("The kept answer to %1 cannot be read: %2")
                                              .arg(request.key.left(64), first.error.text));
            return Claim::Failed;
        }
        reply = *answer;
        qCInfo(lcService).noquote() << "Request" << request.key.left(64) << "of" << session.userId
                                    << "was sent again; answered as the first time";
        return Claim::Answered;
    }
    stored.finish();
    Query retake(db, QStringLiteral("UPDATE request_reply SET request_hash = ?, created_at = ?, reply = NULL "
                                    "WHERE user_id = ? AND key_hash = ?"));
    if (!retake.bind(content)
             .bind(QDateTime::currentSecsSinceEpoch())
             .bind(session.userId)
             .bind(key)
             .exec()) {
        detail::addUnavailable(reply, retake.error());
        return Claim::Failed;
    }
    return Claim::New;
}

bool Service::recordReply(const QSqlDatabase& db, const SessionInfo& session, const Request& request,
                          const Reply& reply, QString* error)
{
    if (request.key.isEmpty())
        return true;
    Reply kept = reply;
    kept.key = request.key;
    kept.requester = request.requester;
    Query record(db, QStringLiteral("UPDATE request_reply SET reply = ? WHERE user_id = ? AND key_hash = ?"));
    if (!record.bind(QString::fromUtf8(encode(kept)))
             .bind(session.userId)
             .bind(digest(request.key.toUtf8()))
             .exec()) {
        *error = record.error();
        return false;
    }
    // Retries come within minutes; old answers go about once an hour.
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    if (now - m_repliesPurgedAt >= 3600) {
        m_repliesPurgedAt = now;
        Query purge(db, QStringLiteral("DELETE FROM request_reply WHERE created_at < ?"));
        if (!purge.bind(now - m_options.replyRetention.count()).exec()) {
            *error = purge.error();
            return false;
        }
    }
    return true;
}

} // namespace tavro::server
