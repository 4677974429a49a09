#pragma once

// Helpers shared by the parts of Service; not installed, not used outside src/server.

#include "protocol/Messages.h"
#include "server/Database.h"
#include "server/Service.h"

#include <optional>
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcService)

namespace tavro::server::detail {

/// Error texts may quote what the officer sent, cut short: they are made fit to travel first.
inline void addError(protocol::Reply& reply, const char* code, const QString& text)
{
    reply.errors.append({QString::fromLatin1(code), protocol::errorText(text)});
}

inline protocol::Error sessionError(const char* code, const QString& text)
{
    return protocol::Error{QString::fromLatin1(code), text};
}

/// Tells \a error (when asked for) what went wrong; false, for `return fail(error, ...)`.
inline bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

inline void setError(protocol::Error* target, const protocol::Error& error)
{
    if (target)
        *target = error;
}

/// The store failed during sign-in or a session check: logged, and a try-again error frame.
protocol::Error unavailable(const QString& detail);

/// The store failed: the officer is told to try again, the log gets the detail.
void addUnavailable(protocol::Reply& reply, const QString& detail);

/// This thread's connection to \a database with \a transaction begun on it in \a mode. When
/// either cannot be had, the reply is told the store is unavailable and nullopt is returned.
std::optional<QSqlDatabase> beginTransaction(const Database& database, Transaction::Mode mode,
                                             std::optional<Transaction>& transaction, protocol::Reply& reply);

/// The request log's claim of a change's key as a part of the change's own statement (an INSERT
/// that returns a row when it claimed); bindClaim binds its values: the session's user, the
/// request, and whether to claim at all. Both are defined with the log, in RequestLog.cpp.
extern const QString ClaimPart;
void bindClaim(Query& query, const SessionInfo& session, const protocol::Request& request, bool claim);

/// The value of the criterion \a key (compared without regard to case), or nullopt.
std::optional<QString> criterion(const protocol::Request& request, QStringView key);

/// The whole number a text begins with, after leading blanks, as the classic Val reads it
/// ("0012345-7" gives 12345); nullopt when it begins with no digit or the number is too long.
std::optional<qint64> leadingNumber(QStringView text);

/// A batch or confirmation number as officers see it: seven digits with leading zeros.
QString sevenDigits(qint64 number);

/// An officer-readable date ("January 26, 2005").
QString longDate(const QDate& date);

protocol::DataSet dataSet(std::initializer_list<protocol::Field> fields);

/// The batch record of a reply ("CONFIRMATION"), its query (to be followed by a WHERE clause)
/// and the reading of one row of it.
protocol::DataSet confirmationSet();
extern const QString BatchQuery;
void appendBatch(protocol::DataSet& set, const Query& query);

inline protocol::Value textOrNull(const QVariant& value)
{
    return value.isNull() ? protocol::Value() : protocol::Value(value.toString());
}

} // namespace tavro::server::detail
