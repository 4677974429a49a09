// Sessions between requests: kept in memory with their idle clock, so that a request costs no
// read of the store; the store's last_seen is written at most every half minute, and revocations
// made by other processes are looked for at most every ServiceOptions::revocationCheck.

#include "server/Service.h"
#include "server/ServiceSupport.h"

namespace tavro::server {

using namespace protocol;
using detail::setError;
using detail::unavailable;

namespace {

// Writing last_seen on every request would make every reader a writer; a coarse clock is enough.
constexpr qint64 IdleClockStep = 30;

// A session is gone when it was left idle too long, or ended by signing out or revocation.
Error ended(bool idle = false)
{
    return detail::sessionError(
        sessionerr::SessionExpired,
        idle ? QStringLiteral("Your session has ended after a time without use. Please sign in again.")
             : QStringLiteral("Your session has ended. Please sign in again."));
}

} // namespace

void Service::cacheSession(const SessionInfo& session, qint64 lastWritten)
{
    const QMutexLocker lock(&m_sessionsLock);
    m_sessions.insert(session.token,
                      CachedSession{session.userId, QDateTime::currentSecsSinceEpoch(), lastWritten});
}

void Service::forgetSessions(const QString& userId)
{
    const QMutexLocker lock(&m_sessionsLock);
    m_sessions.removeIf([&userId](const auto& entry) { return entry.value().userId == userId; });
}

void Service::checkRevocations(const QSqlDatabase& db)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const bool always = m_options.revocationCheck.count() <= 0;
    if (!always && now - m_revocationsCheckedAt < m_options.revocationCheck.count())
        return;
    // One thread looks while the others go on with what they know, unless every request must look.
    if (always)
        m_revocationsLock.lock();
    else if (!m_revocationsLock.tryLock())
        return;
    m_revocationsCheckedAt = now;
    {
        // Sessions left without signing out would otherwise stay here for good.
        const qint64 idleSince = now / 1000 - m_options.idleTimeout.count();
        const QMutexLocker lock(&m_sessionsLock);
        m_sessions.removeIf([idleSince](const auto& entry) { return entry.value().lastUsed < idleSince; });
    }
    Query revoked(db, QStringLiteral("SELECT revocation_id, user_id FROM session_revocation "
                                     "WHERE revocation_id > ? ORDER BY revocation_id"));
    if (revoked.bind(m_lastRevocation).exec()) {
        while (revoked.next()) {
            m_lastRevocation = toInteger(revoked.value(0));
            forgetSessions(revoked.value(1).toString());
        }
    }
    m_revocationsLock.unlock();
}

bool Service::touch(const SessionInfo& session, Error* error)
{
    QString why;
    const auto db = m_database.connection(&why);
    if (!db) {
        setError(error, unavailable(why));
        return false;
    }
    checkRevocations(*db);
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    {
        QMutexLocker lock(&m_sessionsLock);
        const auto cached = m_sessions.find(session.token);
        if (cached != m_sessions.end()) {
            if (now - cached->lastUsed <= m_options.idleTimeout.count()) {
                cached->lastUsed = now;
                if (now - cached->lastWritten < IdleClockStep)
                    return true;
                cached->lastWritten = now;
                lock.unlock();
                Query update(*db,
                             QStringLiteral("UPDATE user_session SET last_seen = ? WHERE token_hash = ?"));
                if (!update.bind(now).bind(tokenHash(session.token)).exec()) {
                    setError(error, unavailable(update.error()));
                    return false;
                }
                if (update.affected() == 1)
                    return true;
                // Ended behind this server's back (signed out elsewhere, the user replaced).
                lock.relock();
                m_sessions.remove(session.token);
                setError(error, ended());
                return false;
            }
            // Idle here, but perhaps used through another server: the store decides.
            m_sessions.erase(cached);
        }
    }

    const QString hash = tokenHash(session.token);
    Query query(*db, QStringLiteral("SELECT last_seen FROM user_session WHERE token_hash = ?"));
    if (!query.bind(hash).exec()) {
        setError(error, unavailable(query.error()));
        return false;
    }
    if (!query.next()) {
        setError(error, ended());
        return false;
    }
    qint64 lastSeen = toInteger(query.value(0));
    if (now - lastSeen > m_options.idleTimeout.count()) {
        logout(session);
        setError(error, ended(true));
        return false;
    }
    if (now - lastSeen >= IdleClockStep) {
        Query update(*db, QStringLiteral("UPDATE user_session SET last_seen = ? WHERE token_hash = ?"));
        if (!update.bind(now).bind(hash).exec()) {
            setError(error, unavailable(update.error()));
            return false;
        }
        lastSeen = now;
    }
    cacheSession(session, lastSeen);
    return true;
}

void Service::logout(const SessionInfo& session)
{
    {
        const QMutexLocker lock(&m_sessionsLock);
        m_sessions.remove(session.token);
    }
    QString why;
    if (const auto db = m_database.connection(&why)) {
        Query remove(*db, QStringLiteral("DELETE FROM user_session WHERE token_hash = ?"));
        remove.bind(tokenHash(session.token)).exec();
    }
}

int Service::revoke(const QString& userId, QString* error)
{
    const auto db = m_database.connection(error);
    if (!db)
        return -1;
    Transaction transaction(*db, m_database, Transaction::Mode::Write);
    if (!transaction.begin(error))
        return -1;
    auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return -1;
    };
    Query user(*db, QStringLiteral("SELECT 1 FROM app_user WHERE user_id = ?"));
    if (!user.bind(userId).exec())
        return fail(user.error());
    if (!user.next())
        return fail(QStringLiteral("There is no user \"%1\".").arg(userId.left(64)));
    Query remove(*db, QStringLiteral("DELETE FROM user_session WHERE user_id = ?"));
    if (!remove.bind(userId).exec())
        return fail(remove.error());
    const int count = remove.affected();
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    Query record(*db, QStringLiteral("INSERT INTO session_revocation (user_id, revoked_at) VALUES (?, ?)"));
    if (!record.bind(userId).bind(now).exec())
        return fail(record.error());
    // A session kept in memory longer than the idle time is asked about in the store anyway, so
    // older revocations tell no server anything.
    Query purge(*db, QStringLiteral("DELETE FROM session_revocation WHERE revoked_at < ?"));
    if (!purge.bind(now - m_options.idleTimeout.count() - 3600).exec())
        return fail(purge.error());
    if (!transaction.commit(error))
        return -1;
    forgetSessions(userId);
    qCInfo(lcService).noquote() << "Revoked" << count << "sessions of" << userId;
    return count;
}

} // namespace tavro::server
