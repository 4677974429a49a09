// Demo and benchmark data. Both are deterministic: the same call gives the same store.

#include "protocol/NumberRules.h"
#include "server/Service.h"
#include "server/ServiceSupport.h"

#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>

namespace tavro::server {

using detail::fail;

namespace {

struct Officer
{
    qint32 id;
    const char* name;
};

constexpr Officer DemoOfficers[] = {{1234, "Jane Roe"},     {1301, "Marcus Hale"},
                                    {1410, "Priya Nair"},   {1522, "Tomas Lindqvist"},
                                    {1605, "Grace Okafor"}, {1777, "Samuel Ortiz"}};

constexpr const char* Customers[] = {
    "Abernathy Hardware LLC", "Blue Heron Bakery",     "Castillo, Maria",       "Delgado Trucking Inc",
    "Evergreen Dental Group", "Fitzgerald, Thomas J",  "Granite State Roofing", "Harbor View Marina",
    "Iverson, Linda K",       "Juniper Street Cafe",   "Kowalski & Sons",       "Lakeside Veterinary",
    "Morrison, Alan",         "Northwind Logistics",   "Okonkwo, Chidi",        "Pinecrest Apartments",
    "Quarry Hill Stone Co",   "Riverside Auto Repair", "Sato, Kenji",           "Thornton Family Farm",
    "Union Mills Textiles",   "Valley Print Shop",     "Whitaker, Sarah E",     "Yellowstone Outfitters",
};

constexpr const char* ReceivableTypes[] = {"I", "B", "S", "W", "P"};

constexpr qint64 Units = 10000; // ten-thousandths in one currency unit

/// Inserts with prepared statements inside the caller's transaction.
class Writer
{
public:
    explicit Writer(const QSqlDatabase& db)
        : batch(db,
                QStringLiteral("INSERT INTO dly_rcpt (dly_rcpt_nbr, dly_rcpt_dt, trp_id, trp_dstrct_id, "
                               "entr_ofcr_id, cnfrmtn_nbr, cnfrmtn_dt, cnfrmtn_ofcr_id, dly_rcpt_cmmt_txt) "
                               "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)")),
          receipt(db,
                  QStringLiteral("INSERT INTO rcpt (rcpt_nbr, dly_rcpt_nbr, rcpt_dt, rcpt_amt, cnfrmtn_nbr, "
                                 "iss_ofcr_id, entr_ofcr_id) VALUES (?, ?, ?, ?, ?, ?, ?)")),
          fund(db,
               QStringLiteral("INSERT INTO fund (rcpt_nbr, fund_seq, fund_typ_cd, fund_rfrnc_nbr, fund_amt, "
                              "fund_desc, exprtn_mo_dt, exprtn_dy_dt, exprtn_yr_dt) "
                              "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)")),
          receivable(db, QStringLiteral(
                             "INSERT INTO acct_rcvbl (acct_rcvbl_nbr, acct_rcvbl_ck_nbr, acct_rcvbl_typ_cd, "
                             "cust_name, assmt_amt, lte_fee_amt, acrd_intrst_amt, acct_rcvbl_bal_amt) "
                             "VALUES (?, ?, ?, ?, ?, ?, ?, ?)")),
          application(db, QStringLiteral("INSERT INTO rcvbl_aplctn (rcpt_nbr, acct_rcvbl_nbr, pymt_apld) "
                                         "VALUES (?, ?, ?)")),
          formNumber(db, QStringLiteral("INSERT INTO form_nbr (form_nbr, form_typ_cd, issued_to, issued_at, "
                                        "used_by_batch) VALUES (?, 'F', ?, ?, ?)")),
          audit(db,
                QStringLiteral("INSERT INTO cnfrmtn_audit (action, user_id, ofcr_id, trp_id, trp_dstrct_id, "
                               "recorded_at, dly_rcpt_nbr, cnfrmtn_nbr, cnfrmtn_dt, cmmt_txt, rcpt_count, "
                               "total_amt) VALUES (?, ?, ?, 'TRP01', 'D01', ?, ?, ?, ?, ?, ?, ?)"))
    {
    }

