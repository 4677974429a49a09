// The back end through real WebSocket clients, over a fresh demo store per test (SQLite, or PostgreSQL).

#include "protocol/NumberRules.h"
#include "server/ServiceRole.h"
#include "ServerTestSupport.h"

#include <algorithm>
#include <QFile>
#include <QLocale>
#include <QLoggingCategory>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

using namespace tavro::protocol;
using namespace tavro::server;
using namespace tavro::server::test;
using namespace std::chrono_literals;

namespace {

#ifdef TAVRO_TEST_POSTGRES
constexpr bool Postgres = true;
#else
constexpr bool Postgres = false;
#endif

template <class T> std::optional<T> as(const std::optional<Message>& message)
{
    return message && std::holds_alternative<T>(*message) ? std::optional(std::get<T>(*message))
                                                          : std::nullopt;
}

QString errorCode(const std::optional<Message>& message)
{
    if (const auto error = as<Error>(message))
        return error->code;
    if (const auto reply = as<Reply>(message); reply && !reply->errors.isEmpty())
        return reply->errors.front().code;
    return {};
}

// A column as text: texts as they are, whole numbers in decimal.
QStringList column(const DataSet& set, const QString& name)
{
    QStringList values;
    for (qsizetype i = 0; i < set.records.size(); ++i) {
        const Value v = set.value(i, name);
        const auto* n = std::get_if<qint64>(&v);
        const auto* t = std::get_if<QString>(&v);
        values << (n ? QString::number(*n) : t ? *t : QStringLiteral("<other>"));
    }
    return values;
}

using Cells = QList<std::tuple<QString, FieldType, Value>>;

} // namespace

