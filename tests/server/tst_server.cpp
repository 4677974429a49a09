// The back end through its real protocol: a server on 127.0.0.1:0 over a fresh copy of the demo
// store for every test, and real WebSocket clients. Built twice: on SQLite, and (with
// TAVRO_TEST_POSTGRES) on a throw-away PostgreSQL cluster.

#include "protocol/NumberRules.h"
#include "ServerTestSupport.h"

#include <QLocale>
#include <QLoggingCategory>
#include <QSet>
#include <QSqlQuery>
#include <QTest>

using namespace tavro::protocol;
using namespace tavro::server;
using namespace tavro::server::test;

Q_DECLARE_METATYPE(tavro::protocol::Message)

namespace {

#ifdef TAVRO_TEST_POSTGRES
constexpr Backend::Kind Kind = Backend::Kind::Postgres;
#else
constexpr Backend::Kind Kind = Backend::Kind::Sqlite;
#endif

constexpr int SearchLimit = 40;

template <class T> std::optional<T> as(const std::optional<Message>& message)
{
    if (!message || !std::holds_alternative<T>(*message))
        return std::nullopt;
    return std::get<T>(*message);
}

QString errorCode(const std::optional<Message>& message)
{
    if (const auto error = as<Error>(message))
        return error->code;
    if (const auto reply = as<Reply>(message); reply && !reply->errors.isEmpty())
        return reply->errors.front().code;
    return {};
}

QStringList fieldNames(const DataSet& set)
{
    QStringList names;
    for (const Field& field : set.fields)
        names << field.name + u':' + fieldTypeName(field.type);
    return names;
}

QString text(const Value& value)
{
    if (const auto* s = std::get_if<QString>(&value))
        return *s;
    if (const auto* n = std::get_if<qint64>(&value))
        return QString::number(*n);
    if (const auto* m = std::get_if<Money>(&value))
        return moneyToText(*m);
    if (const auto* d = std::get_if<QDate>(&value))
        return d->toString(Qt::ISODate);
    return std::holds_alternative<std::monostate>(value) ? QStringLiteral("<null>")
                                                         : QStringLiteral("<other>");
}

QStringList column(const DataSet& set, const QString& name)
{
    QStringList values;
    for (qsizetype i = 0; i < set.records.size(); ++i)
        values << text(set.value(i, name));
    return values;
}

} // namespace

class TestServer : public QObject
{
    Q_OBJECT

    Backend m_backend{Kind};

    // Answers straight from the store, by queries of the test's own, to check replies against.
    QStringList sql(const QString& statement, const QVariantList& parameters = {})
    {
        QString error;
        const auto db = m_backend.service().database().connection(&error);
        if (!db)
            return {QStringLiteral("no connection: ") + error};
        QSqlQuery query(*db);
        query.prepare(statement);
        for (const QVariant& p : parameters)
            query.addBindValue(p);
        if (!query.exec())
            return {QStringLiteral("query failed: ") + statement};
        QStringList rows;
        while (query.next()) {
            const QVariant v = query.value(0);
            rows << (v.isNull()                              ? QStringLiteral("<null>")
                     : v.metaType().id() == QMetaType::QDate ? v.toDate().toString(Qt::ISODate)
                                                             : v.toString());
        }
        return rows;
    }
    qint64 sqlNumber(const QString& statement, const QVariantList& parameters = {})
    {
        const QStringList rows = sql(statement, parameters);
        return rows.isEmpty() ? -1 : rows.front().toLongLong();
    }

    std::unique_ptr<Client> signedIn(const QString& user = QStringLiteral("demo"))
    {
        auto client = std::make_unique<Client>(m_backend.url());
        if (!client->login(user, user))
            return nullptr;
        return client;
    }

    std::optional<Reply> ask(Client& client, const Request& request)
    {
        return as<Reply>(client.exchange(request));
    }

    qint64 takeNumber(Client& client)
    {
        const auto reply =
            ask(client, request(FormNumber, {{QStringLiteral("key:FORM_TYP_CD"), QStringLiteral("F")}}));
        if (!reply || !reply->errors.isEmpty() || !reply->dataSets.contains(QStringLiteral("REQ")))
            return -1;
        const Value v = reply->dataSets[QStringLiteral("REQ")].value(0, QStringLiteral("F"));
        return std::holds_alternative<qint64>(v) ? std::get<qint64>(v) : -1;
    }

    Request save(const QList<Cell>& cells)
    {
        Request r = request(Save);
        r.dataSets.insert(QStringLiteral("CONFIRMATION"), record(cells));
        r.options = {QStringLiteral("COMMITANYWAY")};
        return r;
    }

    Request confirm(qint64 batch, const QString& number, const Value& date)
    {
        return save({{"ACTION", FieldType::Text, QStringLiteral("UPD")},
                     {"DLY_RCPT_NBR", FieldType::Double, double(batch)},
                     {"CNFRMTN_NBR", FieldType::Text, number},
                     {"CNFRMTN_DT", FieldType::Date, date},
                     {"TRP_ID", FieldType::Text, QStringLiteral("TRP01")},
                     {"TRP_DSTRCT_ID", FieldType::Text, QStringLiteral("D01")},
                     {"CNFRMTN_OFCR_ID", FieldType::Long, qint64(1234)}});
    }

    Request unconfirm(qint64 batch, const QString& comment)
    {
        return save(
            {{"ACTION", FieldType::Text, QStringLiteral("UNCONFIRM")},
             {"DLY_RCPT_NBR", FieldType::Double, double(batch)},
             {"CNFRMTN_DT", FieldType::Text, QDate::currentDate().toString(QStringLiteral("MM-dd-yyyy"))},
             {"DLY_RCPT_CMMT_TXT", FieldType::Text, comment},
             {"TRP_ID", FieldType::Text, QStringLiteral("TRP01")},
             {"TRP_DSTRCT_ID", FieldType::Text, QStringLiteral("D01")},
             {"CNFRMTN_OFCR_ID", FieldType::Long, qint64(1234)}});
    }

    qint64 unconfirmedBatch()
    {
        return sqlNumber("SELECT MIN(dly_rcpt_nbr) FROM dly_rcpt WHERE cnfrmtn_nbr IS NULL");
    }
    qint64 confirmedBatch()
    {
        return sqlNumber("SELECT MIN(dly_rcpt_nbr) FROM dly_rcpt WHERE cnfrmtn_nbr IS NOT NULL");
    }

private slots:
    void initTestCase()
    {
        // Sign-ins and connections are logged as they happen; here that is only noise.
        QLoggingCategory::setFilterRules(QStringLiteral("tavro.*.info=false"));
        QString error;
        QString skip;
        if (!m_backend.prepare(&error, &skip)) {
            if (!skip.isEmpty())
                QSKIP(qPrintable(skip));
            QFAIL(qPrintable(error));
        }
    }

    void init()
    {
        QString error;
        ServiceOptions options;
        options.searchLimit = SearchLimit;
        QVERIFY2(m_backend.startFresh(&error, options), qPrintable(error));
    }

