// Searches (63) and details (69): everything here only reads.

#include "protocol/DataSetLayouts.h"
#include "server/Service.h"
#include "server/ServiceSupport.h"

namespace tavro::server {

using namespace protocol;
using detail::addError;

namespace {

// Most receipts one funds request may list.
constexpr int MaxListedReceipts = 20000;

const QString ReceiptColumns = QStringLiteral("SELECT r.rcpt_nbr, r.rcpt_dt, r.rcpt_amt, r.cnfrmtn_nbr, "
                                              "r.iss_ofcr_id, r.entr_ofcr_id, r.dly_rcpt_nbr FROM rcpt r ");

Value longOrNull(const Query& query, int column)
{
    return query.isNull(column) ? Value() : Value(toInteger(query.value(column)));
}

Value moneyOf(const Query& query, int column)
{
    return query.isNull(column) ? Value() : Value(Money{toInteger(query.value(column))});
}

Value dateOrNull(const Query& query, int column)
{
    return query.isNull(column) ? Value() : Value(toDate(query.value(column)));
}

void appendReceipt(DataSet& set, const Query& q)
{
    set.records.append({QString::number(toInteger(q.value(0))), dateOrNull(q, 1), moneyOf(q, 2),
                        detail::textOrNull(q.value(3)), longOrNull(q, 4), longOrNull(q, 5),
                        longOrNull(q, 6)});
}

const QString FundQuery = QStringLiteral("SELECT fund_typ_cd, fund_rfrnc_nbr, fund_amt, fund_desc, "
                                         "exprtn_mo_dt, exprtn_dy_dt, exprtn_yr_dt, rcpt_nbr "
                                         "FROM fund WHERE rcpt_nbr = ? ORDER BY fund_seq");

bool appendFunds(DataSet& set, Query& q)
{
    if (!q.exec())
        return false;
    while (q.next()) {
        set.records.append({detail::textOrNull(q.value(0)), detail::textOrNull(q.value(1)), moneyOf(q, 2),
                            detail::textOrNull(q.value(3)), detail::textOrNull(q.value(4)),
                            detail::textOrNull(q.value(5)), detail::textOrNull(q.value(6)),
                            QString::number(toInteger(q.value(7)))});
    }
    return true;
}

} // namespace

namespace detail {

DataSet confirmationSet()
{
    return dataSet({{"DLY_RCPT_NBR", FieldType::Long},
                    {"DLY_RCPT_DT", FieldType::Date},
                    {"CNFRMTN_NBR", FieldType::Text},
                    {"CNFRMTN_DT", FieldType::Date},
                    {"CNFRMTN_OFCR_ID", FieldType::Long},
                    {"DLY_RCPT_CMMT_TXT", FieldType::Text},
                    {"TRP_ID", FieldType::Text},
                    {"TRP_DSTRCT_ID", FieldType::Text}});
}

const QString BatchQuery = QStringLiteral(
    "SELECT dly_rcpt_nbr, dly_rcpt_dt, cnfrmtn_nbr, cnfrmtn_dt, cnfrmtn_ofcr_id, dly_rcpt_cmmt_txt, trp_id, "
    "trp_dstrct_id FROM dly_rcpt ");

void appendBatch(DataSet& set, const Query& q)
{
    set.records.append({longOrNull(q, 0), dateOrNull(q, 1), textOrNull(q.value(2)), dateOrNull(q, 3),
                        longOrNull(q, 4), textOrNull(q.value(5)), textOrNull(q.value(6)),
                        textOrNull(q.value(7))});
}

} // namespace detail

Reply Service::search(const Request& request)
{
    Reply reply;
    const auto type = detail::criterion(request, u"key:DOC_TYP_CD");
    const auto conf = detail::criterion(request, u"key:CONF");
    const auto number = detail::criterion(request, u"key:DOC_NBR");
    if (!type || !conf || !number) {
        addError(reply, replyerr::BadRequest,
                 QStringLiteral("A search needs a document type, a number (which may be empty) and whether "
                                "confirmed or unconfirmed receipts are meant."));
        return reply;
    }
    const QString code = type->trimmed();
    const QString state = conf->trimmed().toUpper();
    if (code != u"D" && code != u"A" && code != u"N" && code != u"R") {
        addError(
            reply, replyerr::BadRequest,
            QStringLiteral("Searching by the document type \"%1\" is not supported.").arg(code.left(20)));
        return reply;
    }
    if (state != u"T" && state != u"F") {
        addError(reply, replyerr::BadRequest,
                 QStringLiteral("Say \"T\" for confirmed or \"F\" for unconfirmed receipts, not \"%1\".")
                     .arg(conf->left(20)));
        return reply;
    }

    // Confirmed or not, tested on an expression rather than the column: no index serves it and the
    // planner does not judge it by the column's share of nulls. With statistics from before a run of
    // confirmations PostgreSQL took "cnfrmtn_nbr IS NOT NULL" to match almost nothing and walked the
    // whole confirmation-number index for a batch of 20 receipts (4 ms instead of 0.05 ms), and kept
    // that plan until the next ANALYZE.
    const QString stateClause = state == u"T" ? QStringLiteral("(r.cnfrmtn_nbr || '') IS NOT NULL")
                                              : QStringLiteral("(r.cnfrmtn_nbr || '') IS NULL");
    const QString trimmedNumber = number->trimmed();
    const auto value = detail::leadingNumber(trimmedNumber);
    if (!trimmedNumber.isEmpty() && !value)
        return reply; // a number no receipt can have: nothing matches

    std::optional<Transaction> transaction;
    const auto db = detail::beginTransaction(m_database, Transaction::Mode::Read, transaction, reply);
    if (!db)
        return reply;

    QString sql = ReceiptColumns;
    QVariant parameter;
    bool oneBatch = false;
    if (trimmedNumber.isEmpty()) {
        sql += QStringLiteral("WHERE %1 ORDER BY r.dly_rcpt_nbr, r.rcpt_nbr LIMIT ?").arg(stateClause);
        parameter = m_options.searchLimit;
    } else if (code == u"D") {
        sql += QStringLiteral("WHERE r.dly_rcpt_nbr = ? AND %1 ORDER BY r.rcpt_nbr").arg(stateClause);
        parameter = *value;
        oneBatch = true;
    } else if (code == u"A") {
        sql += QStringLiteral(
                   "WHERE r.rcpt_nbr IN (SELECT a.rcpt_nbr FROM rcvbl_aplctn a WHERE a.acct_rcvbl_nbr = ?) "
                   "AND %1 ORDER BY r.dly_rcpt_nbr, r.rcpt_nbr")
                   .arg(stateClause);
        parameter = *value;
    } else if (code == u"N") {
        sql += QStringLiteral("WHERE r.cnfrmtn_nbr = ? AND %1 ORDER BY r.dly_rcpt_nbr, r.rcpt_nbr")
                   .arg(stateClause);
        parameter = detail::sevenDigits(*value);
        oneBatch = true;
    } else {
        sql += QStringLiteral("WHERE r.rcpt_nbr = ? AND %1").arg(stateClause);
        parameter = *value;
    }

    Query receipts(*db, sql);
    if (!receipts.bind(parameter).exec()) {
        detail::addUnavailable(reply, receipts.error());
        return reply;
    }
    DataSet set{receiptFields(), {}};
    while (receipts.next())
        appendReceipt(set, receipts);
    if (set.records.isEmpty())
        return reply;

    if (oneBatch) {
        const qint64 batch = std::get<qint64>(set.value(0, QStringLiteral("DLY_RCPT_NBR")));
        Query confirmation(*db, detail::BatchQuery + QStringLiteral("WHERE dly_rcpt_nbr = ?"));
        if (!confirmation.bind(batch).exec()) {
            detail::addUnavailable(reply, confirmation.error());
            return reply;
        }
        DataSet batchSet = detail::confirmationSet();
        if (confirmation.next())
            detail::appendBatch(batchSet, confirmation);
        reply.dataSets.insert(QStringLiteral("CONFIRMATION"), batchSet);
    }
    reply.dataSets.insert(QStringLiteral("RECEIPT"), set);
    return reply;
}

Reply Service::details(const Request& request)
{
    Reply reply;
    const auto receiptNumber = detail::criterion(request, u"key:RCPT_NBR");
    const auto listed = request.dataSets.constFind(QStringLiteral("RECEIPT"));
    if (!receiptNumber && listed == request.dataSets.cend()) {
        addError(reply, replyerr::BadRequest,
                 QStringLiteral("A detail request needs a receipt number or a list of receipts."));
        return reply;
    }

    QList<qint64> receipts;
    if (receiptNumber) {
        const auto value = detail::leadingNumber(*receiptNumber);
        if (!value) {
            addError(reply, replyerr::NotFound,
                     QStringLiteral("Receipt \"%1\" does not exist.").arg(receiptNumber->left(20)));
            return reply;
        }
        receipts.append(*value);
    } else {
        const int field = listed->fieldIndex(QStringLiteral("FRCPT_NBR"));
        if (field < 0) {
            addError(reply, replyerr::BadRequest,
                     QStringLiteral("The list of receipts has no field FRCPT_NBR."));
            return reply;
        }
        if (listed->records.size() > MaxListedReceipts) {
            addError(
                reply, replyerr::TooLarge,
                QStringLiteral("Ask for the funds of at most %1 receipts at a time.").arg(MaxListedReceipts));
            return reply;
        }
        for (const auto& record : listed->records) {
            const Value& v = record[field];
            if (const auto* text = std::get_if<QString>(&v)) {
                if (const auto n = detail::leadingNumber(*text))
                    receipts.append(*n);
            } else if (const auto* n = std::get_if<qint64>(&v)) {
                receipts.append(*n);
            } else if (const auto* d = std::get_if<double>(&v);
                       d && *d >= 0 && *d < 1e18 && qint64(*d) == *d) {
                receipts.append(qint64(*d));
            }
        }
    }

    std::optional<Transaction> transaction;
    const auto db = detail::beginTransaction(m_database, Transaction::Mode::Read, transaction, reply);
    if (!db)
        return reply;

    DataSet funds{fundFields(), {}};
    if (receiptNumber) {
        Query exists(*db, QStringLiteral("SELECT 1 FROM rcpt WHERE rcpt_nbr = ?"));
        if (!exists.bind(receipts.front()).exec()) {
            detail::addUnavailable(reply, exists.error());
            return reply;
        }
        if (!exists.next()) {
            addError(reply, replyerr::NotFound,
                     QStringLiteral("Receipt %1 does not exist.").arg(receipts.front()));
            return reply;
        }
        Query accounts(
            *db, QStringLiteral(
                     "SELECT ar.cust_name, ar.acct_rcvbl_nbr, ar.acct_rcvbl_ck_nbr, ar.acct_rcvbl_typ_cd, "
                     "a.pymt_apld, ar.assmt_amt, ar.lte_fee_amt, ar.acrd_intrst_amt, ar.acct_rcvbl_bal_amt "
                     "FROM rcvbl_aplctn a JOIN acct_rcvbl ar ON ar.acct_rcvbl_nbr = a.acct_rcvbl_nbr "
                     "WHERE a.rcpt_nbr = ? ORDER BY a.acct_rcvbl_nbr"));
        if (!accounts.bind(receipts.front()).exec()) {
            detail::addUnavailable(reply, accounts.error());
            return reply;
        }
        DataSet set{receivableFields(), {}};
        while (accounts.next()) {
            set.records.append({detail::textOrNull(accounts.value(0)), longOrNull(accounts, 1),
                                detail::textOrNull(accounts.value(2)), detail::textOrNull(accounts.value(3)),
                                moneyOf(accounts, 4), moneyOf(accounts, 5), moneyOf(accounts, 6),
                                moneyOf(accounts, 7), moneyOf(accounts, 8)});
        }
        reply.dataSets.insert(QStringLiteral("ACNTSRCVBL"), set);
    }

    Query fundQuery(*db, FundQuery);
    for (qint64 receipt : std::as_const(receipts)) {
        fundQuery.bind(receipt);
        if (!appendFunds(funds, fundQuery)) {
            detail::addUnavailable(reply, fundQuery.error());
            return reply;
        }
    }
    reply.dataSets.insert(QStringLiteral("FUND"), funds);
    return reply;
}

} // namespace tavro::server
