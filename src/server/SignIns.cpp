// Failed sign-ins per user name, kept in the store so that every server behind one store counts
// the same failures and a restart forgets none.
//
// A guesser is slowed without holding a worker: an attempt that comes before the wait after the
// last failure has passed is answered at once, and its password is not even checked. After
// lockAfterFailures failures in a row the name is locked, whatever the password. Names that do not
// exist are counted like the others, so that locking tells nobody which names exist.

#include "server/Service.h"
#include "server/ServiceSupport.h"

namespace tavro::server {

using namespace protocol;

namespace {

// Long names are counted by their beginning; no real user name comes near this.
QString counted(const QString& user)
{
    return user.left(256);
}

QString duration(qint64 ms)
{
    const qint64 seconds = (ms + 999) / 1000;
    if (seconds < 120)
        return seconds == 1 ? QStringLiteral("1 second") : QStringLiteral("%1 seconds").arg(seconds);
    return QStringLiteral("%1 minutes").arg((seconds + 59) / 60);
}

} // namespace

std::optional<Error> Service::signInRefusal(const QSqlDatabase& db, const QString& user, QString* why)
{
    Query query(db, QStringLiteral(
                        "SELECT failures, last_failure, locked_until FROM login_failure WHERE user_id = ?"));
    if (!query.bind(counted(user)).exec()) {
        *why = query.error();
        return std::nullopt;
    }
    if (!query.next())
        return std::nullopt;
    const qint64 failures = toInteger(query.value(0));
    const qint64 lastFailure = toInteger(query.value(1));
    const qint64 lockedUntil = toInteger(query.value(2));
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (lockedUntil > now)
        return detail::sessionError(
            sessionerr::LoginLocked,
            QStringLiteral("Signing in as \"%1\" is locked after %2 failed attempts in a row. Please try "
                           "again in %3.")
                .arg(user.left(64))
                .arg(failures)
                .arg(duration(lockedUntil - now)));
    if (lockedUntil > 0 || failures < 2)
        return std::nullopt;
    const qint64 wait = std::min<qint64>(m_options.failureDelay.count() << std::min<qint64>(failures - 2, 30),
                                         m_options.lockDuration.count() * 1000);
    if (now - lastFailure < wait)
        return detail::sessionError(
            sessionerr::LoginSlowed,
            QStringLiteral("Too many failed sign-ins as \"%1\". Please wait %2 and try again.")
                .arg(user.left(64), duration(lastFailure + wait - now)));
    return std::nullopt;
}

void Service::recordSignIn(const QSqlDatabase& db, const QString& user, bool succeeded)
{
    if (succeeded) {
        Query forget(db, QStringLiteral("DELETE FROM login_failure WHERE user_id = ?"));
        forget.bind(counted(user)).exec();
        return;
    }
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const qint64 forgotten = now - m_options.lockDuration.count() * 1000;
    // A lock that has run out, or failures older than a lock would last, start the count again.
    Query count(
        db, QStringLiteral("INSERT INTO login_failure (user_id, failures, last_failure, locked_until) "
                           "VALUES (?, 1, ?, 0) ON CONFLICT (user_id) DO UPDATE SET "
                           "failures = CASE WHEN login_failure.locked_until BETWEEN 1 AND ? "
                           "OR login_failure.last_failure < ? THEN 1 ELSE login_failure.failures + 1 END, "
                           "locked_until = CASE WHEN login_failure.locked_until <= ? THEN 0 "
                           "ELSE login_failure.locked_until END, "
                           "last_failure = excluded.last_failure "
                           "RETURNING failures"));
    if (!count.bind(counted(user)).bind(now).bind(now).bind(forgotten).bind(now).exec() || !count.next())
        return;
    const qint64 failures = toInteger(count.value(0));
    count.finish();
    if (failures >= m_options.lockAfterFailures) {
        Query lock(db, QStringLiteral("UPDATE login_failure SET locked_until = ? WHERE user_id = ?"));
        lock.bind(now + m_options.lockDuration.count() * 1000).bind(counted(user)).exec();
        qCWarning(lcService).noquote()
            << "Sign-in as" << user.left(64) << "locked after" << failures << "failures";
    }
    Query purge(db, QStringLiteral("DELETE FROM login_failure WHERE last_failure < ? AND locked_until < ?"));
    purge.bind(forgotten).bind(now).exec();
}

std::optional<bool> Service::unlock(const QString& userId, QString* error)
{
    const auto db = m_database.connection(error);
    if (!db)
        return std::nullopt;
    Query forget(*db, QStringLiteral("DELETE FROM login_failure WHERE user_id = ?"));
    if (!forget.bind(counted(userId)).exec()) {
        if (error)
            *error = forget.error();
        return std::nullopt;
    }
    const bool forgotten = forget.affected() > 0;
    if (forgotten)
        qCInfo(lcService).noquote() << "Failed sign-ins as" << userId.left(64) << "forgotten";
    return forgotten;
}

} // namespace tavro::server