    void cleanupTestCase() { m_backend.stop(); }

    void shouldServeNothingBeforeSignIn_data()
    {
        QTest::addColumn<Message>("message");
        QTest::newRow("reference") << Message(ReferenceRequest{});
        QTest::newRow("search") << Message(search("D", "0012301", "T"));
        QTest::newRow("form number") << Message(request(FormNumber, {{"key:FORM_TYP_CD", "F"}}));
        QTest::newRow("ping") << Message(Ping{"p"});
    }
    void shouldServeNothingBeforeSignIn()
    {
        QFETCH(Message, message);
        Client client(m_backend.url());
        QVERIFY(client.isConnected());
        QCOMPARE(errorCode(client.exchange(Login{"demo", "wrong"})), QString(sessionerr::LoginFailed));
        QCOMPARE(errorCode(client.exchange(message)), QString(sessionerr::NotSignedIn));
        QVERIFY(client.login("demo", "demo"));
        const auto served = client.exchange(message);
        QVERIFY(served);
        QCOMPARE(errorCode(served), QString());
    }

    void shouldSignInOnlyWithTheRightPassword_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("demo") << "demo"
                              << "demo" << true;
        QTest::newRow("viewer") << "viewer"
                                << "viewer" << true;
        QTest::newRow("wrong password") << "demo"
                                        << "demo " << false;
        QTest::newRow("empty password") << "demo"
                                        << "" << false;
        QTest::newRow("unknown user") << "nobody"
                                      << "demo" << false;
        QTest::newRow("case of the name") << "DEMO"
                                          << "demo" << false;
        QTest::newRow("sql in the name") << "demo' OR '1'='1"
                                         << "x' OR '1'='1" << false;
    }
    void shouldSignInOnlyWithTheRightPassword()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(bool, accepted);
        Client client(m_backend.url());
        const auto answer = client.exchange(Login{user, password});
        QCOMPARE(as<Session>(answer).has_value(), accepted);
        if (!accepted) {
            QCOMPARE(errorCode(answer), QString(sessionerr::LoginFailed));
            QCOMPARE(as<Error>(answer)->text, QString("The user name or password is not correct."));
        }
    }

    void sessionShouldCarryTheProfileAndResume()
    {
        Client first(m_backend.url());
        const auto session = first.login("demo", "demo");
        QVERIFY(session);
        QCOMPARE(session->profile, (Profile{"demo", "TRP01", "D01", 1234, "Jane Roe"}));
        QCOMPARE(session->token.size(), 64);

        Client second(m_backend.url());
        QCOMPARE(as<Session>(second.exchange(Resume{session->token}))->profile, session->profile);
        QVERIFY(as<Pong>(second.exchange(Ping{"after resume"})));

        Client third(m_backend.url());
        QCOMPARE(errorCode(third.exchange(Resume{session->token + "0"})),
                 QString(sessionerr::SessionExpired));
        QCOMPARE(errorCode(third.exchange(Ping{"p"})), QString(sessionerr::NotSignedIn));
    }

    void idleSessionShouldExpire()
    {
        Client client(m_backend.url());
        const auto session = client.login("demo", "demo");
        QVERIFY(session);
        // Nine hours without use, longer than the idle limit.
        sql("UPDATE user_session SET last_seen = last_seen - 32400");
        const auto reply = ask(client, search("D", "0012301", "T"));
        QVERIFY(reply);
        QCOMPARE(reply->errors.value(0).code, QString(sessionerr::SessionExpired));
        QVERIFY(reply->dataSets.isEmpty());
        QCOMPARE(
            sqlNumber("SELECT COUNT(*) FROM user_session WHERE token_hash = ?", {tokenHash(session->token)}),
            qint64(0));
        QCOMPARE(errorCode(client.exchange(Ping{"after the end"})), QString(sessionerr::NotSignedIn));
        Client again(m_backend.url());
        QCOMPARE(errorCode(again.exchange(Resume{session->token})), QString(sessionerr::SessionExpired));
    }

    void auditShouldRefuseChangesAndRemovals_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::newRow("update") << "UPDATE cnfrmtn_audit SET cmmt_txt = 'rewritten'";
        QTest::newRow("delete") << "DELETE FROM cnfrmtn_audit";
    }
    void auditShouldRefuseChangesAndRemovals()
    {
        QFETCH(QString, statement);
        const QString before = dump(m_backend.service().database());
        QVERIFY(sqlNumber("SELECT COUNT(*) FROM cnfrmtn_audit") > 0);
        QCOMPARE(sql(statement).value(0), "query failed: " + statement);
        QCOMPARE(dump(m_backend.service().database()), before);
    }

    void referenceShouldHoldCodeTablesAndOfficers()
    {
        auto client = signedIn("viewer");
        QVERIFY(client);
        const auto reference = as<Reference>(client->exchange(ReferenceRequest{}));
        QVERIFY(reference);
        const auto& tables = reference->codeTables;
        QCOMPARE(tables.value("CNFRMDOC").value("D"), QString("Daily Receipt"));
        QCOMPARE(tables.value("CNFRMDOC").keys(), (QStringList{"A", "D", "N", "R"}));
        QCOMPARE(tables.value("FUNDTYP"),
                 (QMap<QString, QString>{
                     {"C", "Cash"}, {"K", "Check"}, {"X", "Overage Adjustment"}, {"R", "Credit Card"}}));
        QVERIFY(!tables.value("REFDOCTYP").isEmpty());
        QCOMPARE(reference->officers.value(1234), QString("Jane Roe"));
        QCOMPARE(qint64(reference->officers.size()), sqlNumber("SELECT COUNT(*) FROM officer"));
    }

    void searchShouldFindTheMeantReceipts_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("conf");
        QTest::addColumn<QString>("oracle"); // the receipts meant, by the test's own query; {n} is the number
        QTest::addColumn<bool>("batchRecord");

        const QString confirmedOf =
            "SELECT rcpt_nbr FROM rcpt WHERE dly_rcpt_nbr = {n} AND cnfrmtn_nbr IS NOT NULL ORDER BY 1";
        const QString unconfirmedOf =
            "SELECT rcpt_nbr FROM rcpt WHERE dly_rcpt_nbr = {n} AND cnfrmtn_nbr IS NULL ORDER BY 1";
        QTest::newRow("D confirmed, zero-padded") << "D"
                                                  << "0012301"
                                                  << "T" << confirmedOf << true;
        QTest::newRow("D confirmed, padded type code") << "D "
                                                       << "12301"
                                                       << "T" << confirmedOf << true;
        QTest::newRow("D confirmed asked as unconfirmed") << "D"
                                                          << "0012301"
                                                          << "F" << unconfirmedOf << false;
        QTest::newRow("D unconfirmed") << "D"
                                       << "0012330"
                                       << "F" << unconfirmedOf << true;
        QTest::newRow("D unconfirmed with check digit") << "D"
                                                        << "0012330-4"
                                                        << "F" << unconfirmedOf << true;
        QTest::newRow("D unconfirmed asked as confirmed") << "D"
                                                          << "0012330"
                                                          << "T" << confirmedOf << false;
        QTest::newRow("D no such batch") << "D"
                                         << "9999999"
                                         << "F" << unconfirmedOf << false;
        QTest::newRow("D letters") << "D"
                                   << "abc"
                                   << "F"
                                   << "SELECT rcpt_nbr FROM rcpt WHERE 1 = 0" << false;
        QTest::newRow("D sql") << "D"
                               << "'; DELETE FROM rcpt; --"
                               << "F"
                               << "SELECT rcpt_nbr FROM rcpt WHERE 1 = 0" << false;
        QTest::newRow("D every unconfirmed, up to the limit")
            << "D"
            << ""
            << "F"
            << QString("SELECT rcpt_nbr FROM rcpt WHERE cnfrmtn_nbr IS NULL ORDER BY dly_rcpt_nbr, rcpt_nbr "
                       "LIMIT %1")
                   .arg(SearchLimit)
            << false;
        QTest::newRow("N confirmation number")
            << "N"
            << "0001001"
            << "T"
            << "SELECT rcpt_nbr FROM rcpt WHERE cnfrmtn_nbr = '000' || '{n}' ORDER BY 1" << true;
        QTest::newRow("N unpadded")
            << "N"
            << "1001"
            << "T"
            << "SELECT rcpt_nbr FROM rcpt WHERE cnfrmtn_nbr = '000' || '{n}' ORDER BY 1" << true;
        QTest::newRow("N asked as unconfirmed") << "N"
                                                << "0001001"
                                                << "F"
                                                << "SELECT rcpt_nbr FROM rcpt WHERE 1 = 0" << false;
        QTest::newRow("R confirmed receipt") << "R"
                                             << "1000001"
                                             << "T"
                                             << "SELECT rcpt_nbr FROM rcpt WHERE rcpt_nbr = {n}" << false;
        QTest::newRow("R receipt asked as unconfirmed") << "R"
                                                        << "1000001"
                                                        << "F"
                                                        << "SELECT rcpt_nbr FROM rcpt WHERE 1 = 0" << false;
        const QString ofAccount =
            "SELECT r.rcpt_nbr FROM rcpt r JOIN rcvbl_aplctn a ON a.rcpt_nbr = r.rcpt_nbr "
            "WHERE a.acct_rcvbl_nbr = {n} AND r.cnfrmtn_nbr IS %1 ORDER BY r.dly_rcpt_nbr, r.rcpt_nbr";
        QTest::newRow("A account, confirmed") << "A"
                                              << "{account}"
                                              << "T" << ofAccount.arg("NOT NULL") << false;
        QTest::newRow("A account, unconfirmed") << "A"
                                                << "{account}"
                                                << "F" << ofAccount.arg("NULL") << false;
    }
    void searchShouldFindTheMeantReceipts()
    {
        QFETCH(QString, type);
        QFETCH(QString, number);
        QFETCH(QString, conf);
        QFETCH(QString, oracle);
        QFETCH(bool, batchRecord);
        if (number == "{account}")
            number = sql("SELECT MIN(acct_rcvbl_nbr) FROM rcvbl_aplctn").value(0).rightJustified(10, u'0');
        const auto value = number.section(u'-', 0, 0).toLongLong();
        const QStringList expected = sql(QString(oracle).replace("{n}", QString::number(value)));

        auto client = signedIn("viewer");
        QVERIFY(client);
        const auto reply = ask(*client, search(type, number, conf));
        QVERIFY(reply);
        QVERIFY2(reply->errors.isEmpty(), qPrintable(reply->errors.value(0).text));
        QCOMPARE(reply->dataSets.contains("RECEIPT"), !expected.isEmpty());
        QCOMPARE(reply->dataSets.contains("CONFIRMATION"), batchRecord);
        if (expected.isEmpty())
            return;

        const DataSet& receipts = reply->dataSets["RECEIPT"];
        QCOMPARE(fieldNames(receipts).mid(0, 6),
                 (QStringList{"RCPT_NBR:text", "RCPT_DT:date", "RCPT_AMT:currency", "CNFRMTN_NBR:text",
                              "ISS_OFCR_ID:long", "ENTR_OFCR_ID:long"}));
        QCOMPARE(column(receipts, "RCPT_NBR"), expected);
        for (qsizetype i = 0; i < receipts.records.size(); ++i) {
            const QString receipt = expected[i];
            QCOMPARE(text(receipts.value(i, "RCPT_DT")),
                     sql("SELECT rcpt_dt FROM rcpt WHERE rcpt_nbr = ?", {receipt}).value(0));
            QCOMPARE(std::get<Money>(receipts.value(i, "RCPT_AMT")).units,
                     sqlNumber("SELECT rcpt_amt FROM rcpt WHERE rcpt_nbr = ?", {receipt}));
            QCOMPARE(text(receipts.value(i, "CNFRMTN_NBR")),
                     sql("SELECT cnfrmtn_nbr FROM rcpt WHERE rcpt_nbr = ?", {receipt}).value(0));
            QCOMPARE(text(receipts.value(i, "ISS_OFCR_ID")),
                     sql("SELECT iss_ofcr_id FROM rcpt WHERE rcpt_nbr = ?", {receipt}).value(0));
        }
        if (batchRecord) {
            const DataSet& batch = reply->dataSets["CONFIRMATION"];
            QCOMPARE(batch.records.size(), 1);
            const QString batchNumber =
                sql("SELECT dly_rcpt_nbr FROM rcpt WHERE rcpt_nbr = ?", {expected.front()}).value(0);
            QCOMPARE(text(batch.value(0, "DLY_RCPT_NBR")), batchNumber);
            QCOMPARE(text(batch.value(0, "CNFRMTN_NBR")),
                     sql("SELECT cnfrmtn_nbr FROM dly_rcpt WHERE dly_rcpt_nbr = ?", {batchNumber}).value(0));
            QCOMPARE(
                text(batch.value(0, "DLY_RCPT_CMMT_TXT")),
                sql("SELECT dly_rcpt_cmmt_txt FROM dly_rcpt WHERE dly_rcpt_nbr = ?", {batchNumber}).value(0));
            QVERIFY(batch.fieldIndex("CNFRMTN_DT") >= 0);
        }
    }

    void searchShouldRefuseWhatItCannotAnswer_data()
    {
        QTest::addColumn<Message>("message");
        QTest::addColumn<QString>("text");
        QTest::newRow("unknown type")
            << Message(search("Q", "1", "F")) << "Searching by the document type \"Q\" is not supported.";
        QTest::newRow("state not T or F")
            << Message(search("D", "1", "Y"))
            << "Say \"T\" for confirmed or \"F\" for unconfirmed receipts, not \"Y\".";
        QTest::newRow("no criteria")
            << Message(request(Search))
            << "A search needs a document type, a number (which may be empty) and whether "
               "confirmed or unconfirmed receipts are meant.";
    }
    void searchShouldRefuseWhatItCannotAnswer()
    {
        QFETCH(Message, message);
        QFETCH(QString, text);
        auto client = signedIn();
        QVERIFY(client);
        const auto reply = as<Reply>(client->exchange(message));
        QVERIFY(reply);
        QCOMPARE(reply->key, std::get<Request>(message).key);
        QCOMPARE(reply->errors.value(0).code, QString(replyerr::BadRequest));
        QCOMPARE(reply->errors.value(0).text, text);
        QVERIFY(reply->dataSets.isEmpty());
    }

    void receiptDetailShouldListReceivablesAndFunds()
    {
        const QString receipt =
            sql("SELECT rcpt_nbr FROM rcvbl_aplctn GROUP BY rcpt_nbr HAVING COUNT(*) > 1 ORDER BY 1")
                .value(0);
        QVERIFY(!receipt.isEmpty());
        auto client = signedIn("viewer");
        QVERIFY(client);
        const auto reply = ask(*client, request(Details, {{"key:RCPT_NBR", receipt}, {"key:THIN", "Yes"}}));
        QVERIFY(reply && reply->errors.isEmpty());

        const DataSet& accounts = reply->dataSets["ACNTSRCVBL"];
        QCOMPARE(
            fieldNames(accounts),
            (QStringList{"CUST_NAME:text", "ACCT_RCVBL_NBR:long", "ACCT_RCVBL_CK_NBR:text",
                         "ACCT_RCVBL_TYP_CD:text", "PYMT_APLD:currency", "ASSMT_AMT:currency",
                         "LTE_FEE_AMT:currency", "ACRD_INTRST_AMT:currency", "ACCT_RCVBL_BAL_AMT:currency"}));
        QCOMPARE(column(accounts, "ACCT_RCVBL_NBR"),
                 sql("SELECT acct_rcvbl_nbr FROM rcvbl_aplctn WHERE rcpt_nbr = ? ORDER BY 1", {receipt}));
        qint64 applied = 0;
        for (qsizetype i = 0; i < accounts.records.size(); ++i) {
            applied += std::get<Money>(accounts.value(i, "PYMT_APLD")).units;
            const QString number = text(accounts.value(i, "ACCT_RCVBL_NBR"));
            QCOMPARE(text(accounts.value(i, "ACCT_RCVBL_CK_NBR")), QString::number(checkDigit(number)));
            QCOMPARE(text(accounts.value(i, "CUST_NAME")),
                     sql("SELECT cust_name FROM acct_rcvbl WHERE acct_rcvbl_nbr = ?", {number}).value(0));
        }
        QCOMPARE(applied, sqlNumber("SELECT rcpt_amt FROM rcpt WHERE rcpt_nbr = ?", {receipt}));

        const DataSet& funds = reply->dataSets["FUND"];
        QCOMPARE(
            fieldNames(funds),
            (QStringList{"FUND_TYP_CD:text", "FUND_RFRNC_NBR:text", "FUND_AMT:currency", "FUND_DESC:text",
                         "EXPRTN_MO_DT:text", "EXPRTN_DY_DT:text", "EXPRTN_YR_DT:text", "FRCPT_NBR:text"}));
        QCOMPARE(column(funds, "FUND_TYP_CD"),
                 sql("SELECT fund_typ_cd FROM fund WHERE rcpt_nbr = ? ORDER BY fund_seq", {receipt}));
        const QStringList owners = column(funds, "FRCPT_NBR");
        QCOMPARE(QSet<QString>(owners.begin(), owners.end()), QSet<QString>{receipt});
    }

    void creditCardFundsShouldCarryTheirExpiry()
    {
        const QString receipt = sql("SELECT MIN(rcpt_nbr) FROM fund WHERE fund_typ_cd = 'R'").value(0);
        auto client = signedIn();
        QVERIFY(client);
        const auto reply = ask(*client, request(Details, {{"key:RCPT_NBR", receipt}, {"key:THIN", "Yes"}}));
        QVERIFY(reply && reply->errors.isEmpty());
        const DataSet& funds = reply->dataSets["FUND"];
        const int card = column(funds, "FUND_TYP_CD").indexOf("R");
        QVERIFY(card >= 0);
        const QDate expiry(text(funds.value(card, "EXPRTN_YR_DT")).toInt(),
                           text(funds.value(card, "EXPRTN_MO_DT")).toInt(),
                           text(funds.value(card, "EXPRTN_DY_DT")).toInt());
        QVERIFY(expiry.isValid());
        const int cash = column(funds, "FUND_TYP_CD").indexOf("C");
        if (cash >= 0)
            QVERIFY(std::holds_alternative<std::monostate>(funds.value(cash, "EXPRTN_YR_DT")));
    }

    void receiptDetailOfAnUnknownReceiptShouldSaySo()
    {
        auto client = signedIn();
        QVERIFY(client);
        const auto reply =
            ask(*client, request(Details, {{"key:RCPT_NBR", "99999999"}, {"key:THIN", "Yes"}}));
        QVERIFY(reply);
        QCOMPARE(reply->errors.value(0).code, QString(replyerr::NotFound));
        QCOMPARE(reply->errors.value(0).text, QString("Receipt 99999999 does not exist."));
    }

    void fundsDetailShouldFollowTheListedOrder_data()
    {
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("three receipts, not sorted") << QStringList{"1000003", "1000001", "1000002"};
        QTest::newRow("one receipt") << QStringList{"1000007"};
        QTest::newRow("unknown and padded receipts") << QStringList{"0001000005", "42", "1000004"};
        QTest::newRow("no receipt") << QStringList{};
    }
    void fundsDetailShouldFollowTheListedOrder()
    {
        QFETCH(QStringList, listed);
        Request r = request(Details);
        DataSet receipts;
        receipts.fields = {{"FRCPT_NBR", FieldType::Text}};
        QStringList expected;
        for (const QString& number : listed) {
            receipts.records.append({number});
            expected +=
                sql("SELECT rcpt_nbr FROM fund WHERE rcpt_nbr = ? ORDER BY fund_seq", {number.toLongLong()});
        }
        r.dataSets.insert("RECEIPT", receipts);
        auto client = signedIn();
        QVERIFY(client);
        const auto reply = ask(*client, r);
        QVERIFY(reply && reply->errors.isEmpty());
        QVERIFY(reply->dataSets.contains("FUND"));
        QCOMPARE(column(reply->dataSets["FUND"], "FRCPT_NBR"), expected);
        QVERIFY(!reply->dataSets.contains("ACNTSRCVBL"));
    }

    void formNumbersShouldNeverRepeat()
    {
        auto client = signedIn();
        QVERIFY(client);
        const qint64 first = takeNumber(*client);
        const qint64 second = takeNumber(*client);
        QVERIFY(first > 0);
        QCOMPARE(second, first + 1);
        QCOMPARE(sqlNumber("SELECT COUNT(*) FROM form_nbr WHERE form_nbr IN (?, ?) AND issued_to = 'demo'",
                           {first, second}),
                 qint64(2));
        const auto unknown = ask(*client, request(FormNumber, {{"key:FORM_TYP_CD", "Z"}}));
        QCOMPARE(unknown->errors.value(0).text, QString("There are no numbers for the form type \"Z\"."));
        QCOMPARE(takeNumber(*client), second + 1);
    }

    void readUserShouldOnlyLook_data()
    {
        QTest::addColumn<int>("code");
        QTest::newRow("form number") << int(FormNumber);
        QTest::newRow("save") << int(Save);
    }
    void readUserShouldOnlyLook()
    {
        QFETCH(int, code);
        auto viewer = signedIn("viewer");
        auto demo = signedIn();
        QVERIFY(viewer && demo);
        const Request r = code == FormNumber ? request(FormNumber, {{"key:FORM_TYP_CD", "F"}})
                                             : confirm(unconfirmedBatch(), QString::number(takeNumber(*demo)),
                                                       QDate::currentDate());
        const QString afterNumber = dump(m_backend.service().database());
        const auto reply = ask(*viewer, r);
        QVERIFY(reply);
        QCOMPARE(reply->errors.value(0).code, QString(replyerr::NotPermitted));
        QCOMPARE(reply->errors.value(0).text, QString("You may search and look at receipts, but not confirm, "
                                                      "unconfirm or take confirmation numbers."));
        QCOMPARE(dump(m_backend.service().database()), afterNumber);
    }

    void confirmShouldNumberEveryReceiptAndAudit()
    {
        auto client = signedIn();
        QVERIFY(client);
        const qint64 batch = unconfirmedBatch();
        const qint64 number = takeNumber(*client);
        const QString padded = QString::number(number).rightJustified(7, u'0');
        const QDate today = QDate::currentDate();
        const auto reply = ask(*client, confirm(batch, padded, today));
        QVERIFY(reply);
        QVERIFY2(reply->errors.isEmpty(), qPrintable(reply->errors.value(0).text));
        QCOMPARE(text(reply->dataSets["CONFIRMATION"].value(0, "CNFRMTN_NBR")), padded);

        QCOMPARE(sql("SELECT DISTINCT cnfrmtn_nbr FROM rcpt WHERE dly_rcpt_nbr = ?", {batch}),
                 QStringList{padded});
        QCOMPARE(sql("SELECT cnfrmtn_dt FROM dly_rcpt WHERE dly_rcpt_nbr = ?", {batch}),
                 QStringList{today.toString(Qt::ISODate)});
        QCOMPARE(sqlNumber("SELECT cnfrmtn_ofcr_id FROM dly_rcpt WHERE dly_rcpt_nbr = ?", {batch}),
                 qint64(1234));
        QCOMPARE(sqlNumber("SELECT used_by_batch FROM form_nbr WHERE form_nbr = ?", {number}), batch);
        QCOMPARE(
            sql("SELECT action || ' ' || user_id || ' ' || CAST(ofcr_id AS TEXT) || ' ' || cnfrmtn_nbr FROM "
                "cnfrmtn_audit WHERE dly_rcpt_nbr = ? ORDER BY audit_id DESC",
                {batch})
                .value(0),
            "UPD demo 1234 " + padded);
        QCOMPARE(sqlNumber("SELECT total_amt FROM cnfrmtn_audit WHERE dly_rcpt_nbr = ? AND cnfrmtn_nbr = ?",
                           {batch, padded}),
                 sqlNumber("SELECT SUM(rcpt_amt) FROM rcpt WHERE dly_rcpt_nbr = ?", {batch}));

        // The search now finds it among the confirmed ones, with its batch record.
        const auto found = ask(*client, search("D", QString::number(batch), "T"));
        QCOMPARE(text(found->dataSets["CONFIRMATION"].value(0, "CNFRMTN_NBR")), padded);
    }

    void unconfirmShouldKeepTheComment()
    {
        auto client = signedIn();
        QVERIFY(client);
        const qint64 batch = confirmedBatch();
        const QString old = sql("SELECT cnfrmtn_nbr FROM dly_rcpt WHERE dly_rcpt_nbr = ?", {batch}).value(0);
        const QString comment = "Wrong check total.\nRecount tomorrow; 'quotes' and \"more\" stay.";
        const auto reply = ask(*client, unconfirm(batch, "  " + comment + "  "));
        QVERIFY(reply);
        QVERIFY2(reply->errors.isEmpty(), qPrintable(reply->errors.value(0).text));
        QCOMPARE(sql("SELECT cnfrmtn_nbr FROM dly_rcpt WHERE dly_rcpt_nbr = ?", {batch}),
                 QStringList{"<null>"});
        QCOMPARE(sqlNumber("SELECT COUNT(*) FROM rcpt WHERE dly_rcpt_nbr = ? AND cnfrmtn_nbr IS NOT NULL",
                           {batch}),
                 qint64(0));
        QCOMPARE(sql("SELECT action || ' ' || cnfrmtn_nbr FROM cnfrmtn_audit WHERE dly_rcpt_nbr = ? ORDER BY "
                     "audit_id DESC",
                     {batch})
                     .value(0),
                 "UNCONFIRM " + old);

        const auto found = ask(*client, search("D", QString::number(batch), "F"));
        QVERIFY(found && found->dataSets.contains("RECEIPT"));
        QCOMPARE(text(found->dataSets["CONFIRMATION"].value(0, "DLY_RCPT_CMMT_TXT")), comment);
        QVERIFY(
            std::holds_alternative<std::monostate>(found->dataSets["CONFIRMATION"].value(0, "CNFRMTN_NBR")));
        QVERIFY(!ask(*client, search("D", QString::number(batch), "T"))->dataSets.contains("RECEIPT"));
    }

    void saveShouldRefuseWhatBreaksARule_data()
    {
        QTest::addColumn<QString>("batch");  // unconfirmed, confirmed or a number
        QTest::addColumn<QString>("action"); // UPD, UNCONFIRM or anything
        QTest::addColumn<QString>("number"); // fresh, used, or the text sent
        QTest::addColumn<int>(
            "days"); // confirmation date from today; -99999 the day before the latest receipt
        QTest::addColumn<QString>("comment");
        QTest::addColumn<QString>("other"); // officer, trp, district: the record names another
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("text"); // {batch}, {number}, {date}, {latest} are filled in

        QTest::newRow("batch already confirmed")
            << "confirmed"
            << "UPD"
            << "fresh" << 0 << ""
            << "" << replyerr::AlreadyConfirmed
            << "Daily receipt {batch} is already confirmed (confirmation number {current}).";
        QTest::newRow("batch does not exist")
            << "7654321"
            << "UPD"
            << "fresh" << 0 << ""
            << "" << replyerr::NotFound << "Daily receipt 7654321 does not exist.";
        QTest::newRow("number never handed out")
            << "unconfirmed"
            << "UPD"
            << "9999990" << 0 << ""
            << "" << replyerr::NumberNotIssued
            << "Confirmation number 9999990 was never handed out. Get a confirmation number first.";
        QTest::newRow("number already used")
            << "unconfirmed"
            << "UPD"
            << "used" << 0 << ""
            << "" << replyerr::NumberUsed
            << "Confirmation number {number} has already been used for daily receipt {usedby}. Get a new "
               "confirmation number.";
        QTest::newRow("number missing")
            << "unconfirmed"
            << "UPD"
            << "" << 0 << ""
            << "" << replyerr::BadRequest << "The confirmation number is missing.";
        QTest::newRow("number with wrong check digit")
            << "unconfirmed"
            << "UPD"
            << "fresh-wrong-check" << 0 << ""
            << "" << replyerr::BadRequest
            << "The confirmation number is not valid: The check digit does not match.";
        QTest::newRow("number of eight digits")
            << "unconfirmed"
            << "UPD"
            << "12345678" << 0 << ""
            << "" << replyerr::BadRequest
            << "The confirmation number is not valid: The number may have at most 7 digits.";
        QTest::newRow("date tomorrow")
            << "unconfirmed"
            << "UPD"
            << "fresh" << 1 << ""
            << "" << replyerr::BadDate << "The confirmation date, {date}, is later than today.";
        QTest::newRow("date before the latest receipt")
            << "unconfirmed"
            << "UPD"
            << "fresh" << -99999 << ""
            << "" << replyerr::BadDate
            << "The confirmation date, {date}, is earlier than the latest receipt of daily receipt {batch}, "
               "dated "
               "{latest}.";
        QTest::newRow("another officer")
            << "unconfirmed"
            << "UPD"
            << "fresh" << 0 << ""
            << "officer" << replyerr::OtherOfficer
            << "The confirmation names another officer; you are signed in as officer 1234.";
        QTest::newRow("another TRP")
            << "unconfirmed"
            << "UPD"
            << "fresh" << 0 << ""
            << "trp" << replyerr::OtherOfficer
            << "The confirmation names another TRP or district; you are signed in for TRP "
               "TRP01, district D01.";
        QTest::newRow("another district")
            << "confirmed"
            << "UNCONFIRM"
            << "" << 0 << "Recount"
            << "district" << replyerr::OtherOfficer
            << "The confirmation names another TRP or district; you are signed in for "
               "TRP TRP01, district D01.";
        QTest::newRow("unconfirm an unconfirmed batch")
            << "unconfirmed"
            << "UNCONFIRM"
            << "" << 0 << "Recount"
            << "" << replyerr::NotConfirmed
            << "Daily receipt {batch} is not confirmed, so it cannot be unconfirmed.";
        QTest::newRow("unconfirm without comment")
            << "confirmed"
            << "UNCONFIRM"
            << "" << 0 << " \t "
            << "" << replyerr::CommentRequired << "An explanation comment is required to unconfirm a batch.";
        QTest::newRow("unconfirm with 255 characters")
            << "confirmed"
            << "UNCONFIRM"
            << "" << 0 << QString(255, u'x') << "" << replyerr::CommentTooLong
            << "The explanation comment may have at most 254 characters; it has 255.";
        QTest::newRow("unknown action")
            << "unconfirmed"
            << "DELETE"
            << "fresh" << 0 << ""
            << "" << replyerr::BadRequest << "The confirmation record must say UPD or UNCONFIRM.";
    }
    void saveShouldRefuseWhatBreaksARule()
    {
        QFETCH(QString, batch);
        QFETCH(QString, action);
        QFETCH(QString, number);
        QFETCH(int, days);
        QFETCH(QString, comment);
        QFETCH(QString, other);
        QFETCH(QString, code);
        QFETCH(QString, text);

        auto client = signedIn();
        QVERIFY(client);
        const qint64 batchNumber = batch == "confirmed"     ? confirmedBatch()
                                   : batch == "unconfirmed" ? unconfirmedBatch()
                                                            : batch.toLongLong();
        QString usedBy;
        if (number == "fresh" || number == "fresh-wrong-check") {
            const QString seven = QString::number(takeNumber(*client)).rightJustified(7, u'0');
            number = number == "fresh" ? seven : seven + "-" + QString::number((checkDigit(seven) + 1) % 10);
        } else if (number == "used") {
            const auto used = sql(
                "SELECT form_nbr, used_by_batch FROM form_nbr WHERE used_by_batch IS NOT NULL ORDER BY 1");
            number = used.value(0).rightJustified(7, u'0');
            usedBy = sql("SELECT used_by_batch FROM form_nbr WHERE form_nbr = ?", {number.toLongLong()})
                         .value(0)
                         .rightJustified(7, u'0');
        }
        const QDate latest = QDate::fromString(
            sql("SELECT MAX(rcpt_dt) FROM rcpt WHERE dly_rcpt_nbr = ?", {batchNumber}).value(0), Qt::ISODate);
        const QDate date = days == -99999 ? latest.addDays(-1) : QDate::currentDate().addDays(days);

        Request r =
            action == "UNCONFIRM" ? unconfirm(batchNumber, comment) : confirm(batchNumber, number, date);
        DataSet& rec = r.dataSets["CONFIRMATION"];
        rec.records[0][rec.fieldIndex("ACTION")] = action;
        if (other == "officer")
            rec.records[0][rec.fieldIndex("CNFRMTN_OFCR_ID")] = qint64(1301);
        else if (other == "trp")
            rec.records[0][rec.fieldIndex("TRP_ID")] = QStringLiteral("TRP02");
        else if (other == "district")
            rec.records[0][rec.fieldIndex("TRP_DSTRCT_ID")] = QStringLiteral("D02");

        const QString before = dump(m_backend.service().database());
        const auto reply = ask(*client, r);
        QVERIFY(reply);
        QCOMPARE(reply->errors.size(), 1);
        QCOMPARE(reply->errors.front().code, code);
        const QString padded = QString::number(batchNumber).rightJustified(7, u'0');
        text.replace("{batch}", padded)
            .replace("{number}", number)
            .replace("{usedby}", usedBy)
            .replace("{current}",
                     sql("SELECT cnfrmtn_nbr FROM dly_rcpt WHERE dly_rcpt_nbr = ?", {batchNumber}).value(0))
            .replace("{date}", QLocale::c().toString(date, "MMMM d, yyyy"))
            .replace("{latest}", QLocale::c().toString(latest, "MMMM d, yyyy"));
        QCOMPARE(reply->errors.front().text, text);
        QVERIFY(reply->dataSets.isEmpty());
        QCOMPARE(dump(m_backend.service().database()), before);
    }

    void saveShouldAcceptTheLimitsOfItsRules()
    {
        auto client = signedIn();
        QVERIFY(client);
        const qint64 batch = unconfirmedBatch();
        const QDate latest = QDate::fromString(
            sql("SELECT MAX(rcpt_dt) FROM rcpt WHERE dly_rcpt_nbr = ?", {batch}).value(0), Qt::ISODate);
        const QString seven = QString::number(takeNumber(*client)).rightJustified(7, u'0');
        // On the day of the latest receipt, with the check digit written out.
        auto reply = ask(*client, confirm(batch, seven + "-" + QString::number(checkDigit(seven)), latest));
        QVERIFY2(reply && reply->errors.isEmpty(), qPrintable(reply->errors.value(0).text));
        // A comment of exactly 254 characters.
        reply = ask(*client, unconfirm(batch, QString(254, u'y')));
        QVERIFY2(reply && reply->errors.isEmpty(), qPrintable(reply->errors.value(0).text));
        QCOMPARE(
            sql("SELECT dly_rcpt_cmmt_txt FROM dly_rcpt WHERE dly_rcpt_nbr = ?", {batch}).value(0).size(),
            254);
        // The number of the undone confirmation stays used.
        const auto again = ask(*client, confirm(batch, seven, QDate::currentDate()));
        QCOMPARE(again->errors.value(0).code, QString(replyerr::NumberUsed));
    }

    void saveShouldRefuseMalformedRecords_data()
    {
        QTest::addColumn<int>("records");
        QTest::addColumn<QString>("setName");
        QTest::newRow("no record") << 0 << "CONFIRMATION";
        QTest::newRow("two records") << 2 << "CONFIRMATION";
        QTest::newRow("other data set") << 1 << "RECEIPT";
    }
    void saveShouldRefuseMalformedRecords()
    {
        QFETCH(int, records);
        QFETCH(QString, setName);
        auto client = signedIn();
        QVERIFY(client);
        Request r = confirm(unconfirmedBatch(), QString::number(takeNumber(*client)), QDate::currentDate());
        DataSet set = r.dataSets.take("CONFIRMATION");
        set.records = QList<QList<Value>>(records, set.records.front());
        r.dataSets.insert(setName, set);
        const QString before = dump(m_backend.service().database());
        const auto reply = ask(*client, r);
        QCOMPARE(reply->errors.value(0).text, QString("A save must carry exactly one confirmation record."));
        QCOMPARE(dump(m_backend.service().database()), before);
    }

    void eightOfficersConfirmingOneBatchShouldGiveOneSuccess()
    {
        std::vector<std::unique_ptr<Client>> clients;
        for (int i = 0; i < 8; ++i) {
            clients.push_back(signedIn());
            QVERIFY(clients.back());
        }
        const QStringList batches =
            sql("SELECT dly_rcpt_nbr FROM dly_rcpt WHERE cnfrmtn_nbr IS NULL ORDER BY 1");
        QVERIFY(!batches.isEmpty());
        for (int round = 0; round < 50; ++round) {
            const qint64 batch = batches[round % batches.size()].toLongLong();
            QList<Request> saves;
            for (auto& client : clients) {
                const qint64 number = takeNumber(*client);
                QVERIFY(number > 0);
                saves.append(confirm(batch, QString::number(number), QDate::currentDate()));
            }
            for (int i = 0; i < 8; ++i)
                clients[i]->send(saves[i]);
            int successes = 0;
            int winner = -1;
            for (int i = 0; i < 8; ++i) {
                const auto reply = as<Reply>(clients[i]->next());
                QVERIFY2(reply, "no reply to a save");
                if (reply->errors.isEmpty()) {
                    ++successes;
                    winner = i;
                } else {
                    QVERIFY2(reply->errors.front().code == replyerr::AlreadyConfirmed ||
                                 reply->errors.front().code == replyerr::Conflict,
                             qPrintable(reply->errors.front().text));
                }
            }
            QCOMPARE(successes, 1);
            QCOMPARE(
                sqlNumber("SELECT COUNT(DISTINCT cnfrmtn_nbr) FROM rcpt WHERE dly_rcpt_nbr = ?", {batch}),
                qint64(1));
            const auto undone =
                ask(*clients[winner], unconfirm(batch, QStringLiteral("Round %1").arg(round)));
            QVERIFY(undone && undone->errors.isEmpty());
        }
        QCOMPARE(sqlNumber("SELECT COUNT(*) FROM cnfrmtn_audit WHERE cmmt_txt LIKE 'Round %'"), qint64(50));
    }

    void eightClientsTakingNumbersShouldNeverShareOne()
    {
        std::vector<std::unique_ptr<Client>> clients;
        for (int i = 0; i < 8; ++i) {
            clients.push_back(signedIn());
            QVERIFY(clients.back());
        }
        for (auto& client : clients) {
            for (int i = 0; i < 200; ++i)
                client->send(request(FormNumber, {{"key:FORM_TYP_CD", "F"}}));
        }
        QSet<qint64> numbers;
        for (auto& client : clients) {
            for (int i = 0; i < 200; ++i) {
                const auto reply = as<Reply>(client->next());
                QVERIFY(reply && reply->errors.isEmpty());
                numbers.insert(std::get<qint64>(reply->dataSets["REQ"].value(0, "F")));
            }
        }
        QCOMPARE(numbers.size(), 1600);
        QCOMPARE(
            sqlNumber("SELECT COUNT(*) FROM form_nbr WHERE issued_to = 'demo' AND used_by_batch IS NULL"),
            qint64(1600));
    }

    void hostileFramesShouldEachGetAnErrorAndChangeNothing()
    {
        auto client = signedIn();
        QVERIFY(client);
        const QString before = dump(m_backend.service().database());

        QStringList frames;
        const QString envelope = R"("key":"H","requester":"R","userId":"demo","version":"5.1")";
        const QStringList broken = {
            "",
            " ",
            "{",
            "}",
            "[]",
            "null",
            "42",
            "\"request\"",
            "{\"type\":",
            "{\"type\":\"request\"",
            "{\"type\":\"request\",",
            "{'type':'ping'}",
            "{\"type\":\"ping\",}",
            "{type:\"ping\"}",
            "{\"type\":\"ping\"}{\"type\":\"ping\"}",
            "{\"type\":\"ping\"} trailing",
            "{\"type\":\"\\u0000\"}",
            "{\"type\":\"ping\",\"key\":\"a\\u0000b\"}",
            "{\"type\":\"ping\",\"key\":\"\\ud800\"}",
            "{\"type\":\"ping\",\"key\":\"\\udc00\\ud800\"}",
            "{\"type\":\"ping\",\"key\":\"\\x41\"}",
            "{\"type\":\"ping\",\"key\":1e999}",
            "{\"type\":\"ping\",\"key\":-}",
            "{\"type\":\"ping\",\"key\":.5}",
            "{\"type\":\"ping\",\"key\":01}",
            "{\"type\":\"ping\",\"key\":NaN}",
            "{\"type\":\"ping\",\"key\":Infinity}",
            "{\"type\":\"ping\",\"key\":true}",
            "{\"type\":\"ping\",\"key\":[]}",
            "{\"type\":\"PING\"}",
            "{\"type\":\"login\"}",
            "{\"type\":\"reply\",\"key\":\"x\",\"requester\":\"y\"}",
            "{\"type\":\"session\",\"token\":\"t\",\"profile\":{}}",
            "{\"type\":\"error\",\"code\":\"c\",\"text\":\"t\"}",
            "{\"type\":\"pong\"}",
            "{\"type\":\"reference\",\"codeTables\":{},\"officers\":{}}",
            "{\"type\":\"reference\",\"extra\":1}",
            QString(2000, u'['),
            QString(2000, u'{'),
            "{\"type\":\"ping\",\"key\":" + QString(5000, u'[') + QString(5000, u']') + "}",
        };
        frames += broken;
        const QStringList requestCodes = {"0",
                                          "-1",
                                          "62",
                                          "64",
                                          "70",
                                          "71",
                                          "73",
                                          "89",
                                          "91",
                                          "63.5",
                                          "\"63\"",
                                          "null",
                                          "true",
                                          "[63]",
                                          "{}",
                                          "1e3",
                                          "9223372036854775808",
                                          "-9223372036854775809",
                                          "99999999999999999999999999"};
        for (const QString& code : requestCodes)
            frames << "{\"type\":\"request\"," + envelope + ",\"requestCode\":" + code + "}";
        const QStringList wrongMembers = {
            R"("criteria":{})",
            R"("criteria":[1])",
            R"("criteria":[null])",
            R"("criteria":[{"systemName":"KESTROVA","key":"key:DOC_NBR","operator":"="}])",
            R"("criteria":[{"systemName":"KESTROVA","key":"key:DOC_NBR","operator":"=","value":12301}])",
            R"("criteria":[{"systemName":1,"key":"key:DOC_NBR","operator":"=","value":"1"}])",
            R"("dataSets":[])",
            R"("dataSets":{"CONFIRMATION":[]})",
            R"("dataSets":{"CONFIRMATION":{"fields":[{"name":"ACTION","type":"text"}],"records":[[1]]}})",
            R"("dataSets":{"CONFIRMATION":{"fields":[{"name":"ACTION","type":"text"}],"records":[["UPD","x"]]}})",
            R"("dataSets":{"CONFIRMATION":{"fields":[{"name":"ACTION","type":"varchar"}],"records":[]}})",
            R"("dataSets":{"CONFIRMATION":{"fields":[{"name":"X","type":"currency"}],"records":[["1.23456"]]}})",
            R"("dataSets":{"CONFIRMATION":{"fields":[{"name":"X","type":"currency"}],"records":[["1e400"]]}})",
            R"("dataSets":{"CONFIRMATION":{"fields":[{"name":"X","type":"date"}],"records":[["2005-13-01"]]}})",
            R"("dataSets":{"CONFIRMATION":{"fields":[{"name":"X","type":"long"}],"records":[[1.5]]}})",
            R"("dataSets":{"CONFIRMATION":{"fields":[{"name":"X","type":"long"}],"records":[[123456789012345678901234567890]]}})",
            R"("dataSets":{"CONFIRMATION":{"fields":[{"name":"X","type":"double"}],"records":[["1"]]}})",
            R"("dataSets":{"CONFIRMATION":{"fields":[{"name":"X","type":"bool"}],"records":[[0]]}})",
            R"("dataSets":{"CONFIRMATION":{"fields":[],"records":[[]]}})",
            R"("options":"COMMITANYWAY")",
            R"("options":[null])",
        };
        for (const QString& member : wrongMembers) {
            for (const char* code : {"63", "69", "72", "90"})
                frames << "{\"type\":\"request\"," + envelope + ",\"requestCode\":" + code + "," + member +
                              "}";
        }

        // SQL and other metacharacters in every criterion of every request kind, and in every field of a
        // save.
        const QStringList nasty = {"'",
                                   "';--",
                                   "'; DROP TABLE rcpt; --",
                                   "\" OR \"\"=\"",
                                   "1' OR '1'='1",
                                   "%",
                                   "_",
                                   "\\",
                                   "$1",
                                   "?",
                                   ":name",
                                   "*/ /*",
                                   "\u202e\u0301",
                                   QString(300, u'9'),
                                   "0x41",
                                   "1;2",
                                   "NULL",
                                   "null",
                                   "\t",
                                   "\r\n",
                                   "' OR 1=1 --",
                                   "%00",
                                   "\U0001F600"};
        QList<Request> wellFormed;
        for (const QString& value : nasty) {
            Request bad = search(value, "1", "F");
            wellFormed << bad;
            wellFormed << search("D", "1", value);
            wellFormed << request(FormNumber, {{"key:FORM_TYP_CD", value}});
            wellFormed << request(Details, {{"key:RCPT_NBR", value}});
            Request saveBad = confirm(unconfirmedBatch(), value, QDate::currentDate());
            wellFormed << saveBad;
            Request wrongAction = unconfirm(confirmedBatch(), "x");
            wrongAction.dataSets["CONFIRMATION"].records[0][0] = value;
            wellFormed << wrongAction;
            Request wrongTrp = unconfirm(confirmedBatch(), "x");
            wrongTrp.dataSets["CONFIRMATION"].records[0][4] = value;
            wellFormed << wrongTrp;
            Request wrongBatch = unconfirm(confirmedBatch(), "x");
            wrongBatch.dataSets["CONFIRMATION"].fields[1].type = FieldType::Text;
            wrongBatch.dataSets["CONFIRMATION"].records[0][1] = value;
            wellFormed << wrongBatch;
        }
        for (const Request& r : std::as_const(wellFormed))
            frames << QString::fromUtf8(encode(r));
        QVERIFY2(frames.size() >= 300, qPrintable(QString::number(frames.size())));

        for (const QString& frame : std::as_const(frames)) {
            client->sendText(frame);
            const auto answer = client->next();
            QVERIFY2(answer, qPrintable("no answer to " + frame.left(120)));
            QVERIFY2(!errorCode(answer).isEmpty(), qPrintable("no error for " + frame.left(200)));
        }
        // Searches whose number means nothing are not errors: they find nothing (blanks mean no number).
        for (const QString& value : nasty) {
            const auto reply = ask(*client, search("D", value, "F"));
            QVERIFY(reply && reply->errors.isEmpty());
            QCOMPARE(reply->dataSets.contains("RECEIPT"), value.trimmed().isEmpty());
        }

        client->sendBinary("{\"type\":\"ping\"}");
        QCOMPARE(errorCode(client->next()), QString("binary-frame"));
        const QString oversized = "{\"type\":\"ping\",\"key\":\"" + QString(MaxFrameBytes, u'x') + "\"}";
        client->sendText(oversized);
        QCOMPARE(errorCode(client->next(30000)), QString(errc::TooLarge));

        QVERIFY(as<Pong>(client->exchange(Ping{"still here"})));
        QVERIFY(ask(*client, search("D", "0012301", "T"))->dataSets.contains("RECEIPT"));
        QCOMPARE(dump(m_backend.service().database()), before);
    }

    void refusedRequestShouldBeAnsweredUnderItsKey()
    {
        auto client = signedIn();
        QVERIFY(client);
        client->sendText(R"({"type":"request","key":"K-77","requester":"TAVRO_CNFRMPYMT","userId":"demo",)"
                         R"("version":"5.1","requestCode":64})");
        const auto reply = as<Reply>(client->next());
        QVERIFY(reply);
        QCOMPARE(reply->key, QString("K-77"));
        QCOMPARE(reply->requester, QString("TAVRO_CNFRMPYMT"));
        QCOMPARE(reply->errors.value(0).code, QString(errc::UnknownRequestCode));
    }
};

QTEST_GUILESS_MAIN(TestServer)
#include "tst_server.moc"