    Query batch;
    Query receipt;
    Query fund;
    Query receivable;
    Query application;
    Query formNumber;
    Query audit;

    QString firstError() const
    {
        for (const Query* q : {&batch, &receipt, &fund, &receivable, &application, &formNumber, &audit}) {
            if (!q->error().isEmpty())
                return q->error();
        }
        return QStringLiteral("unknown failure");
    }
};

QVariant nullText()
{
    return QVariant(QMetaType::fromType<QString>());
}

QVariant nullInt()
{
    return QVariant(QMetaType::fromType<qint32>());
}

QVariant nullDate()
{
    return QVariant(QMetaType::fromType<QDate>());
}

qint64 amountBetween(QRandomGenerator& random, int lowUnits, int highUnits)
{
    // Whole cents, as amounts are taken at a counter.
    return qint64(random.bounded(lowUnits * 100, highUnits * 100)) * (Units / 100);
}

} // namespace

bool Service::seedDemo(QString* error, HashCost cost)
{
    if (!initialize(error))
        return false;
    const auto db = m_database.connection(error);
    if (!db)
        return false;
    {
        Query existing(*db, QStringLiteral("SELECT COUNT(*) FROM dly_rcpt"));
        if (!existing.exec() || !existing.next())
            return fail(error, existing.error());
        if (toInteger(existing.value(0)) > 0) {
            qCInfo(lcService) << "The store already holds daily receipts; no demo data added";
            return true;
        }
    }

    Transaction transaction(*db, m_database, Transaction::Mode::Write);
    if (!transaction.begin(error))
        return false;
    Query officer(*db, QStringLiteral("INSERT INTO officer (ofcr_id, ofcr_name) VALUES (?, ?)"));
    for (const Officer& o : DemoOfficers) {
        if (!officer.bind(o.id).bind(QString::fromUtf8(o.name)).exec())
            return fail(error, officer.error());
    }

    QRandomGenerator random(20050126);
    Writer w(*db);

    // Receivables: ten-digit numbers with their check digit.
    QList<qint64> receivables;
    for (int i = 0; i < 48; ++i) {
        const qint64 number = 4100000000LL + qint64(i) * 7919 * 13;
        const qint64 assessment = amountBetween(random, 80, 6000);
        const qint64 lateFee = i % 3 == 0 ? amountBetween(random, 10, 150) : 0;
        const qint64 interest = i % 2 == 0 ? amountBetween(random, 1, 90) : 0;
        const qint64 balance = (assessment + lateFee + interest) / (1 + i % 4);
        w.receivable.bind(number).bind(QString::number(protocol::checkDigit(QString::number(number))));
        w.receivable.bind(QString::fromLatin1(ReceivableTypes[i % std::size(ReceivableTypes)]));
        w.receivable.bind(QString::fromUtf8(Customers[i % std::size(Customers)]));
        if (!w.receivable.bind(assessment).bind(lateFee).bind(interest).bind(balance).exec())
            return fail(error, w.firstError());
        receivables.append(number);
    }

    // Daily batches on working days from early January 2005; the first two thirds confirmed.
    constexpr int Batches = 36;
    QDate day(2005, 1, 3);
    qint64 receiptNumber = 1000001;
    qint64 formNumber = 1001;
    for (int b = 0; b < Batches; ++b) {
        while (day.dayOfWeek() > 5)
            day = day.addDays(1);
        const qint64 batchNumber = 12301 + b;
        const Officer& enterer = DemoOfficers[b % std::size(DemoOfficers)];
        const bool confirmed = b < Batches * 2 / 3;
        const bool reconfirmed = confirmed && b % 5 == 2; // unconfirmed once, then confirmed again
        const bool wasUnconfirmed = !confirmed && b % 3 == 0;
        // A batch unconfirmed once used up the number of its first confirmation.
        const qint64 earlier = reconfirmed || wasUnconfirmed ? formNumber++ : 0;
        const qint64 lastNumber = confirmed ? formNumber++ : 0;
        const QString number = confirmed ? detail::sevenDigits(lastNumber) : QString();
        const QDate confirmDate = day.addDays(1 + b % 3);
        QString comment;
        if (reconfirmed)
            comment = QStringLiteral("Check amount corrected after the bank's notice of %1.")
                          .arg(day.toString(Qt::ISODate));
        else if (wasUnconfirmed)
            comment =
                QStringLiteral("Cash count short by a few dollars; batch reopened for recount.\nSee the "
                               "supervisor's note.");

        w.batch.bind(batchNumber)
            .bind(day)
            .bind(QStringLiteral("TRP01"))
            .bind(QStringLiteral("D01"))
            .bind(enterer.id);
        w.batch.bind(confirmed ? QVariant(number) : nullText());
        w.batch.bind(confirmed ? QVariant(confirmDate) : nullDate())
            .bind(confirmed ? QVariant(1234) : nullInt());
        if (!w.batch.bind(comment.isEmpty() ? nullText() : QVariant(comment)).exec())
            return fail(error, w.firstError());

        const int count = 5 + random.bounded(46);
        qint64 batchTotal = 0;
        for (int r = 0; r < count; ++r, ++receiptNumber) {
            const QDate receiptDate = day.addDays(-random.bounded(3));
            const Officer& issuer = DemoOfficers[random.bounded(int(std::size(DemoOfficers)))];
            // Funds: mostly checks and cash, some credit cards, now and then an overage adjustment.
            struct FundRow
            {
                QString type;
                QVariant reference, description, month, dayOfMonth, year;
                qint64 amount;
            };
            QList<FundRow> funds;
            const int fundCount = 1 + random.bounded(3);
            qint64 receiptTotal = 0;
            for (int f = 0; f < fundCount; ++f) {
                const int kind = random.bounded(10);
                FundRow row{QStringLiteral("K"),
                            QString::number(1000 + random.bounded(90000)),
                            QStringLiteral("Personal check"),
                            nullText(),
                            nullText(),
                            nullText(),
                            amountBetween(random, 15, 2500)};
                if (kind >= 5 && kind < 8) {
                    row = {QStringLiteral("C"), nullText(), QStringLiteral("Cash"),       nullText(),
                           nullText(),          nullText(), amountBetween(random, 5, 400)};
                } else if (kind == 8) {
                    row = {QStringLiteral("R"),
                           QStringLiteral("XXXX-XXXX-XXXX-%1").arg(1000 + random.bounded(9000)),
                           QStringLiteral("Credit card"),
                           QStringLiteral("%1").arg(1 + random.bounded(12), 2, 10, QChar(u'0')),
                           QStringLiteral("%1").arg(1 + random.bounded(28), 2, 10, QChar(u'0')),
                           QString::number(2005 + random.bounded(4)),
                           amountBetween(random, 10, 900)};
                } else if (kind == 9 && f > 0) {
                    row = {QStringLiteral("X"), nullText(), QStringLiteral("Overage adjustment"), nullText(),
                           nullText(),          nullText(), amountBetween(random, 1, 20)};
                }
                receiptTotal += row.amount;
                funds.append(row);
            }
            batchTotal += receiptTotal;
            w.receipt.bind(receiptNumber).bind(batchNumber).bind(receiptDate).bind(receiptTotal);
            w.receipt.bind(confirmed ? QVariant(number) : nullText()).bind(issuer.id);
            if (!w.receipt.bind(enterer.id).exec())
                return fail(error, w.firstError());
            int seq = 1;
            for (const FundRow& row : std::as_const(funds)) {
                w.fund.bind(receiptNumber).bind(seq++).bind(row.type).bind(row.reference).bind(row.amount);
                if (!w.fund.bind(row.description).bind(row.month).bind(row.dayOfMonth).bind(row.year).exec())
                    return fail(error, w.firstError());
            }

            // The payment goes to one receivable, or is split over two.
            const qint64 first = receivables[random.bounded(int(receivables.size()))];
            qint64 second = receivables[random.bounded(int(receivables.size()))];
            const bool split = random.bounded(4) == 0 && second != first;
            const qint64 firstPart = split ? receiptTotal / 2 : receiptTotal;
            if (!w.application.bind(receiptNumber).bind(first).bind(firstPart).exec())
                return fail(error, w.firstError());
            if (split &&
                !w.application.bind(receiptNumber).bind(second).bind(receiptTotal - firstPart).exec())
                return fail(error, w.firstError());
        }

        // Numbers handed out for this batch, and the audit of what happened to it.
        auto record = [&](const char* action, qint64 nbr, const QDate& date, const QVariant& text) {
            w.audit.bind(QString::fromLatin1(action)).bind(QStringLiteral("demo")).bind(1234);
            w.audit.bind(QDateTime(date, QTime(16, 30), Qt::UTC)).bind(batchNumber);
            w.audit.bind(detail::sevenDigits(nbr)).bind(date).bind(text).bind(count).bind(batchTotal);
            return w.audit.exec();
        };
        auto issue = [&](qint64 nbr, const QDate& date) {
            w.formNumber.bind(nbr).bind(QStringLiteral("demo")).bind(QDateTime(date, QTime(16, 0), Qt::UTC));
            return w.formNumber.bind(batchNumber).exec();
        };
        if (earlier && (!issue(earlier, confirmDate) || !record("UPD", earlier, confirmDate, nullText()) ||
                        !record("UNCONFIRM", earlier, confirmDate, comment)))
            return fail(error, w.firstError());
        if (lastNumber &&
            (!issue(lastNumber, confirmDate) || !record("UPD", lastNumber, confirmDate, nullText())))
            return fail(error, w.firstError());
        day = day.addDays(1);
    }

    // The next number to hand out: PostgreSQL takes it from a sequence, SQLite from a row.
    Query sequence(*db,
                   m_database.dialect() == Dialect::Postgres
                       ? QStringLiteral("SELECT setval('form_nbr_seq', ?, false)")
                       : QStringLiteral("UPDATE nbr_sequence SET next_val = ? WHERE seq_nm = 'FORM_NBR'"));
    if (!sequence.bind(formNumber).exec())
        return fail(error, sequence.error());
    if (!transaction.commit(error))
        return false;

    const NewUser demo{QStringLiteral("demo"),  Role::Confirm,        1234, QString(),
                       QStringLiteral("TRP01"), QStringLiteral("D01")};
    const NewUser viewer{QStringLiteral("viewer"), Role::Read,           1301, QString(),
                         QStringLiteral("TRP01"),  QStringLiteral("D01")};
    if (!addUser(demo, QStringLiteral("demo"), error, cost) ||
        !addUser(viewer, QStringLiteral("viewer"), error, cost))
        return false;
    qCInfo(lcService).noquote() << "Demo data loaded:" << Batches << "daily receipts,"
                                << receiptNumber - 1000001
                                << "receipts; users demo (confirm) and viewer (read)";
    return true;
}

bool Service::generate(int batches, int receiptsPerBatch, QString* error)
{
    if (batches <= 0 || receiptsPerBatch <= 0)
        return fail(error, QStringLiteral("--generate needs a positive number of batches and of receipts"));
    if (!initialize(error))
        return false;
    const auto db = m_database.connection(error);
    if (!db)
        return false;
    Transaction transaction(*db, m_database, Transaction::Mode::Write);
    if (!transaction.begin(error))
        return false;

    Query maxima(*db, QStringLiteral("SELECT (SELECT COALESCE(MAX(dly_rcpt_nbr), 0) FROM dly_rcpt), "
                                     "(SELECT COALESCE(MAX(rcpt_nbr), 0) FROM rcpt), "
                                     "(SELECT COALESCE(MAX(acct_rcvbl_nbr), 0) FROM acct_rcvbl)"));
    if (!maxima.exec() || !maxima.next())
        return fail(error, maxima.error());
    const qint64 firstBatch = std::max<qint64>(toInteger(maxima.value(0)) + 1, 2000001);
    qint64 receiptNumber = std::max<qint64>(toInteger(maxima.value(1)) + 1, 5000001);
    const qint64 firstReceivable = std::max<qint64>(toInteger(maxima.value(2)) + 1, 7000000000LL);
    maxima.finish();
    if (firstBatch + batches - 1 > 9999999)
        return fail(error,
                    QStringLiteral("Daily receipt numbers have seven digits; %1 more batches do not fit")
                        .arg(batches));

    constexpr qint32 BenchOfficer = 9000;
    Query officer(*db, QStringLiteral("SELECT 1 FROM officer WHERE ofcr_id = ?"));
    if (!officer.bind(BenchOfficer).exec())
        return fail(error, officer.error());
    if (!officer.next()) {
        Query insert(
            *db, QStringLiteral("INSERT INTO officer (ofcr_id, ofcr_name) VALUES (?, 'Benchmark Officer')"));
        if (!insert.bind(BenchOfficer).exec())
            return fail(error, insert.error());
    }
    officer.finish();

    Writer w(*db);
    constexpr int Receivables = 1000;
    QRandomGenerator random(quint32(batches) * 7919u + quint32(receiptsPerBatch));
    for (int i = 0; i < Receivables; ++i) {
        const qint64 number = firstReceivable + i;
        w.receivable.bind(number).bind(QString::number(protocol::checkDigit(QString::number(number))));
        w.receivable.bind(QString::fromLatin1(ReceivableTypes[i % std::size(ReceivableTypes)]));
        w.receivable.bind(QString::fromUtf8(Customers[i % std::size(Customers)]));
        const qint64 assessment = amountBetween(random, 50, 5000);
        if (!w.receivable.bind(assessment).bind(0).bind(0).bind(assessment).exec())
            return fail(error, w.firstError());
    }

    const QDate start(2006, 1, 2);
    for (int b = 0; b < batches; ++b) {
        const qint64 batchNumber = firstBatch + b;
        const QDate day = start.addDays(b / 20);
        w.batch.bind(batchNumber).bind(day).bind(QStringLiteral("TRP01")).bind(QStringLiteral("D01"));
        w.batch.bind(BenchOfficer).bind(nullText()).bind(nullDate()).bind(nullInt()).bind(nullText());
        if (!w.batch.exec())
            return fail(error, w.firstError());
        for (int r = 0; r < receiptsPerBatch; ++r, ++receiptNumber) {
            const qint64 check = amountBetween(random, 20, 2000);
            const qint64 cash = amountBetween(random, 5, 200);
            const qint64 card = amountBetween(random, 10, 900);
            const qint64 total = check + cash + card;
            w.receipt.bind(receiptNumber).bind(batchNumber).bind(day).bind(total).bind(nullText());
            if (!w.receipt.bind(BenchOfficer).bind(BenchOfficer).exec())
                return fail(error, w.firstError());
            const std::tuple<const char*, QVariant, qint64, QVariant, QVariant, QVariant> funds[] = {
                {"K", QString::number(100000 + r), check, nullText(), nullText(), nullText()},
                {"C", nullText(), cash, nullText(), nullText(), nullText()},
                {"R", QStringLiteral("XXXX-XXXX-XXXX-4242"), card, QStringLiteral("12"), QStringLiteral("31"),
                 QStringLiteral("2009")}};
            int seq = 1;
            for (const auto& [type, reference, amount, month, dayOfMonth, year] : funds) {
                w.fund.bind(receiptNumber)
                    .bind(seq++)
                    .bind(QString::fromLatin1(type))
                    .bind(reference)
                    .bind(amount);
                if (!w.fund.bind(nullText()).bind(month).bind(dayOfMonth).bind(year).exec())
                    return fail(error, w.firstError());
            }
            if (!w.application.bind(receiptNumber)
                     .bind(firstReceivable + random.bounded(Receivables))
                     .bind(total)
                     .exec())
                return fail(error, w.firstError());
        }
    }
    if (!transaction.commit(error))
        return false;
    // The planner's statistics, as after any bulk load: until autovacuum gets to it, a store just
    // generated would be searched with plans made for empty tables.
    // Not a kept statement: PostgreSQL cannot prepare ANALYZE.
    if (QSqlQuery analyze(*db); !analyze.exec(QStringLiteral("ANALYZE")))
        return fail(error, analyze.lastError().text());
    qCInfo(lcService).noquote() << "Generated" << batches << "daily receipts of" << receiptsPerBatch
                                << "receipts, numbered from" << detail::sevenDigits(firstBatch);
    return true;
}

} // namespace tavro::server
