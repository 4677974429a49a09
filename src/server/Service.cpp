#include "server/Service.h"

#include "server/ServiceSupport.h"

#include <QLocale>

Q_LOGGING_CATEGORY(lcService, "tavro.server")

namespace tavro::server {

using namespace protocol;

namespace detail {

Error unavailable(const QString& detail)
{
    qCWarning(lcService).noquote() << detail;
    return sessionError(
        sessionerr::Unavailable,
        QStringLiteral("The receipts service cannot reach its database just now. Please try again."));
}

void addUnavailable(Reply& reply, const QString& detail)
{
    qCWarning(lcService).noquote() << "Request" << reply.key << "failed:" << detail;
    addError(reply, replyerr::Unavailable,
             QStringLiteral("The receipts service cannot reach its database just now. Please try again."));
}

std::optional<QSqlDatabase> beginTransaction(const Database& database, Transaction::Mode mode,
                                             std::optional<Transaction>& transaction, Reply& reply)
{
    QString why;
    auto db = database.connection(&why);
    if (db) {
        transaction.emplace(*db, database, mode);
        if (transaction->begin(&why))
            return db;
    }
    addUnavailable(reply, why);
    return std::nullopt;
}

std::optional<QString> criterion(const Request& request, QStringView key)
{
    for (const Criterion& c : request.criteria) {
        if (QStringView(c.key).compare(key, Qt::CaseInsensitive) == 0)
            return c.value;
    }
    return std::nullopt;
}

std::optional<qint64> leadingNumber(QStringView text)
{
    qsizetype pos = 0;
    while (pos < text.size() && (text[pos] == u' ' || text[pos] == u'\t'))
        ++pos;
    const qsizetype start = pos;
    while (pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9')
        ++pos;
    QStringView digits = text.mid(start, pos - start);
    while (digits.size() > 1 && digits.front() == u'0')
        digits = digits.mid(1);
    if (digits.isEmpty() || digits.size() > 18)
        return std::nullopt;
    return digits.toLongLong();
}

QString sevenDigits(qint64 number)
{
    return QStringLiteral("%1").arg(number, 7, 10, QChar(u'0'));
}

QString longDate(const QDate& date)
{
    return QLocale::c().toString(date, QStringLiteral("MMMM d, yyyy"));
}

DataSet dataSet(std::initializer_list<Field> fields)
{
    DataSet set;
    set.fields = fields;
    return set;
}

} // namespace detail

using detail::sessionError;
using detail::setError;
using detail::unavailable;

namespace {

const char* roleName(Role role)
{
    return role == Role::Confirm ? "confirm" : "read";
}

// A hash to check a password against when the user does not exist, so that a failed sign-in
// takes as long for a wrong name as for a wrong password.
const QString& decoyHash()
{
    static const QString hash = hashPassword(QStringLiteral("no such user")).value_or(QString());
    return hash;
}

} // namespace

Profile SessionInfo::profile() const
{
    return Profile{userId, trpId, trpDstrctId, officerId, officerName};
}

Service::Service(DatabaseConfig config, ServiceOptions options)
    : m_database(std::move(config)), m_options(options)
{
}

bool Service::initialize(QString* error)
{
    return m_database.migrate(error);
}

bool Service::addUser(const NewUser& user, const QString& password, QString* error, HashCost cost)
{
    const auto fail = [error](const QString& text) { return detail::fail(error, text); };
    if (user.userId.trimmed().isEmpty() || user.userId != user.userId.trimmed())
        return fail(QStringLiteral("A user name may not be empty or begin or end with blanks"));
    if (password.isEmpty())
        return fail(QStringLiteral("A password may not be empty"));
    const auto hash = hashPassword(password, cost);
    if (!hash)
        return fail(QStringLiteral("Cannot hash the password (out of memory)"));
    const auto db = m_database.connection(error);
    if (!db)
        return false;
    Transaction transaction(*db, m_database, Transaction::Mode::Write);
    if (!transaction.begin(error))
        return false;
    Query officer(*db, QStringLiteral("SELECT ofcr_name FROM officer WHERE ofcr_id = ?"));
    if (!officer.bind(user.officerId).exec())
        return fail(officer.error());
    if (!officer.next()) {
        Query insert(*db, QStringLiteral("INSERT INTO officer (ofcr_id, ofcr_name) VALUES (?, ?)"));
        const QString name = user.officerName.isEmpty() ? user.userId : user.officerName;
        if (!insert.bind(user.officerId).bind(name).exec())
            return fail(insert.error());
    }
    Query remove(*db, QStringLiteral("DELETE FROM app_user WHERE user_id = ?"));
    if (!remove.bind(user.userId).exec())
        return fail(remove.error());
    // A replaced user's sessions went with the old row; servers that keep them in memory are told.
    Query revoked(*db, QStringLiteral("INSERT INTO session_revocation (user_id, revoked_at) VALUES (?, ?)"));
    if (remove.affected() > 0 && !revoked.bind(user.userId).bind(QDateTime::currentSecsSinceEpoch()).exec())
        return fail(revoked.error());
    Query insert(*db, QStringLiteral("INSERT INTO app_user (user_id, pw_hash, user_role, ofcr_id, trp_id, "
                                     "trp_dstrct_id) VALUES (?, ?, ?, ?, ?, ?)"));
    insert.bind(user.userId).bind(*hash).bind(QString::fromLatin1(roleName(user.role))).bind(user.officerId);
    if (!insert.bind(user.trpId).bind(user.trpDstrctId).exec())
        return fail(insert.error());
    return transaction.commit(error);
}

namespace {

struct UserRow
{
    QString hash;
    SessionInfo info;
};

std::optional<UserRow> findUser(const QSqlDatabase& db, const QString& userId, QString* error)
{
    Query query(
        db, QStringLiteral("SELECT u.pw_hash, u.user_role, u.ofcr_id, u.trp_id, u.trp_dstrct_id, o.ofcr_name "
                           "FROM app_user u JOIN officer o ON o.ofcr_id = u.ofcr_id WHERE u.user_id = ?"));
    if (!query.bind(userId).exec()) {
        *error = query.error();
        return std::nullopt;
    }
    error->clear();
    if (!query.next())
        return std::nullopt;
    UserRow row;
    row.hash = query.value(0).toString();
    row.info.userId = userId;
    row.info.role = query.value(1).toString() == QLatin1String("confirm") ? Role::Confirm : Role::Read;
    row.info.officerId = qint32(toInteger(query.value(2)));
    row.info.trpId = query.value(3).toString();
    row.info.trpDstrctId = query.value(4).toString();
    row.info.officerName = query.value(5).toString();
    return row;
}

} // namespace

std::optional<SessionInfo> Service::login(const QString& user, const QString& password, Error* error)
{
    QString why;
    const auto db = m_database.connection(&why);
    if (!db) {
        setError(error, unavailable(why));
        return std::nullopt;
    }
    if (const auto refusal = signInRefusal(*db, user, &why)) {
        qCInfo(lcService).noquote() << "Sign-in held back for" << user.left(64) << "-" << refusal->code;
        setError(error, *refusal);
        return std::nullopt;
    }
    const auto row = why.isEmpty() ? findUser(*db, user, &why) : std::nullopt;
    if (!why.isEmpty()) {
        setError(error, unavailable(why));
        return std::nullopt;
    }
    const bool matches = verifyPassword(password, row ? row->hash : decoyHash());
    recordSignIn(*db, user, row && matches);
    if (!row || !matches) {
        qCInfo(lcService).noquote() << "Sign-in refused for" << user.left(64);
        setError(error, sessionError(sessionerr::LoginFailed,
                                     QStringLiteral("The user name or password is not correct.")));
        return std::nullopt;
    }
    return openSession(user, error);
}

std::optional<SessionInfo> Service::signInLocal(const QString& user, Error* error)
{
    return openSession(user, error);
}

std::optional<SessionInfo> Service::openSession(const QString& userId, Error* error)
{
    QString why;
    const auto db = m_database.connection(&why);
    if (!db) {
        setError(error, unavailable(why));
        return std::nullopt;
    }
    auto row = findUser(*db, userId, &why);
    if (!row) {
        setError(error, why.isEmpty()
                            ? sessionError(sessionerr::LoginFailed,
                                           QStringLiteral("There is no user \"%1\".").arg(userId.left(64)))
                            : unavailable(why));
        return std::nullopt;
    }
    row->info.token = newToken();
    if (row->info.token.isEmpty()) {
        setError(error, unavailable(QStringLiteral("No random source for session tokens")));
        return std::nullopt;
    }
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    Query insert(*db, QStringLiteral("INSERT INTO user_session (token_hash, user_id, created_at, last_seen) "
                                     "VALUES (?, ?, ?, ?)"));
    if (!insert.bind(tokenHash(row->info.token)).bind(userId).bind(now).bind(now).exec()) {
        setError(error, unavailable(insert.error()));
        return std::nullopt;
    }
    cacheSession(row->info, now);
    qCInfo(lcService).noquote() << "Signed in" << userId << "as officer" << row->info.officerId;
    return row->info;
}

std::optional<SessionInfo> Service::resume(const QString& token, Error* error)
{
    QString why;
    const auto db = m_database.connection(&why);
    if (!db) {
        setError(error, unavailable(why));
        return std::nullopt;
    }
    Query query(*db, QStringLiteral("SELECT user_id FROM user_session WHERE token_hash = ?"));
    if (!query.bind(tokenHash(token)).exec()) {
        setError(error, unavailable(query.error()));
        return std::nullopt;
    }
    if (!query.next()) {
        setError(error, sessionError(sessionerr::SessionExpired,
                                     QStringLiteral("Your session has ended. Please sign in again.")));
        return std::nullopt;
    }
    const QString userId = query.value(0).toString();
    const auto row = findUser(*db, userId, &why);
    if (!row) {
        setError(error, why.isEmpty()
                            ? sessionError(sessionerr::SessionExpired,
                                           QStringLiteral("Your session has ended. Please sign in again."))
                            : unavailable(why));
        return std::nullopt;
    }
    SessionInfo info = row->info;
    info.token = token;
    if (!touch(info, error))
        return std::nullopt;
    return info;
}

std::optional<Reference> Service::reference(Error* error)
{
    QString why;
    const auto db = m_database.connection(&why);
    if (!db) {
        setError(error, unavailable(why));
        return std::nullopt;
    }
    Reference reference;
    Query codes(*db, QStringLiteral("SELECT table_nm, code, code_desc FROM code_table"));
    if (!codes.exec()) {
        setError(error, unavailable(codes.error()));
        return std::nullopt;
    }
    while (codes.next())
        reference.codeTables[codes.value(0).toString()].insert(codes.value(1).toString(),
                                                               codes.value(2).toString());
    Query officers(*db, QStringLiteral("SELECT ofcr_id, ofcr_name FROM officer"));
    if (!officers.exec()) {
        setError(error, unavailable(officers.error()));
        return std::nullopt;
    }
    while (officers.next())
        reference.officers.insert(qint32(toInteger(officers.value(0))), officers.value(1).toString());
    return reference;
}

Reply Service::handle(const SessionInfo& session, const Request& request)
{
    Reply reply;
    switch (request.requestCode) {
    case RequestCode::Search:
        reply = search(request);
        break;
    case RequestCode::Details:
        reply = details(request);
        break;
    case RequestCode::Save:
    case RequestCode::FormNumber:
        if (session.role != Role::Confirm) {
            detail::addError(
                reply, replyerr::NotPermitted,
                QStringLiteral("You may search and look at receipts, but not confirm, unconfirm or "
                               "take confirmation numbers."));
            break;
        }
        reply =
            request.requestCode == RequestCode::Save ? save(session, request) : formNumber(session, request);
        break;
    default:
        detail::addError(reply, replyerr::BadRequest,
                         QStringLiteral("Request code %1 is not known.").arg(request.requestCode));
        break;
    }
    reply.key = request.key;
    reply.requester = request.requester;
    if (!reply.errors.isEmpty())
        reply.dataSets.clear();
    return reply;
}

} // namespace tavro::server
