#include "StoreCheck.h"

#include <QMap>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace tavro::faults {

using loadgen::JournalEntry;
using namespace Qt::StringLiterals;

namespace {

// One audit row, as the checks compare it with the journal and the batch.
struct AuditRow
{
    QString action, number;
    QDate date;
    QString comment;
};

bool sameSave(const AuditRow& row, const JournalEntry& sent)
{
    return row.action == sent.action && row.number == sent.number && row.date == sent.date &&
           (sent.action != u"UNCONFIRM" || row.comment == sent.reason);
}

// Runs the checks' queries on one store and collects what they find.
struct Checker
{
    QSqlDatabase db;
    StoreReport& report;

    // Runs \a sql and calls \a row for every row; false (and a problem) when the query fails.
    template <class Row> bool each(const QString& sql, Row row, bool failureIsProblem = true)
    {
        QSqlQuery q(db);
        if (!q.exec(sql)) {
            if (failureIsProblem)
                problem(u"query failed: %1 (%2)"_s.arg(sql.left(70), q.lastError().text()));
            return false;
        }
        while (q.next())
            row(q);
        return true;
    }
    // Every row \a sql returns breaks a rule, told by \a what with the row's first column.
    void none(const QString& sql, const QString& what)
    {
        each(sql, [&](QSqlQuery& q) { problem(what.arg(q.value(0).toString())); });
    }
    void problem(const QString& text) { report.problems << text; }
};

void checkIntegrity(Checker& check, server::Dialect dialect, StoreReport& report)
{
    QStringList verdict;
    auto collect = [&](QSqlQuery& q) { verdict << q.value(0).toString(); };
    if (dialect == server::Dialect::Sqlite) {
        check.each(u"PRAGMA integrity_check"_s, collect);
        report.integrity = u"integrity_check: "_s + verdict.join(u' ');
        if (verdict != QStringList{u"ok"_s})
            check.problem(report.integrity);
        check.none(u"PRAGMA foreign_key_check"_s, u"a row of %1 refers to a row that does not exist"_s);
        return;
    }
    bool installed = false; // asked first: creating it again would print a notice on every check
    check.each(u"SELECT 1 FROM pg_extension WHERE extname = 'amcheck'"_s,
               [&](QSqlQuery&) { installed = true; });
    if (!installed && !check.each(u"CREATE EXTENSION amcheck"_s, collect, false)) {
        report.integrity = u"amcheck not available"_s;
        return;
    }
    // Every B-tree index against its table (heapallindexed), then every table's pages.
    check.each(u"SELECT c.relname, bt_index_check(c.oid, true) FROM pg_index i "
               "JOIN pg_class c ON c.oid = i.indexrelid JOIN pg_am a ON a.oid = c.relam "
               "JOIN pg_namespace n ON n.oid = c.relnamespace "
               "WHERE a.amname = 'btree' AND n.nspname = 'public'"_s,
               collect);
    const qsizetype indexes = verdict.size();
    check.none(u"SELECT c.relname || ': ' || v.msg FROM pg_class c "
               "JOIN pg_namespace n ON n.oid = c.relnamespace, "
               "LATERAL verify_heapam(c.oid) v WHERE c.relkind = 'r' AND n.nspname = 'public'"_s,
               u"amcheck: %1"_s);
    report.integrity = u"amcheck: %1 indexes and every table checked"_s.arg(indexes);
}

void checkBatches(Checker& check, server::Dialect dialect)
{
    check.none(u"SELECT DISTINCT r.dly_rcpt_nbr FROM rcpt r JOIN dly_rcpt d ON d.dly_rcpt_nbr = "
               "r.dly_rcpt_nbr WHERE COALESCE(r.cnfrmtn_nbr, '') <> COALESCE(d.cnfrmtn_nbr, '')"_s,
               u"batch %1 has receipts without its confirmation number"_s);
    check.none(u"SELECT dly_rcpt_nbr FROM dly_rcpt WHERE (cnfrmtn_nbr IS NULL) <> (cnfrmtn_dt IS NULL) "
               "OR (cnfrmtn_nbr IS NULL) <> (cnfrmtn_ofcr_id IS NULL)"_s,
               u"batch %1 is half confirmed (number, date and officer not all set or all empty)"_s);
    check.none(u"SELECT cnfrmtn_nbr FROM dly_rcpt WHERE cnfrmtn_nbr IS NOT NULL "
               "GROUP BY cnfrmtn_nbr HAVING COUNT(*) > 1"_s,
               u"confirmation number %1 is held by more than one batch"_s);
    check.none(u"SELECT cnfrmtn_nbr FROM cnfrmtn_audit WHERE action = 'UPD' "
               "GROUP BY cnfrmtn_nbr HAVING COUNT(*) > 1"_s,
               u"confirmation number %1 was used by more than one confirmation"_s);
    check.none(u"SELECT a.cnfrmtn_nbr FROM cnfrmtn_audit a "
               "LEFT JOIN form_nbr f ON f.form_nbr = CAST(a.cnfrmtn_nbr AS BIGINT) "
               "WHERE a.action = 'UPD' AND (f.used_by_batch IS NULL "
               "OR f.used_by_batch <> a.dly_rcpt_nbr)"_s,
               u"confirmation number %1 was not handed out, or is not marked used by its batch"_s);
    // PostgreSQL hands numbers out from a sequence, SQLite from a row of nbr_sequence.
    const QString next =
        dialect == server::Dialect::Postgres
            ? u"SELECT last_value + CASE WHEN is_called THEN 1 ELSE 0 END FROM form_nbr_seq"_s
            : u"SELECT next_val FROM nbr_sequence WHERE seq_nm = 'FORM_NBR'"_s;
    check.none(u"SELECT MAX(form_nbr) FROM form_nbr HAVING MAX(form_nbr) >= ("_s + next + u")"_s,
               u"form number %1 is not below the sequence's next number"_s);
    check.none(u"SELECT a.audit_id FROM cnfrmtn_audit a WHERE a.rcpt_count <> "
               "(SELECT COUNT(*) FROM rcpt r WHERE r.dly_rcpt_nbr = a.dly_rcpt_nbr) "
               "OR a.total_amt <> (SELECT COALESCE(SUM(r.rcpt_amt), 0) FROM rcpt r "
               "WHERE r.dly_rcpt_nbr = a.dly_rcpt_nbr)"_s,
               u"audit row %1 gives receipt totals that are not its batch's"_s);
    // The batch as its last audit row left it.
    check.each(u"SELECT a.dly_rcpt_nbr, a.action, a.cnfrmtn_nbr, a.cnfrmtn_dt, a.ofcr_id, a.cmmt_txt, "
               "d.cnfrmtn_nbr, d.cnfrmtn_dt, d.cnfrmtn_ofcr_id, d.dly_rcpt_cmmt_txt FROM cnfrmtn_audit a "
               "JOIN (SELECT MAX(audit_id) AS last_id FROM cnfrmtn_audit GROUP BY dly_rcpt_nbr) l "
               "ON l.last_id = a.audit_id JOIN dly_rcpt d ON d.dly_rcpt_nbr = a.dly_rcpt_nbr"_s,
               [&](QSqlQuery& q) {
                   const bool confirmed = q.value(1).toString() == u"UPD";
                   const bool agrees = confirmed
                                           ? q.value(6).toString() == q.value(2).toString() &&
                                                 q.value(7).toDate() == q.value(3).toDate() &&
                                                 q.value(8).toLongLong() == q.value(4).toLongLong()
                                           : q.isNull(6) && q.value(9).toString() == q.value(5).toString();
                   if (!agrees)
                       check.problem(u"batch %1 is not as its last audit row (%2 %3) left it"_s.arg(
                           q.value(0).toString(), q.value(1).toString(), q.value(2).toString()));
               });
}

// Per batch: the audit is the journal's saves in the order sent, every acknowledged one among
// them; an unacknowledged save may or may not have landed.
void checkJournal(Checker& check, const QList<JournalEntry>& journal, qint64 firstBatch, qint64 lastBatch,
                  StoreReport& report)
{
    const QString generated = u"dly_rcpt_nbr BETWEEN %1 AND %2"_s.arg(firstBatch).arg(lastBatch);
    QMap<qint64, QList<AuditRow>> audit;
    check.each(u"SELECT dly_rcpt_nbr, action, cnfrmtn_nbr, cnfrmtn_dt, cmmt_txt FROM cnfrmtn_audit "
               "WHERE "_s +
                   generated + u" ORDER BY audit_id"_s,
               [&](QSqlQuery& q) {
                   ++report.auditRows;
                   audit[q.value(0).toLongLong()].append({q.value(1).toString(), q.value(2).toString(),
                                                          q.value(3).toDate(), q.value(4).toString()});
               });
    check.none(u"SELECT dly_rcpt_nbr FROM dly_rcpt WHERE cnfrmtn_nbr IS NOT NULL AND "_s + generated +
                   u" AND dly_rcpt_nbr NOT IN (SELECT dly_rcpt_nbr FROM cnfrmtn_audit)"_s,
               u"batch %1 is confirmed without an audit row"_s);
    check.each(u"SELECT COUNT(*) FROM dly_rcpt WHERE cnfrmtn_nbr IS NOT NULL AND "_s + generated,
               [&](QSqlQuery& q) { report.confirmedBatches = q.value(0).toLongLong(); });

    // A save is acknowledged by the next line of its batch, when that line says "ack".
    QMap<qint64, QList<std::pair<JournalEntry, bool>>> sent;
    for (const JournalEntry& entry : journal) {
        auto& saves = sent[entry.batch];
        if (!entry.acknowledged) {
            saves.append({entry, false});
            continue;
        }
        JournalEntry unacknowledged = entry;
        unacknowledged.acknowledged = false;
        if (saves.isEmpty() || saves.back().second || !(saves.back().first == unacknowledged))
            check.problem(u"the journal acknowledges a save of batch %1 it never sent"_s.arg(entry.batch));
        else
            saves.back().second = true;
    }
    for (auto batch = sent.cbegin(); batch != sent.cend(); ++batch) {
        const QList<AuditRow> rows = audit.take(batch.key());
        qsizetype next = 0;
        for (const auto& [save, acknowledged] : batch.value()) {
            report.acknowledged += acknowledged ? 1 : 0;
            if (next < rows.size() && sameSave(rows[next], save)) {
                ++next;
                report.landedUnacknowledged += acknowledged ? 0 : 1;
            } else if (acknowledged) {
                check.problem(
                    u"the acknowledged %1 of batch %2 (number %3) is not in the audit"_s.arg(save.action)
                        .arg(save.batch)
                        .arg(save.number));
            }
        }
        if (next < rows.size())
            check.problem(u"the audit of batch %1 has %2 rows no save accounts for"_s.arg(batch.key())
                              .arg(rows.size() - next));
    }
    for (auto batch = audit.cbegin(); batch != audit.cend(); ++batch)
        check.problem(u"batch %1 has audit rows but the load never saved it"_s.arg(batch.key()));
}

} // namespace

StoreReport checkStore(const QSqlDatabase& db, server::Dialect dialect, const QList<JournalEntry>& journal,
                       qint64 firstBatch, qint64 lastBatch)
{
    StoreReport report;
    Checker check{db, report};
    checkIntegrity(check, dialect, report);
    checkBatches(check, dialect);
    checkJournal(check, journal, firstBatch, lastBatch, report);
    return report;
}

} // namespace tavro::faults