class TestServer : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<PgCluster> m_cluster;
    DatabaseConfig m_config; // the seeded template every test copies
    int m_copies = 0;
    QString m_seedDump;
    std::unique_ptr<Service> m_service; // over this test's copy
    std::unique_ptr<Server> m_server;

    // Answers straight from the store, by queries of the test's own, to check replies against.
    QStringList sql(const QString& statement, const QVariantList& parameters = {})
    {
        QString error;
        QSqlQuery query(m_service->database().connection(&error).value_or(QSqlDatabase()));
        query.prepare(statement);
        for (const QVariant& p : parameters)
            query.addBindValue(p);
        if (!query.exec())
            return {QStringLiteral("query failed: ") + statement};
        QStringList rows;
        while (query.next())
            rows << (query.isNull(0) ? QStringLiteral("<null>") : query.value(0).toString());
        return rows;
    }
    qint64 sqlNumber(const QString& statement, const QVariantList& parameters = {})
    {
        return sql(statement, parameters).value(0, "-1").toLongLong();
    }

    std::unique_ptr<Client> signedIn(const QString& user = "demo")
    {
        auto client = std::make_unique<Client>(m_server->url());
        return client->login(user, user) ? std::move(client) : nullptr;
    }

    static Request takeRequest() { return request(FormNumber, {{"key:FORM_TYP_CD", "F"}}); }
    QString takeNumber(Client& client)
    {
        const auto reply = as<Reply>(client.exchange(takeRequest()));
        return reply ? column(reply->dataSets.value("REQ"), "F").value(0) : QString();
    }

    // A save of the batch by officer 1234 of TRP01, D01; \a cells come between the batch and the officer.
    static Request save(const QString& action, qint64 batch, const Cells& cells)
    {
        Request r = request(Save);
        DataSet& set = r.dataSets["CONFIRMATION"];
        set.records.append(QList<Value>());
        for (const auto& [name, type, value] :
             Cells{{"ACTION", FieldType::Text, action}, {"DLY_RCPT_NBR", FieldType::Double, double(batch)}} +
                 cells +
                 Cells{{"TRP_ID", FieldType::Text, QStringLiteral("TRP01")},
                       {"TRP_DSTRCT_ID", FieldType::Text, QStringLiteral("D01")},
                       {"CNFRMTN_OFCR_ID", FieldType::Long, qint64(1234)}}) {
            set.fields.append({name, type});
            set.records[0].append(value);
        }
        r.options = {"COMMITANYWAY"};
        return r;
    }
    static Request confirm(qint64 batch, const QString& number, const Value& date)
    {
        return save("UPD", batch,
                    {{"CNFRMTN_NBR", FieldType::Text, number}, {"CNFRMTN_DT", FieldType::Date, date}});
    }
    static Request unconfirm(qint64 batch, const QString& comment)
    {
        return save("UNCONFIRM", batch,
                    {{"CNFRMTN_DT", FieldType::Text, QDate::currentDate().toString("MM-dd-yyyy")},
                     {"DLY_RCPT_CMMT_TXT", FieldType::Text, comment}});
    }

    // Another server on the store of the test, signed in to the store as \a user when one is named.
    std::unique_ptr<Service> sameStore(ServiceOptions options = {}, const QString& user = {})
    {
        DatabaseConfig config = m_service->database().config();
        config.user = user.isEmpty() ? config.user : user;
        return std::make_unique<Service>(config, options);
    }

    qint64 firstBatch(bool confirmed)
    {
        return sqlNumber(QString("SELECT MIN(dly_rcpt_nbr) FROM dly_rcpt WHERE cnfrmtn_nbr IS %1NULL")
                             .arg(confirmed ? "NOT " : ""));
    }

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("tavro.*.info=false")); // only noise here
        QString error;
        if (Postgres) {
            if (!QFile::exists(PgCluster::binaries() + "/pg_ctl"))
                QSKIP(qPrintable("PostgreSQL 15 binaries are not installed in " + PgCluster::binaries()));
            m_cluster = std::make_unique<PgCluster>();
            QVERIFY2(m_cluster->start(&error) && m_cluster->execute("CREATE DATABASE seed", &error),
                     qPrintable(error));
            m_config = m_cluster->config("seed");
        } else {
            m_config = DatabaseConfig::sqlite(m_dir.filePath("seed.db"));
        }
        QVERIFY2(Service(m_config).seedDemo(&error, HashCost::Minimal), qPrintable(error));
    }

    // A fresh copy of the template behind a service and a server, unless the last test left its copy
    // unchanged (copying a PostgreSQL database takes most of a second).
    void init()
    {
        if (m_service && dump(m_service->database()) == m_seedDump)
            return;
        cleanupTestCase();
        QString error;
        DatabaseConfig config = m_config;
        config.name = QStringLiteral("copy%1").arg(++m_copies);
        config.path = m_dir.filePath(config.name + ".db");
        QVERIFY2(Postgres ? m_cluster->execute("CREATE DATABASE " + config.name + " TEMPLATE seed", &error)
                          : QFile::copy(m_config.path, config.path),
                 qPrintable(error));
        m_service = std::make_unique<Service>(config);
        m_seedDump = m_seedDump.isEmpty() ? dump(m_service->database()) : m_seedDump;
        m_server = std::make_unique<Server>(*m_service);
        QVERIFY2(m_server->listen(QHostAddress::LocalHost, 0, &error), qPrintable(error));
    }

    // Copies are dropped at once: a cluster of dozens of databases takes long to remove.
    void cleanupTestCase()
    {
        const bool copied = m_service != nullptr;
        m_server.reset();
        m_service.reset();
        QString error;
        if (copied && m_cluster &&
            !m_cluster->execute(QStringLiteral("DROP DATABASE IF EXISTS copy%1").arg(m_copies), &error))
            qWarning().noquote() << error;
    }

    void shouldServeNothingBeforeSignIn()
    {
        Client client(m_server->url());
        QCOMPARE(errorCode(client.exchange(search("D", "0012301", "T"))), QString(sessionerr::NotSignedIn));
        QCOMPARE(errorCode(client.exchange(ReferenceRequest{})), QString(sessionerr::NotSignedIn));
        QVERIFY(client.login("viewer", "viewer"));
        const auto reference = as<Reference>(client.exchange(ReferenceRequest{}));
        QVERIFY(reference);
        QCOMPARE(reference->codeTables.value("CNFRMDOC").keys(), (QStringList{"A", "D", "N", "R"}));
        QCOMPARE(reference->officers.value(1234), QString("Jane Roe"));
    }

    void searchShouldFindTheMeantReceipts_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("conf");
        QTest::addColumn<QString>("oracle"); // which receipts are meant, by the test's own condition
        QTest::addColumn<bool>("batchRecord");
        // clang-format off
        QTest::newRow("D confirmed, padded type") << "D " << "12301" << "T" << "dly_rcpt_nbr = {n}" << true;
        QTest::newRow("D with check digit") << "D" << "0012330-4" << "F" << "dly_rcpt_nbr = {n}" << true;
        QTest::newRow("D sql") << "D" << "'; DELETE FROM rcpt; --" << "F" << "1 = 0" << false;
        QTest::newRow("N unpadded") << "N" << "1001" << "T" << "cnfrmtn_nbr = '000' || '{n}'" << true;
        QTest::newRow("R asked unconfirmed") << "R" << "1000001" << "F" << "rcpt_nbr = {n}" << false;
        // clang-format on
    }
    void searchShouldFindTheMeantReceipts()
    {
        QFETCH(QString, type);
        QFETCH(QString, number);
        QFETCH(QString, conf);
        QFETCH(QString, oracle);
        QFETCH(bool, batchRecord);
        const auto value = number.section(u'-', 0, 0).toLongLong();
        const QStringList expected =
            sql("SELECT rcpt_nbr FROM rcpt WHERE " + oracle.replace("{n}", QString::number(value)) +
                " AND cnfrmtn_nbr IS " + (conf == "T" ? "NOT NULL" : "NULL") + " ORDER BY 1");
        auto client = signedIn("viewer");
        QVERIFY(client);
        const auto reply = as<Reply>(client->exchange(search(type, number, conf)));
        QVERIFY(reply && reply->errors.isEmpty());
        QCOMPARE(reply->dataSets.contains("RECEIPT"), !expected.isEmpty());
        QCOMPARE(reply->dataSets.contains("CONFIRMATION"), batchRecord);
        QCOMPARE(column(reply->dataSets.value("RECEIPT"), "RCPT_NBR"), expected);
    }

    void receiptDetailShouldListReceivablesAndFunds()
    {
        const QString receipt =
            sql("SELECT rcpt_nbr FROM rcvbl_aplctn GROUP BY rcpt_nbr HAVING COUNT(*) > 1 ORDER BY 1")
                .value(0);
        QVERIFY(!receipt.isEmpty());
        auto client = signedIn("viewer");
        QVERIFY(client);
        const auto reply =
            as<Reply>(client->exchange(request(Details, {{"key:RCPT_NBR", receipt}, {"key:THIN", "Yes"}})));
        QVERIFY(reply && reply->errors.isEmpty());

        const DataSet& accounts = reply->dataSets["ACNTSRCVBL"];
        QCOMPARE(column(accounts, "ACCT_RCVBL_NBR"),
                 sql("SELECT acct_rcvbl_nbr FROM rcvbl_aplctn WHERE rcpt_nbr = ? ORDER BY 1", {receipt}));
        qint64 applied = 0;
        for (qsizetype i = 0; i < accounts.records.size(); ++i)
            applied += std::get<Money>(accounts.value(i, "PYMT_APLD")).units;
        QCOMPARE(applied, sqlNumber("SELECT rcpt_amt FROM rcpt WHERE rcpt_nbr = ?", {receipt}));

        QCOMPARE(column(reply->dataSets["FUND"], "FUND_TYP_CD"),
                 sql("SELECT fund_typ_cd FROM fund WHERE rcpt_nbr = ? ORDER BY fund_seq", {receipt}));
    }

    void saveShouldRefuseWhatBreaksARule_data()
    {
        QTest::addColumn<QString>("batch");  // u(nconfirmed), c(onfirmed) or a number
        QTest::addColumn<QString>("action"); // UPD, UNCONFIRM or anything
        QTest::addColumn<QString>("number"); // fresh, used, or the text sent; an unconfirmation's comment
        QTest::addColumn<int>("days");       // date from today; -99 the day before the latest receipt
        QTest::addColumn<QString>("other");  // a field naming another officer, or viewer
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("text"); // {batch}, {number}, {date} and the like filled in
        // clang-format off
        QTest::newRow("batch already confirmed") << "c" << "UPD" << "fresh" << 0 << "" << replyerr::AlreadyConfirmed << "Daily receipt {batch} is already confirmed (confirmation number {current}).";
        QTest::newRow("batch does not exist") << "7654321" << "UPD" << "fresh" << 0 << "" << replyerr::NotFound << "Daily receipt 7654321 does not exist.";
        QTest::newRow("number never handed out") << "u" << "UPD" << "9999990" << 0 << "" << replyerr::NumberNotIssued << "Confirmation number 9999990 was never handed out. Get a confirmation number first.";
        QTest::newRow("number already used") << "u" << "UPD" << "used" << 0 << "" << replyerr::NumberUsed << "Confirmation number {number} has already been used for daily receipt {usedby}. Get a new confirmation number.";
        QTest::newRow("number missing") << "u" << "UPD" << "" << 0 << "" << replyerr::BadRequest << "The confirmation number is missing.";
        QTest::newRow("wrong check digit") << "u" << "UPD" << "fresh-wrong-check" << 0 << "" << replyerr::BadRequest << "The confirmation number is not valid: The check digit does not match.";
        QTest::newRow("date tomorrow") << "u" << "UPD" << "fresh" << 1 << "" << replyerr::BadDate << "The confirmation date, {date}, is later than today.";
        QTest::newRow("date before the latest receipt") << "u" << "UPD" << "fresh" << -99 << "" << replyerr::BadDate << "The confirmation date, {date}, is earlier than the latest receipt of daily receipt {batch}, dated {latest}.";
        QTest::newRow("another officer") << "u" << "UPD" << "fresh" << 0 << "CNFRMTN_OFCR_ID" << replyerr::OtherOfficer << "The confirmation names another officer; you are signed in as officer 1234.";
        QTest::newRow("another TRP") << "u" << "UPD" << "fresh" << 0 << "TRP_ID" << replyerr::OtherOfficer << "The confirmation names another TRP or district; you are signed in for TRP TRP01, district D01.";
        QTest::newRow("unconfirm an unconfirmed batch") << "u" << "UNCONFIRM" << "Recount" << 0 << "" << replyerr::NotConfirmed << "Daily receipt {batch} is not confirmed, so it cannot be unconfirmed.";
        QTest::newRow("unconfirm without comment") << "c" << "UNCONFIRM" << " \t " << 0 << "" << replyerr::CommentRequired << "An explanation comment is required to unconfirm a batch.";
        QTest::newRow("unconfirm with 255 characters") << "c" << "UNCONFIRM" << QString(255, u'x') << 0 << "" << replyerr::CommentTooLong << "The explanation comment may have at most 254 characters; it has 255.";
        QTest::newRow("read user") << "u" << "UPD" << "fresh" << 0 << "viewer" << replyerr::NotPermitted << "You may search and look at receipts, but not confirm, unconfirm or take confirmation numbers.";
        QTest::newRow("unknown action") << "u" << "DELETE" << "fresh" << 0 << "" << replyerr::BadRequest << "The confirmation record must say UPD or UNCONFIRM.";
        // clang-format on
    }
    void saveShouldRefuseWhatBreaksARule()
    {
        QFETCH(QString, batch);
        QFETCH(QString, action);
        QFETCH(QString, number);
        QFETCH(int, days);
        QFETCH(QString, other);
        QFETCH(QString, code);
        QFETCH(QString, text);
        auto demo = signedIn();
        auto viewer = signedIn("viewer");
        QVERIFY(demo && viewer);
        const qint64 b = batch.size() > 1 ? batch.toLongLong() : firstBatch(batch == "c");
        const QString usedBy =
            sql("SELECT MIN(used_by_batch) FROM form_nbr").value(0).rightJustified(7, u'0');
        if (number.startsWith("fresh")) {
            const QString seven = takeNumber(*demo).rightJustified(7, u'0');
            number = number == "fresh" ? seven : seven + "-" + QString::number((checkDigit(seven) + 1) % 10);
        } else if (number == "used") {
            number = sql("SELECT MIN(form_nbr) FROM form_nbr WHERE used_by_batch = ?", {usedBy.toLongLong()})
                         .value(0)
                         .rightJustified(7, u'0');
        }
        const QDate latest = QDate::fromString(
            sql("SELECT MAX(rcpt_dt) FROM rcpt WHERE dly_rcpt_nbr = ?", {b}).value(0), Qt::ISODate);
        const QDate date = days == -99 ? latest.addDays(-1) : QDate::currentDate().addDays(days);
        Request r = action == "UNCONFIRM" ? unconfirm(b, number) : confirm(b, number, date);
        QList<Value>& cells = r.dataSets["CONFIRMATION"].records[0];
        cells[0] = action;
        if (other != "viewer" && !other.isEmpty())
            cells[r.dataSets["CONFIRMATION"].fieldIndex(other)] =
                other == "TRP_ID" ? Value(QStringLiteral("TRP02")) : Value(qint64(1301));
        const QString before = dump(m_service->database());
        const auto reply = as<Reply>((other == "viewer" ? viewer : demo)->exchange(r));
        QVERIFY(reply && reply->errors.size() == 1);
        QCOMPARE(reply->errors.front().code, code);
        text.replace("{batch}", QString::number(b).rightJustified(7, u'0'))
            .replace("{number}", number)
            .replace("{usedby}", usedBy)
            .replace("{current}",
                     sql("SELECT cnfrmtn_nbr FROM dly_rcpt WHERE dly_rcpt_nbr = ?", {b}).value(0))
            .replace("{date}", QLocale::c().toString(date, "MMMM d, yyyy"))
            .replace("{latest}", QLocale::c().toString(latest, "MMMM d, yyyy"));
        QCOMPARE(reply->errors.front().text, text);
        QVERIFY(reply->dataSets.isEmpty());
        QCOMPARE(dump(m_service->database()), before);
    }

    // Eight officers at once: no number is handed out twice (a request sent by all is taken once), and
    // of eight confirmations of one batch exactly one succeeds, fifty times over.
    void eightClientsAtOnceShouldShareNoNumberAndConfirmABatchOnce()
    {
        std::vector<std::unique_ptr<Client>> clients(8);
        std::ranges::generate(clients, [this] { return signedIn(); });
        QVERIFY(std::ranges::all_of(clients, [](const auto& client) { return client != nullptr; }));
        const Request copy = takeRequest();
        for (auto& client : clients)
            for (int i = 0; i < 201; ++i)
                client->send(i == 0 ? copy : takeRequest());
        QSet<QString> numbers;
        QSet<QByteArray> copyAnswers;
        for (auto& client : clients)
            for (int i = 0; i < 201; ++i) {
                const auto reply = as<Reply>(client->next());
                QVERIFY(reply && reply->errors.isEmpty());
                numbers.insert(column(reply->dataSets["REQ"], "F").value(0));
                copyAnswers.insert(reply->key == copy.key ? encode(*reply) : QByteArray());
            }
        QCOMPARE(copyAnswers.size(), 2);
        QCOMPARE(numbers.size(), 1601);
        QCOMPARE(
            sqlNumber("SELECT COUNT(*) FROM form_nbr WHERE issued_to = 'demo' AND used_by_batch IS NULL"),
            qint64(1601));

        const QStringList batches =
            sql("SELECT dly_rcpt_nbr FROM dly_rcpt WHERE cnfrmtn_nbr IS NULL ORDER BY 1");
        QVERIFY(!batches.isEmpty());
        const QString comment = "Wrong check total.\nRecount %1; 'quotes' and \"more\" stay.";
        for (int round = 0; round < 50; ++round) {
            const qint64 batch = batches[round % batches.size()].toLongLong();
            QStringList held; // every officer holds a number before any save is sent
            for (auto& client : clients)
                held << takeNumber(*client).rightJustified(7, u'0');
            for (int i = 0; i < 8; ++i)
                clients[i]->send(confirm(batch, held[i], QDate::currentDate()));
            int winner = -1;
            for (int i = 0; i < 8; ++i) {
                const auto reply = as<Reply>(clients[i]->next());
                QVERIFY2(reply, "no reply to a save");
                const QString code = reply->errors.isEmpty() ? QString() : reply->errors.front().code;
                QVERIFY2(code.isEmpty() || code == replyerr::AlreadyConfirmed || code == replyerr::Conflict,
                         qPrintable(code));
                if (code.isEmpty()) {
                    QCOMPARE(winner, -1);
                    winner = i;
                    QCOMPARE(column(reply->dataSets["CONFIRMATION"], "CNFRMTN_NBR"), QStringList{held[i]});
                }
            }
            QVERIFY(winner >= 0);
            QCOMPARE(sql("SELECT DISTINCT cnfrmtn_nbr FROM rcpt WHERE dly_rcpt_nbr = ?", {batch}),
                     QStringList{held[winner]});
            const auto undone =
                as<Reply>(clients[winner]->exchange(unconfirm(batch, "  " + comment.arg(round) + "  ")));
            QVERIFY(undone && undone->errors.isEmpty());
            QCOMPARE(sql("SELECT dly_rcpt_cmmt_txt FROM dly_rcpt WHERE dly_rcpt_nbr = ?", {batch}),
                     QStringList{comment.arg(round)});
            QCOMPARE(
                sqlNumber("SELECT COUNT(*) FROM cnfrmtn_audit WHERE dly_rcpt_nbr = ? AND cnfrmtn_nbr = ? "
                          "AND action = 'UNCONFIRM' AND cmmt_txt = ?",
                          {batch, held[winner], comment.arg(round)}),
                qint64(1));
        }
    }

    // Saves racing for one number: exactly one wins, the others are refused and change nothing.
    void savesRacingForANumberShouldLetOneWin_data()
    {
        QTest::addColumn<bool>("oneBatch"); // all for one batch, or each for a batch of its own
        QTest::addColumn<QStringList>("refusals");
        QTest::newRow("eight batches") << false << QStringList{replyerr::NumberUsed};
        QTest::newRow("one batch") << true << QStringList{replyerr::AlreadyConfirmed, replyerr::Conflict};
    }
    void savesRacingForANumberShouldLetOneWin()
    {
        QFETCH(bool, oneBatch);
        QFETCH(QStringList, refusals);
        std::vector<std::unique_ptr<Client>> clients(8);
        std::ranges::generate(clients, [this] { return signedIn(); });
        QVERIFY(std::ranges::all_of(clients, [](const auto& client) { return client != nullptr; }));
        const QStringList open =
            sql("SELECT dly_rcpt_nbr FROM dly_rcpt WHERE cnfrmtn_nbr IS NULL ORDER BY 1");
        QVERIFY(open.size() >= 8);
        for (int round = 0; round < 20; ++round) {
            const QString number = takeNumber(*clients[0]).rightJustified(7, u'0');
            for (int i = 0; i < 8; ++i)
                clients[i]->send(confirm(open[oneBatch ? 0 : i].toLongLong(), number, QDate::currentDate()));
            int winner = -1;
            for (int i = 0; i < 8; ++i) {
                const QString code = errorCode(clients[i]->next());
                QVERIFY2(code.isEmpty() || refusals.contains(code), qPrintable(code));
                if (code.isEmpty()) {
                    QCOMPARE(winner, -1);
                    winner = i;
                }
            }
            QVERIFY(winner >= 0);
            const qint64 batch = open[oneBatch ? 0 : winner].toLongLong();
            QCOMPARE(
                sqlNumber("SELECT used_by_batch FROM form_nbr WHERE form_nbr = ?", {number.toLongLong()}),
                batch);
            QCOMPARE(sql("SELECT dly_rcpt_nbr FROM dly_rcpt WHERE cnfrmtn_nbr = ?", {number}),
                     QStringList{QString::number(batch)});
            QCOMPARE(sqlNumber("SELECT COUNT(*) FROM rcpt WHERE cnfrmtn_nbr = ?", {number}),
                     sqlNumber("SELECT COUNT(*) FROM rcpt WHERE dly_rcpt_nbr = ?", {batch}));
            QCOMPARE(sqlNumber("SELECT COUNT(*) FROM cnfrmtn_audit WHERE cnfrmtn_nbr = ?", {number}),
                     qint64(1));
            const auto undone = as<Reply>(clients[winner]->exchange(unconfirm(batch, "Recount")));
            QVERIFY(undone && undone->errors.isEmpty());
        }
    }

    // The last number is handed out; the one after it is refused and leaves nothing behind.
    void numbersShouldEndAtTheLargest()
    {
        // PostgreSQL takes numbers from a sequence, which a refused request leaves past the last.
        sql(Postgres ? "SELECT setval('form_nbr_seq', 9999999, false)"
                     : "UPDATE nbr_sequence SET next_val = 9999999 WHERE seq_nm = 'FORM_NBR'");
        const auto client = signedIn();
        QVERIFY(client);
        QCOMPARE(takeNumber(*client), QStringLiteral("9999999"));
        for (int refusal = 0; refusal < 2; ++refusal) {
            const auto refused = as<Reply>(client->exchange(takeRequest()));
            QVERIFY(refused);
            QCOMPARE(refused->errors.value(0).text, QStringLiteral("The confirmation numbers are used up."));
            QVERIFY(refused->dataSets.isEmpty());
        }
        QCOMPARE(sqlNumber("SELECT COUNT(*) FROM form_nbr WHERE form_nbr >= 9999999"), qint64(1));
        if (!Postgres)
            QCOMPARE(sqlNumber("SELECT next_val FROM nbr_sequence WHERE seq_nm = 'FORM_NBR'"),
                     qint64(10000000));
    }

    // A change answers with the batch as it left it; a search reads the same batch from the store.
    void saveShouldAnswerWithTheBatchAsStored_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("batchQuery");
        QTest::addColumn<QString>("conf"); // what the batch is afterwards
        QTest::newRow("confirm") << "UPD"
                                 << "WHERE cnfrmtn_nbr IS NULL AND dly_rcpt_cmmt_txt IS NULL"
                                 << "T";
        QTest::newRow("confirm, keeping an earlier comment")
            << "UPD"
            << "WHERE cnfrmtn_nbr IS NULL AND dly_rcpt_cmmt_txt IS NOT NULL"
            << "T";
        QTest::newRow("unconfirm") << "UNCONFIRM"
                                   << "WHERE cnfrmtn_nbr IS NOT NULL"
                                   << "F";
    }
    void saveShouldAnswerWithTheBatchAsStored()
    {
        QFETCH(QString, action);
        QFETCH(QString, batchQuery);
        QFETCH(QString, conf);
        const auto client = signedIn();
        QVERIFY(client);
        const qint64 batch = sqlNumber("SELECT MIN(dly_rcpt_nbr) FROM dly_rcpt " + batchQuery);
        QVERIFY2(batch > 0, "the demo data holds no such batch");
        const auto saved = as<Reply>(
            client->exchange(action == "UPD" ? confirm(batch, takeNumber(*client), QDate::currentDate())
                                             : unconfirm(batch, " Recount ")));
        QVERIFY(saved && saved->errors.isEmpty());
        const auto found = as<Reply>(client->exchange(search("D", QString::number(batch), conf)));
        QVERIFY(found && found->dataSets.contains("CONFIRMATION"));
        Reply answered, stored; // compared as they travel, so that a difference shows
        answered.dataSets.insert("CONFIRMATION", saved->dataSets.value("CONFIRMATION"));
        stored.dataSets.insert("CONFIRMATION", found->dataSets.value("CONFIRMATION"));
        QCOMPARE(QString::fromUtf8(encode(answered)), QString::fromUtf8(encode(stored)));
    }

    void changeSentAgainShouldBeAppliedOnce_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("restart"); // the copy reaches a server started afresh
        QTest::addColumn<QString>("sender");
        QTest::addColumn<bool>("another"); // the key comes again with another request
        QTest::addColumn<int>("applied");
        QTest::newRow("number after a restart") << int(FormNumber) << true << "demo" << false << 1;
        QTest::newRow("number, same key, other user") << int(FormNumber) << false << "jdoe" << false << 2;
        QTest::newRow("number, same key, another request") << int(FormNumber) << false << "demo" << true << 2;
        QTest::newRow("confirmation") << int(Save) << false << "demo" << false << 1;
        QTest::newRow("confirmation after a restart") << int(Save) << true << "demo" << false << 1;
        QTest::newRow("confirmation, same key, another batch") << int(Save) << false << "demo" << true << 2;
    }
    void changeSentAgainShouldBeAppliedOnce()
    {
        QFETCH(int, code);
        QFETCH(bool, restart);
        QFETCH(QString, sender);
        QFETCH(bool, another);
        QFETCH(int, applied);
        QString why;
        Error error;
        QVERIFY(m_service->addUser({"jdoe", Role::Confirm, 1234, {}, "TRP01", "D01"}, "jdoe", &why,
                                   HashCost::Minimal));
        auto server = sameStore();
        const auto demo = server->login("demo", "demo", &error);
        QVERIFY(demo);
        const auto changeOf = [&] {
            const Request number = takeRequest();
            return code == Save ? confirm(firstBatch(false),
                                          column(server->handle(*demo, number).dataSets["REQ"], "F").value(0),
                                          QDate::currentDate())
                                : number;
        };
        const Request change = changeOf();
        const QString count =
            code == Save ? "SELECT COUNT(*) FROM cnfrmtn_audit" : "SELECT COUNT(*) FROM form_nbr";
        const qint64 before = sqlNumber(count);
        const Reply first = server->handle(*demo, change);
        QVERIFY2(first.errors.isEmpty(), qPrintable(first.errors.value(0).text));
        Request copy = change;
        if (another) {
            copy = changeOf();
            copy.key = change.key;
            copy.requester += "2"; // differs from the first even where the change itself does not
        }
        if (restart)
            server = sameStore();
        const Reply second = server->handle(server->login(sender, sender, &error).value(), copy);
        QVERIFY2(second.errors.isEmpty(), qPrintable(second.errors.value(0).text));
        QCOMPARE(second == first, applied == 1);
        QCOMPARE(sqlNumber(count) - before, qint64(applied));
    }

    void signInsShouldBeSlowedThenLocked_data()
    {
        QTest::addColumn<QStringList>("steps"); // "user password answer", or milliseconds to wait
        // clang-format off
        QTest::newRow("a typo costs nothing; a success starts again") << QStringList{"demo x login-failed", "demo demo ok", "demo x login-failed", "demo demo ok"};
        QTest::newRow("slowed after two failures") << QStringList{"demo x login-failed", "demo x login-failed", "demo demo login-slowed", "250", "demo demo ok"};
        QTest::newRow("locked after four, right password too") << QStringList{"demo x login-failed", "demo x login-failed", "250", "demo x login-failed", "450",
            "demo x login-failed", "demo demo login-locked", "1100", "demo demo ok"};
        QTest::newRow("unlocked by hand") << QStringList{"demo x login-failed", "demo x login-failed", "250", "demo x login-failed", "450",
            "demo x login-failed", "demo demo login-locked", "unlock demo", "demo demo ok"};
        QTest::newRow("unknown names count too") << QStringList{"nobody x login-failed", "nobody x login-failed", "nobody x login-slowed", "viewer viewer ok"};
        // clang-format on
    }
    void signInsShouldBeSlowedThenLocked()
    {
        QFETCH(QStringList, steps);
        const auto server = sameStore({.failureDelay = 200ms, .lockAfterFailures = 4, .lockDuration = 1s});
        for (const QString& step : std::as_const(steps)) {
            const QStringList part = step.split(u' ');
            Error error;
            if (part.size() == 1)
                QTest::qSleep(part[0].toInt());
            else if (part[0] == "unlock")
                QCOMPARE(m_service->unlock(part[1], nullptr), std::optional<bool>(true));
            else
                QCOMPARE(server->login(part[0], part[1], &error) ? QString("ok") : error.code, part[2]);
            if (error.code == sessionerr::LoginLocked)
                QVERIFY2(error.text.startsWith(
                             "Signing in as \"demo\" is locked after 4 failed attempts in a row."),
                         qPrintable(error.text));
        }
    }

    void endedSessionShouldBeRefused_data()
    {
        QTest::addColumn<QString>("how"); // revoked here or by another process, or left idle
        QTest::addColumn<int>("checkMs");
        QTest::addColumn<bool>("refused");
        QTest::newRow("revoked here") << "here" << 3600000 << true;
        QTest::newRow("revoked elsewhere, looked for") << "elsewhere" << 0 << true;
        // A session kept in memory costs no read of the store until revocations are looked for.
        QTest::newRow("revoked elsewhere, not yet looked for") << "elsewhere" << 3600000 << false;
        QTest::newRow("idle") << "idle" << 0 << true;
    }
    void endedSessionShouldBeRefused()
    {
        QFETCH(QString, how);
        QFETCH(int, checkMs);
        QFETCH(bool, refused);
        const auto server = sameStore(
            {.idleTimeout = how == "idle" ? 1s : 1h, .revocationCheck = std::chrono::milliseconds(checkMs)});
        Error error;
        QString why;
        const auto session = server->login("demo", "demo", &error);
        QVERIFY(session && server->touch(*session, &error));
        if (how == "idle")
            QTest::qSleep(2100);
        else
            QVERIFY2((how == "here" ? *server : *sameStore()).revoke("demo", &why) >= 1, qPrintable(why));
        QCOMPARE(!server->touch(*session, &error), refused);
        QCOMPARE(error.code, refused ? QString(sessionerr::SessionExpired) : QString());
        // Only a session left idle is said to have ended for want of use.
        QCOMPARE(error.text.contains("after a time without use"), how == "idle");
        QVERIFY(!server->resume(session->token, &error));
    }

    void auditShouldOnlyGrow_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("refusal"); // on PostgreSQL as the service's role
        const QString denied = Postgres ? "permission denied" : "append-only";
        QTest::newRow("update") << "UPDATE cnfrmtn_audit SET cmmt_txt = 'x'" << denied;
        QTest::newRow("delete") << "DELETE FROM cnfrmtn_audit" << denied;
        if (Postgres) {
            QTest::newRow("truncate") << "TRUNCATE cnfrmtn_audit" << denied;
            QTest::newRow("drop the trigger") << "DROP TRIGGER cnfrmtn_audit_no_change ON cnfrmtn_audit"
                                              << "must be owner";
            QTest::newRow("remove a user") << "DELETE FROM app_user" << denied;
            QTest::newRow("hand out numbers again") << "SELECT setval('form_nbr_seq', 1001)" << denied;
        }
    }
    void auditShouldOnlyGrow()
    {
        QFETCH(QString, statement);
        QFETCH(QString, refusal);
        QString why;
        QVERIFY2(grantServiceRole(m_service->database(), DefaultServiceRole, &why), qPrintable(why));
        const auto server = sameStore({}, Postgres ? DefaultServiceRole : "");
        // The role does all the service's work.
        Error error;
        QVERIFY(!server->login("demo", "x", &error));
        const auto demo = server->login("demo", "demo", &error);
        QVERIFY2(demo && server->touch(*demo, &error), qPrintable(error.text));
        const qint64 batch = firstBatch(false);
        const QString seven = column(server->handle(*demo, takeRequest()).dataSets["REQ"], "F").value(0);
        for (const Request& change :
             {confirm(batch, seven, QDate::currentDate()), unconfirm(batch, "Recount"),
              search("D", QString::number(batch), "F")}) {
            const Reply reply = server->handle(*demo, change);
            QVERIFY2(reply.errors.isEmpty(), qPrintable(reply.errors.value(0).text));
        }
        QVERIFY(server->revoke("demo", &why) >= 1);
        QSqlQuery query(server->database().connection(&why).value());
        QVERIFY(!query.exec(statement));
        QVERIFY2(query.lastError().text().contains(refusal), qPrintable(query.lastError().text()));
    }

    void hostileFramesShouldEachGetAnErrorAndChangeNothing()
    {
        auto client = signedIn();
        QVERIFY(client);
        const QString before = dump(m_service->database());
        const QString ping = R"({"type":"ping","key":%1})";
        const QString head =
            R"({"type":"request","key":"H","requester":"R","userId":"demo","version":"5.1","requestCode":%1)";
        const QString field =
            R"(,"dataSets":{"CONFIRMATION":{"fields":[{"name":"%1","type":"%2"}],"records":[[%3]]}})";
        // clang-format off
        QStringList frames = {"", " ", "{", "[]", "null", "42", R"("request")", R"({"type":"request",)", "{'type':'ping'}",
            R"({"type":"ping",})", R"({type:"ping"})", R"({"type":"ping"} trailing)", R"({"type":"ping"}{"type":"ping"})",
            R"({"type":"\u0000"})", R"({"type":"PING"})", R"({"type":"login"})", R"({"type":"reply","key":"x","requester":"y"})",
            R"({"type":"error","code":"c","text":"t"})", R"({"type":"reference","extra":1})", QString(2000, u'['),
            QString(2000, u'{'), ping.arg(QString(5000, u'[') + QString(5000, u']'))};
        for (const char* key : {R"("a\u0000b")", R"("\ud800")", R"("\udc00\ud800")", R"("\x41")", "1e999", "-", ".5", "01",
                                "NaN", "Infinity", "true", "[]"})
            frames << ping.arg(key);
        for (const char* code : {"0", "-1", "62", "64", "70", "89", "91", "63.5", R"("63")", "null", "true", "[63]", "{}",
                                 "1e3", "9223372036854775808", "-9223372036854775809", "99999999999999999999999999"})
            frames << head.arg(code) + "}";
        const QStringList wrongMembers = {R"(,"criteria":{})", R"(,"criteria":[1])", R"(,"criteria":[null])",
            R"(,"criteria":[{"systemName":"KESTROVA","key":"key:DOC_NBR","operator":"="}])",
            R"(,"criteria":[{"systemName":"KESTROVA","key":"key:DOC_NBR","operator":"=","value":12301}])",
            R"(,"criteria":[{"systemName":1,"key":"key:DOC_NBR","operator":"=","value":"1"}])",
            R"(,"dataSets":[])", R"(,"dataSets":{"CONFIRMATION":[]})", R"(,"dataSets":{"CONFIRMATION":{"fields":[],"records":[[]]}})",
            field.arg("ACTION", "text", "1"), field.arg("ACTION", "text", R"("UPD","x")"), field.arg("ACTION", "varchar", R"("UPD")"),
            field.arg("X", "currency", R"("1.23456")"), field.arg("X", "currency", R"("1e400")"), field.arg("X", "date", R"("2005-13-01")"),
            field.arg("X", "long", "1.5"), field.arg("X", "long", "123456789012345678901234567890"), field.arg("X", "double", R"("1")"),
            field.arg("X", "bool", "0"), R"(,"options":"COMMITANYWAY")", R"(,"options":[null])"};
        for (const QString& member : wrongMembers)
            for (const char* code : {"63", "69", "72", "90"})
                frames << head.arg(code) + member + "}";
        // SQL and other metacharacters in every criterion of every request kind, and in the action, the batch
        // (as text) and the TRP of an unconfirmation.
        for (const QString& value : QStringList{"'", "'; DROP TABLE rcpt; --", R"(" OR ""=")", "1' OR '1'='1", "%", "_", "\\", "$1", "?",
                 ":name", "*/ /*", "\u202e\u0301", "0x41", "NULL", "\t", "\r\n", "%00", "\U0001F600", QString(300, u'9')}) {
            QList<Request> requests = {search(value, "1", "F"), search("D", "1", value), request(FormNumber, {{"key:FORM_TYP_CD", value}}),
                                       request(Details, {{"key:RCPT_NBR", value}}), confirm(firstBatch(false), value, QDate::currentDate())};
            for (const int field : {0, 1, 4}) {
                requests << unconfirm(firstBatch(true), "x");
                requests.last().dataSets["CONFIRMATION"].fields[field].type = FieldType::Text;
                requests.last().dataSets["CONFIRMATION"].records[0][field] = value;
            }
            for (const Request& r : std::as_const(requests))
                frames << QString::fromUtf8(encode(r));
        }
        // clang-format on
        QVERIFY2(frames.size() >= 250, qPrintable(QString::number(frames.size())));
        for (const QString& frame : std::as_const(frames)) {
            client->sendText(frame);
            const auto answer = client->next();
            QVERIFY2(answer && !errorCode(answer).isEmpty(), qPrintable("no error for " + frame.left(200)));
        }
        client->sendBinary(R"({"type":"ping"})");
        QCOMPARE(errorCode(client->next()), QString("binary-frame"));
        client->sendText(ping.arg(u'"' + QString(MaxFrameBytes, u'x') + u'"'));
        QCOMPARE(errorCode(client->next(30000)), QString(errc::TooLarge));

        QVERIFY(as<Reply>(client->exchange(search("D", "0012301", "T")))->dataSets.contains("RECEIPT"));
        QCOMPARE(dump(m_service->database()), before);
    }
};

QTEST_GUILESS_MAIN(TestServer)
#include "tst_server.moc"
