// Changes: confirming and unconfirming a daily batch (72) and handing out form numbers (90).
// Each change is one write transaction; every UPDATE re-checks in its WHERE clause the state
// that was read before it, so two officers changing one batch at once cannot both succeed.

#include "protocol/NumberRules.h"
#include "server/Service.h"
#include "server/ServiceSupport.h"

#include <cmath>

namespace tavro::server {

using namespace protocol;
using detail::addError;

namespace {

constexpr int MaxCommentLength = 254;
constexpr qint64 LargestFormNumber = 9999999;

std::optional<qint64> wholeNumber(const Value& value)
{
    if (const auto* n = std::get_if<qint64>(&value))
        return *n;
    if (const auto* d = std::get_if<double>(&value)) {
        if (std::isfinite(*d) && std::trunc(*d) == *d && std::abs(*d) < 1e15)
            return qint64(*d);
        return std::nullopt;
    }
    if (const auto* text = std::get_if<QString>(&value)) {
        const QString trimmed = text->trimmed();
        bool ok = false;
        const qint64 n = trimmed.toLongLong(&ok);
        return ok ? std::optional<qint64>(n) : std::nullopt;
    }
    return std::nullopt;
}

std::optional<QString> textOf(const Value& value)
{
    if (const auto* text = std::get_if<QString>(&value))
        return *text;
    return std::nullopt;
}

/// A date as a date value, or as text in ISO (YYYY-MM-DD) or US (MM-DD-YYYY) order.
std::optional<QDate> dateOf(const Value& value)
{
    if (const auto* date = std::get_if<QDate>(&value))
        return *date;
    if (const auto* text = std::get_if<QString>(&value)) {
        const QString trimmed = text->trimmed();
        for (const char* format : {"yyyy-MM-dd", "MM-dd-yyyy"}) {
            const QDate date = QDate::fromString(trimmed, QLatin1String(format));
            if (date.isValid())
                return date;
        }
    }
    return std::nullopt;
}

struct BatchTotals
{
    qint64 count = 0;
    qint64 amount = 0;
    QDate latest;
};

struct AuditEntry
{
    QString action;
    qint64 batch = 0;
    QString number;
    QDate date;
    QString comment;
    BatchTotals totals;
};

// The head of every audit row's INSERT, and of every form number's, whether written alone or as a
// part of a larger statement.
const QString InsertAudit = QStringLiteral(
    "INSERT INTO cnfrmtn_audit (action, user_id, ofcr_id, trp_id, trp_dstrct_id, recorded_at, dly_rcpt_nbr, "
    "cnfrmtn_nbr, cnfrmtn_dt, cmmt_txt, rcpt_count, total_amt) ");
const QString InsertFormNumber =
    QStringLiteral("INSERT INTO form_nbr (form_nbr, form_typ_cd, issued_to, issued_at) ");

bool writeAudit(const QSqlDatabase& db, const SessionInfo& session, const AuditEntry& entry, QString* error)
{
    Query q(db, InsertAudit + QStringLiteral("VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    q.bind(entry.action)
        .bind(session.userId)
        .bind(session.officerId)
        .bind(session.trpId)
        .bind(session.trpDstrctId);
    q.bind(QDateTime::currentDateTimeUtc()).bind(entry.batch);
    q.bind(entry.number.isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(entry.number));
    q.bind(entry.date.isValid() ? QVariant(entry.date) : QVariant(QMetaType::fromType<QDate>()));
    q.bind(entry.comment.isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(entry.comment));
    if (!q.bind(entry.totals.count).bind(entry.totals.amount).exec()) {
        *error = q.error();
        return false;
    }
    return true;
}

// What a change reads before it writes: the batch, its receipts' totals and the state of the
// confirmation number it names. Binds the batch, the number, the batch.
const QString BatchStateQuery = QStringLiteral(
    "SELECT d.cnfrmtn_nbr, d.dly_rcpt_dt, d.dly_rcpt_cmmt_txt, d.trp_id, d.trp_dstrct_id, t.n, t.amount, "
    "t.latest, f.form_nbr, f.used_by_batch FROM dly_rcpt d CROSS JOIN (SELECT COUNT(*) AS n, "
    "CAST(COALESCE(SUM(rcpt_amt), 0) AS BIGINT) AS amount, MAX(rcpt_dt) AS latest FROM rcpt "
    "WHERE dly_rcpt_nbr = ?) t LEFT JOIN form_nbr f ON f.form_nbr = ? WHERE d.dly_rcpt_nbr = ?");

// A confirmation on PostgreSQL in one round trip: the claim of the request's key, the state as
// above, read from the statement's snapshot, and every write, each UPDATE re-checking what it
// changes; then the state (null when the batch does not exist), how many rows the batch's and the
// number's UPDATE changed and whether the key was claimed. When the checks on what was read refuse
// the confirmation, or the key was taken, the rollback takes back whatever was written. Binds the
// claim, then as above, then the number's text, the date, the officer, the batch, the number, the
// user, TRP, district and time of the audit.
const QString& confirmAtOnce()
{
    static const QString sql =
        QStringLiteral("WITH claim AS (") + detail::ClaimPart + QStringLiteral("), state AS (") +
        BatchStateQuery +
        QStringLiteral(
            "), confirmed AS (UPDATE dly_rcpt SET cnfrmtn_nbr = CAST(? AS TEXT), "
            "cnfrmtn_dt = CAST(? AS DATE), cnfrmtn_ofcr_id = CAST(? AS INTEGER) "
            "WHERE dly_rcpt_nbr = CAST(? AS BIGINT) AND cnfrmtn_nbr IS NULL "
            "RETURNING dly_rcpt_nbr, cnfrmtn_nbr, cnfrmtn_dt, cnfrmtn_ofcr_id), "
            "used AS (UPDATE form_nbr f SET used_by_batch = c.dly_rcpt_nbr FROM confirmed c "
            "WHERE f.form_nbr = CAST(? AS BIGINT) AND f.used_by_batch IS NULL RETURNING f.form_nbr), "
            "marked AS (UPDATE rcpt r SET cnfrmtn_nbr = c.cnfrmtn_nbr FROM confirmed c, used u "
            "WHERE r.dly_rcpt_nbr = c.dly_rcpt_nbr), audited AS (") +
        InsertAudit +
        QStringLiteral(
            "SELECT 'UPD', CAST(? AS TEXT), c.cnfrmtn_ofcr_id, CAST(? AS TEXT), CAST(? AS TEXT), "
            "CAST(? AS TIMESTAMPTZ), c.dly_rcpt_nbr, c.cnfrmtn_nbr, c.cnfrmtn_dt, NULL, s.n, s.amount "
            "FROM confirmed c, used u, state s) "
            "SELECT s.*, (SELECT COUNT(*) FROM confirmed), (SELECT COUNT(*) FROM used), "
            "(SELECT COUNT(*) FROM claim) FROM (VALUES (1)) AS one (x) LEFT JOIN state s ON TRUE");
    return sql;
}

struct BatchState
{
    QVariant number;  // the batch's confirmation number, or null
    QList<Value> row; // the batch's record of a reply, as read
    BatchTotals totals;
    bool issued = false; // the number the change names was handed out
    QVariant usedBy;     // the batch that number was used for, or null

    BatchState(qint64 batch, const Query& q)
        : number(q.value(0)),
          // The confirmation's number, date and officer are what the change sets.
          row{batch,
              toDate(q.value(1)),
              Value(),
              Value(),
              Value(),
              detail::textOrNull(q.value(2)),
              detail::textOrNull(q.value(3)),
              detail::textOrNull(q.value(4))},
          totals{toInteger(q.value(5)), toInteger(q.value(6)), q.isNull(7) ? QDate() : toDate(q.value(7))},
          issued(!q.isNull(8)), usedBy(q.value(9))
    {
    }
};

// Whether what was read refuses the confirmation of \a audit (then \a reply says why).
bool refusesConfirmation(Reply& reply, const BatchState& state, const AuditEntry& audit,
                         const QString& batchText)
{
    if (!state.number.isNull()) {
        addError(reply, replyerr::AlreadyConfirmed,
                 QStringLiteral("Daily receipt %1 is already confirmed (confirmation number %2).")
                     .arg(batchText, state.number.toString()));
        return true;
    }
    if (state.totals.latest.isValid() && audit.date < state.totals.latest) {
        addError(
            reply, replyerr::BadDate,
            QStringLiteral("The confirmation date, %1, is earlier than the latest receipt of daily receipt "
                           "%2, dated %3.")
                .arg(detail::longDate(audit.date), batchText, detail::longDate(state.totals.latest)));
        return true;
    }
    if (!state.issued) {
        addError(
            reply, replyerr::NumberNotIssued,
            QStringLiteral("Confirmation number %1 was never handed out. Get a confirmation number first.")
                .arg(audit.number));
        return true;
    }
    if (!state.usedBy.isNull()) {
        addError(
            reply, replyerr::NumberUsed,
            QStringLiteral("Confirmation number %1 has already been used for daily receipt %2. Get a new "
                           "confirmation number.")
                .arg(audit.number, detail::sevenDigits(toInteger(state.usedBy))));
        return true;
    }
    return false;
}

// A confirmation's writes one statement each; how many rows the batch's and the number's UPDATE
// changed (a later one runs only when the one before changed its row).
bool confirmApart(const QSqlDatabase& db, const SessionInfo& session, const AuditEntry& audit,
                  qint64 formNumber, int* confirmed, int* used, QString* error)
{
    Query confirm(db,
                  QStringLiteral("UPDATE dly_rcpt SET cnfrmtn_nbr = ?, cnfrmtn_dt = ?, cnfrmtn_ofcr_id = ? "
                                 "WHERE dly_rcpt_nbr = ? AND cnfrmtn_nbr IS NULL"));
    if (!confirm.bind(audit.number).bind(audit.date).bind(session.officerId).bind(audit.batch).exec()) {
        *error = confirm.error();
        return false;
    }
    *confirmed = confirm.affected();
    if (*confirmed != 1)
        return true;
    Query use(db, QStringLiteral(
                      "UPDATE form_nbr SET used_by_batch = ? WHERE form_nbr = ? AND used_by_batch IS NULL"));
    if (!use.bind(audit.batch).bind(formNumber).exec()) {
        *error = use.error();
        return false;
    }
    *used = use.affected();
    if (*used != 1)
        return true;
    Query receipts(db, QStringLiteral("UPDATE rcpt SET cnfrmtn_nbr = ? WHERE dly_rcpt_nbr = ?"));
    if (!receipts.bind(audit.number).bind(audit.batch).exec()) {
        *error = receipts.error();
        return false;
    }
    return writeAudit(db, session, audit, error);
}

void noNumbersFor(Reply& reply, const QString& type)
{
    addError(reply, replyerr::BadRequest,
             QStringLiteral("There are no numbers for the form type \"%1\".").arg(type.left(20)));
}

// PostgreSQL: the claim of the request's key, the type checked, the number taken from the
// sequence and recorded as handed out, in one statement. nextval locks nothing, so requests do not
// wait for one another's commit. Sets \a keyTaken when the statement was to claim the key and found
// it taken (then nothing is to be kept of what it did).
std::optional<qint64> takeNumberFromSequence(const QSqlDatabase& db, const SessionInfo& session,
                                             const Request& request, const QString& type, bool claim,
                                             bool* keyTaken, Reply& reply)
{
    static const QString sql =
        QStringLiteral("WITH claim AS (") + detail::ClaimPart + QStringLiteral("), issued AS (") +
        InsertFormNumber +
        QStringLiteral("SELECT nextval('form_nbr_seq'), code, CAST(? AS TEXT), CAST(? AS TIMESTAMPTZ) "
                       "FROM code_table WHERE table_nm = 'FORMTYP' AND code = ? RETURNING form_nbr) "
                       "SELECT (SELECT form_nbr FROM issued), (SELECT COUNT(*) FROM claim)");
    Query issue(db, sql);
    detail::bindClaim(issue, session, request, claim);
    if (!issue.bind(session.userId).bind(QDateTime::currentDateTimeUtc()).bind(type).exec() ||
        !issue.next()) {
        detail::addUnavailable(reply, issue.error());
        return std::nullopt;
    }
    *keyTaken = claim && toInteger(issue.value(1)) == 0;
    if (*keyTaken)
        return std::nullopt;
    if (issue.isNull(0)) {
        noNumbersFor(reply, type);
        return std::nullopt;
    }
    const qint64 number = toInteger(issue.value(0));
    issue.finish();
    return number;
}

// SQLite: the number row is locked with the whole store, as every write is; one writer at a time.
std::optional<qint64> takeNumberFromRow(const QSqlDatabase& db, const SessionInfo& session,
                                        const QString& type, Reply& reply)
{
    Query known(db, QStringLiteral("SELECT 1 FROM code_table WHERE table_nm = 'FORMTYP' AND code = ?"));
    if (!known.bind(type).exec()) {
        detail::addUnavailable(reply, known.error());
        return std::nullopt;
    }
    if (!known.next()) {
        noNumbersFor(reply, type);
        return std::nullopt;
    }
    known.finish();
    Query next(db, QStringLiteral("UPDATE nbr_sequence SET next_val = next_val + 1 WHERE seq_nm = 'FORM_NBR' "
                                  "RETURNING next_val - 1"));
    if (!next.exec() || !next.next()) {
        detail::addUnavailable(reply, next.error());
        return std::nullopt;
    }
    const qint64 number = toInteger(next.value(0));
    next.finish();
    Query issue(db, InsertFormNumber + QStringLiteral("VALUES (?, ?, ?, ?)"));
    if (!issue.bind(number).bind(type).bind(session.userId).bind(QDateTime::currentDateTimeUtc()).exec()) {
        detail::addUnavailable(reply, issue.error());
        return std::nullopt;
    }
    return number;
}

} // namespace

Reply Service::save(const SessionInfo& session, const Request& request)
{
    Reply reply;
    const auto found = request.dataSets.constFind(QStringLiteral("CONFIRMATION"));
    if (found == request.dataSets.cend() || found->records.size() != 1) {
        addError(reply, replyerr::BadRequest,
                 QStringLiteral("A save must carry exactly one confirmation record."));
        return reply;
    }
    const DataSet& record = *found;
    auto field = [&record](const char* name) { return record.value(0, QString::fromLatin1(name)); };

    const QString action = textOf(field("ACTION")).value_or(QString()).trimmed().toUpper();
    if (action != u"UPD" && action != u"UNCONFIRM") {
        addError(reply, replyerr::BadRequest,
                 QStringLiteral("The confirmation record must say UPD or UNCONFIRM."));
        return reply;
    }
    const auto batch = wholeNumber(field("DLY_RCPT_NBR"));
    if (!batch || *batch <= 0) {
        addError(reply, replyerr::BadRequest,
                 QStringLiteral("The confirmation record names no daily receipt number."));
        return reply;
    }
    const QString batchText = detail::sevenDigits(*batch);

    // The officer, TRP and district of a change are the session's; a record naming others is refused.
    if (const Value officer = field("CNFRMTN_OFCR_ID"); !std::holds_alternative<std::monostate>(officer)) {
        const auto id = wholeNumber(officer);
        if (!id || *id != session.officerId) {
            addError(
                reply, replyerr::OtherOfficer,
                QStringLiteral("The confirmation names another officer; you are signed in as officer %1.")
                    .arg(session.officerId));
            return reply;
        }
    }
    const std::pair<const char*, QString> places[] = {{"TRP_ID", session.trpId},
                                                      {"TRP_DSTRCT_ID", session.trpDstrctId}};
    for (const auto& [name, own] : places) {
        const Value value = field(name);
        if (std::holds_alternative<std::monostate>(value))
            continue;
        const auto text = textOf(value);
        if (!text || text->trimmed() != own.trimmed()) {
            addError(reply, replyerr::OtherOfficer,
                     QStringLiteral(
                         "The confirmation names another TRP or district; you are signed in for TRP %1, "
                         "district %2.")
                         .arg(session.trpId, session.trpDstrctId));
            return reply;
        }
    }

    const QDate today = QDate::currentDate();
    AuditEntry audit;
    audit.action = action;
    audit.batch = *batch;
    qint64 formNumber = 0;
    if (action == u"UPD") {
        const QString number = textOf(field("CNFRMTN_NBR")).value_or(QString()).trimmed();
        QString why;
        if (!validateNumber(u"F", number, &why)) {
            addError(reply, replyerr::BadRequest,
                     number.isEmpty() ? QStringLiteral("The confirmation number is missing.")
                                      : QStringLiteral("The confirmation number is not valid: %1.").arg(why));
            return reply;
        }
        formNumber = detail::leadingNumber(number).value_or(0);
        audit.number = detail::sevenDigits(formNumber);
        const auto date = dateOf(field("CNFRMTN_DT"));
        if (!date) {
            addError(reply, replyerr::BadDate,
                     QStringLiteral("The confirmation date is missing or not a date."));
            return reply;
        }
        if (*date > today) {
            addError(reply, replyerr::BadDate,
                     QStringLiteral("The confirmation date, %1, is later than today.")
                         .arg(detail::longDate(*date)));
            return reply;
        }
        audit.date = *date;
    } else {
        audit.comment = textOf(field("DLY_RCPT_CMMT_TXT")).value_or(QString()).trimmed();
        if (audit.comment.isEmpty()) {
            addError(reply, replyerr::CommentRequired,
                     QStringLiteral("An explanation comment is required to unconfirm a batch."));
            return reply;
        }
        if (audit.comment.size() > MaxCommentLength) {
            addError(reply, replyerr::CommentTooLong,
                     QStringLiteral("The explanation comment may have at most %1 characters; it has %2.")
                         .arg(MaxCommentLength)
                         .arg(audit.comment.size()));
            return reply;
        }
        const Value given = field("CNFRMTN_DT");
        const auto date =
            std::holds_alternative<std::monostate>(given) ? std::optional<QDate>(today) : dateOf(given);
        if (!date) {
            addError(reply, replyerr::BadDate,
                     QStringLiteral("The date of the unconfirmation is not a date."));
            return reply;
        }
        audit.date = *date;
    }

    QString why;
    std::optional<Transaction> transaction;
    const auto db = detail::beginTransaction(m_database, Transaction::Mode::Write, transaction, reply);
    const bool atOnce = action == u"UPD" && m_database.dialect() == Dialect::Postgres;
    // A keyed confirmation on PostgreSQL claims its key in its own statement, a round trip fewer.
    bool claimInStatement = atOnce && !request.key.isEmpty();
    if (!db || (!claimInStatement && claimRequest(*db, session, request, reply) != Claim::New))
        return reply;
    std::optional<BatchState> read;
    int confirmed = 0;
    int used = 0;
    for (;;) {
        Query q(*db, atOnce ? confirmAtOnce() : BatchStateQuery);
        if (atOnce)
            detail::bindClaim(q, session, request, claimInStatement);
        q.bind(*batch).bind(formNumber).bind(*batch);
        if (atOnce) {
            q.bind(audit.number).bind(audit.date).bind(session.officerId).bind(*batch).bind(formNumber);
            q.bind(session.userId)
                .bind(session.trpId)
                .bind(session.trpDstrctId)
                .bind(QDateTime::currentDateTimeUtc());
        }
        if (!q.exec()) {
            detail::addUnavailable(reply, q.error());
            return reply;
        }
        const bool row = q.next();
        if (claimInStatement && (!row || toInteger(q.value(12)) == 0)) {
            // Sent before (answered as then) or the key used again for another request: the log decides.
            q.finish();
            if (!detail::beginTransaction(m_database, Transaction::Mode::Write, transaction, reply) ||
                claimRequest(*db, session, request, reply) != Claim::New)
                return reply;
            claimInStatement = false;
            continue;
        }
        if (!row || q.isNull(1)) {
            addError(reply, replyerr::NotFound,
                     QStringLiteral("Daily receipt %1 does not exist.").arg(batchText));
            return reply;
        }
        read.emplace(*batch, q);
        confirmed = atOnce ? int(toInteger(q.value(10))) : 0;
        used = atOnce ? int(toInteger(q.value(11))) : 0;
        break;
    }
    BatchState& state = *read;
    audit.totals = state.totals;
    QList<Value>& changed = state.row; // the batch as this change leaves it

    if (action == u"UPD") {
        if (refusesConfirmation(reply, state, audit, batchText))
            return reply;
        if (!atOnce && !confirmApart(*db, session, audit, formNumber, &confirmed, &used, &why)) {
            detail::addUnavailable(reply, why);
            return reply;
        }
        if (confirmed != 1) {
            addError(reply, replyerr::Conflict,
                     QStringLiteral("Daily receipt %1 was confirmed by someone else a moment ago.")
                         .arg(batchText));
            return reply;
        }
        if (used != 1) {
            addError(reply, replyerr::NumberUsed,
                     QStringLiteral("Confirmation number %1 was used by someone else a moment ago. Get a new "
                                    "confirmation number.")
                         .arg(audit.number));
            return reply;
        }
        changed[2] = audit.number;
        changed[3] = audit.date;
        changed[4] = qint64(session.officerId);
    } else {
        if (state.number.isNull()) {
            addError(reply, replyerr::NotConfirmed,
                     QStringLiteral("Daily receipt %1 is not confirmed, so it cannot be unconfirmed.")
                         .arg(batchText));
            return reply;
        }
        audit.number = state.number.toString();
        Query unconfirm(*db, QStringLiteral("UPDATE dly_rcpt SET cnfrmtn_nbr = NULL, cnfrmtn_dt = NULL, "
                                            "cnfrmtn_ofcr_id = NULL, dly_rcpt_cmmt_txt = ? "
                                            "WHERE dly_rcpt_nbr = ? AND cnfrmtn_nbr = ?"));
        if (!unconfirm.bind(audit.comment).bind(*batch).bind(audit.number).exec()) {
            detail::addUnavailable(reply, unconfirm.error());
            return reply;
        }
        if (unconfirm.affected() != 1) {
            addError(
                reply, replyerr::Conflict,
                QStringLiteral("Daily receipt %1 was changed by someone else a moment ago.").arg(batchText));
            return reply;
        }
        Query receipts(*db, QStringLiteral("UPDATE rcpt SET cnfrmtn_nbr = NULL WHERE dly_rcpt_nbr = ?"));
        if (!receipts.bind(*batch).exec()) {
            detail::addUnavailable(reply, receipts.error());
            return reply;
        }
        if (!writeAudit(*db, session, audit, &why)) {
            detail::addUnavailable(reply, why);
            return reply;
        }
        changed[5] = audit.comment;
    }

    DataSet batchSet = detail::confirmationSet();
    batchSet.records.append(changed);
    reply.dataSets.insert(QStringLiteral("CONFIRMATION"), batchSet);
    if (!recordReply(*db, session, request, reply, &why)) {
        reply.dataSets.clear();
        detail::addUnavailable(reply, why);
        return reply;
    }
    if (!transaction->commit(&why)) {
        reply.dataSets.clear();
        addError(reply, replyerr::Conflict,
                 QStringLiteral("Daily receipt %1 could not be saved; someone else changed it. Search again.")
                     .arg(batchText));
        qCWarning(lcService).noquote() << why;
        return reply;
    }
    qCInfo(lcService).noquote() << (action == u"UPD" ? "Confirmed" : "Unconfirmed") << "daily receipt"
                                << batchText << "number" << audit.number << "by" << session.userId
                                << "officer" << session.officerId;
    return reply;
}

Reply Service::formNumber(const SessionInfo& session, const Request& request)
{
    Reply reply;
    const QString type = detail::criterion(request, u"key:FORM_TYP_CD").value_or(QString()).trimmed();
    QString why;
    std::optional<Transaction> transaction;
    const auto db = detail::beginTransaction(m_database, Transaction::Mode::Write, transaction, reply);
    const bool postgres = m_database.dialect() == Dialect::Postgres;
    // On PostgreSQL a keyed request claims its key in its own statement, a round trip fewer.
    const bool claimInStatement = postgres && !request.key.isEmpty();
    if (!db || (!claimInStatement && claimRequest(*db, session, request, reply) != Claim::New))
        return reply;
    bool keyTaken = false;
    auto number =
        postgres ? takeNumberFromSequence(*db, session, request, type, claimInStatement, &keyTaken, reply)
                 : takeNumberFromRow(*db, session, type, reply);
    if (keyTaken) {
        // Sent before (answered as then) or the key used again for another request: the log decides.
        if (!detail::beginTransaction(m_database, Transaction::Mode::Write, transaction, reply) ||
            claimRequest(*db, session, request, reply) != Claim::New)
            return reply;
        number = takeNumberFromSequence(*db, session, request, type, false, &keyTaken, reply);
    }
    if (!number)
        return reply;
    // Past the last number nothing is handed out: the rollback takes back the row written for it (a
    // PostgreSQL sequence stays past it, and every later request is refused the same way).
    if (*number > LargestFormNumber) {
        addError(reply, replyerr::Unavailable, QStringLiteral("The confirmation numbers are used up."));
        return reply;
    }
    DataSet set = detail::dataSet({{"F", FieldType::Long}});
    set.records.append(QList<Value>{*number});
    reply.dataSets.insert(QStringLiteral("REQ"), set);
    if (!recordReply(*db, session, request, reply, &why) || !transaction->commit(&why)) {
        reply.dataSets.clear();
        detail::addUnavailable(reply, why);
    }
    return reply;
}

} // namespace tavro::server
