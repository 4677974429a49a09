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

    std::unique_ptr<Client> signedIn(const QString& user = "demo")
    {
        auto client = std::make_unique<Client>(m_backend.url());
        return client->login(user, user) ? std::move(client) : nullptr;
    }

    std::optional<Reply> ask(Client& client, const Request& request)
    {
        return as<Reply>(client.exchange(request));
    }

    qint64 takeNumber(Client& client)
    {
        const auto reply = ask(client, request(FormNumber, {{"key:FORM_TYP_CD", "F"}}));
        const Value v = reply ? reply->dataSets.value("REQ").value(0, "F") : Value{};
        return std::holds_alternative<qint64>(v) ? std::get<qint64>(v) : -1;
    }

    // A save of the batch by officer 1234 of TRP01, D01; \a cells come between the batch and the officer.
    static Request save(const QString& action, qint64 batch, const QList<Cell>& cells)
    {
        Request r = request(Save);
        r.dataSets.insert("CONFIRMATION",
                          record(QList<Cell>{{"ACTION", FieldType::Text, action},
                                             {"DLY_RCPT_NBR", FieldType::Double, double(batch)}} +
                                 cells +
                                 QList<Cell>{{"TRP_ID", FieldType::Text, QStringLiteral("TRP01")},
                                             {"TRP_DSTRCT_ID", FieldType::Text, QStringLiteral("D01")},
                                             {"CNFRMTN_OFCR_ID", FieldType::Long, qint64(1234)}}));
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
        const QString today = QDate::currentDate().toString("MM-dd-yyyy");
        return save(
            "UNCONFIRM", batch,
            {{"CNFRMTN_DT", FieldType::Text, today}, {"DLY_RCPT_CMMT_TXT", FieldType::Text, comment}});
    }

    std::vector<std::unique_ptr<Client>> eightSignedIn()
    {
        std::vector<std::unique_ptr<Client>> clients;
        for (int i = 0; i < 8; ++i)
            if (auto client = signedIn())
                clients.push_back(std::move(client));
        return clients;
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
        QTest::newRow("viewer") << "viewer"
                                << "viewer" << true;
        QTest::newRow("trailing blank") << "demo"
                                        << "demo " << false;
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
        if (!accepted)
            QCOMPARE(as<Error>(answer)->text, QString("The user name or password is not correct."));
    }

    void sessionShouldCarryTheProfileResumeAndExpire()
    {
        Client first(m_backend.url());
        const auto session = first.login("demo", "demo");
        QVERIFY(session);
        QCOMPARE(session->profile, (Profile{"demo", "TRP01", "D01", 1234, "Jane Roe"}));
        Client second(m_backend.url());
        QCOMPARE(as<Session>(second.exchange(Resume{session->token}))->profile, session->profile);
        Client third(m_backend.url());
        QCOMPARE(errorCode(third.exchange(Resume{session->token + "0"})),
                 QString(sessionerr::SessionExpired));

        // Nine hours without use, longer than the idle limit.
        sql("UPDATE user_session SET last_seen = last_seen - 32400");
        const auto reply = ask(first, search("D", "0012301", "T"));
        QVERIFY(reply && reply->dataSets.isEmpty());
        QCOMPARE(reply->errors.value(0).code, QString(sessionerr::SessionExpired));
        QCOMPARE(errorCode(first.exchange(Ping{"after the end"})), QString(sessionerr::NotSignedIn));
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
        QCOMPARE(reference->codeTables.value("CNFRMDOC").keys(), (QStringList{"A", "D", "N", "R"}));
        QCOMPARE(reference->codeTables.value("FUNDTYP"),
                 (QMap<QString, QString>{
                     {"C", "Cash"}, {"K", "Check"}, {"X", "Overage Adjustment"}, {"R", "Credit Card"}}));
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
        const QString none = "SELECT rcpt_nbr FROM rcpt WHERE 1 = 0";
        const QString byNumber = "SELECT rcpt_nbr FROM rcpt WHERE cnfrmtn_nbr = '000' || '{n}' ORDER BY 1";
        const QString ofAccount =
            "SELECT r.rcpt_nbr FROM rcpt r JOIN rcvbl_aplctn a ON a.rcpt_nbr = r.rcpt_nbr "
            "WHERE a.acct_rcvbl_nbr = {n} AND r.cnfrmtn_nbr IS %1 ORDER BY r.dly_rcpt_nbr, r.rcpt_nbr";
        // clang-format off
        QTest::newRow("D confirmed, padded type") << "D " << "12301" << "T" << confirmedOf << true;
        QTest::newRow("D confirmed asked unconfirmed") << "D" << "0012301" << "F" << unconfirmedOf << false;
        QTest::newRow("D with check digit") << "D" << "0012330-4" << "F" << unconfirmedOf << true;
        QTest::newRow("D no such batch") << "D" << "9999999" << "F" << unconfirmedOf << false;
        QTest::newRow("D sql") << "D" << "'; DELETE FROM rcpt; --" << "F" << none << false;
        QTest::newRow("D every unconfirmed, up to the limit") << "D" << "" << "F"
            << QString("SELECT rcpt_nbr FROM rcpt WHERE cnfrmtn_nbr IS NULL ORDER BY dly_rcpt_nbr, rcpt_nbr "
                       "LIMIT %1").arg(SearchLimit) << false;
        QTest::newRow("N unpadded") << "N" << "1001" << "T" << byNumber << true;
        QTest::newRow("N asked unconfirmed") << "N" << "0001001" << "F" << none << false;
        QTest::newRow("R confirmed receipt") << "R" << "1000001" << "T" << "SELECT rcpt_nbr FROM rcpt WHERE rcpt_nbr = {n}" << false;
        QTest::newRow("R asked unconfirmed") << "R" << "1000001" << "F" << none << false;
        QTest::newRow("A confirmed") << "A" << "{account}" << "T" << ofAccount.arg("NOT NULL") << false;
        QTest::newRow("A unconfirmed") << "A" << "{account}" << "F" << ofAccount.arg("NULL") << false;
        // clang-format on
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
        for (const char* field : {"RCPT_DT", "RCPT_AMT", "CNFRMTN_NBR", "ISS_OFCR_ID"}) {
            QStringList stored;
            for (const QString& receipt : expected)
                stored += sql(QString("SELECT %1 FROM rcpt WHERE rcpt_nbr = ?").arg(field), {receipt});
            if (QString(field) == "RCPT_AMT") // stored in ten-thousandths
                for (QString& amount : stored)
                    amount = moneyToText(Money{amount.toLongLong()});
            QCOMPARE(column(receipts, field), stored);
        }
        if (batchRecord) {
            const DataSet& batch = reply->dataSets["CONFIRMATION"];
            QCOMPARE(batch.records.size(), 1);
            const QString batchNumber =
                sql("SELECT dly_rcpt_nbr FROM rcpt WHERE rcpt_nbr = ?", {expected.front()}).value(0);
            QCOMPARE(text(batch.value(0, "DLY_RCPT_NBR")), batchNumber);
            QCOMPARE(text(batch.value(0, "CNFRMTN_NBR")),
                     sql("SELECT cnfrmtn_nbr FROM dly_rcpt WHERE dly_rcpt_nbr = ?", {batchNumber}).value(0));
            QVERIFY(batch.fieldIndex("CNFRMTN_DT") >= 0 && batch.fieldIndex("DLY_RCPT_CMMT_TXT") >= 0);
        }
    }

    void requestShouldBeRefusedWithItsReason_data()
    {
        QTest::addColumn<Message>("message");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("text"); // empty: not compared
        QTest::newRow("search by unknown type") << Message(search("Q", "1", "F")) << replyerr::BadRequest
                                                << "Searching by the document type \"Q\" is not supported.";
        QTest::newRow("search state not T or F")
            << Message(search("D", "1", "Y")) << replyerr::BadRequest
            << "Say \"T\" for confirmed or \"F\" for unconfirmed receipts, not \"Y\".";
        QTest::newRow("search without criteria")
            << Message(request(Search)) << replyerr::BadRequest
            << "A search needs a document type, a number (which may be empty) and whether "
               "confirmed or unconfirmed receipts are meant.";
        QTest::newRow("unknown receipt")
            << Message(request(Details, {{"key:RCPT_NBR", "99999999"}, {"key:THIN", "Yes"}}))
            << replyerr::NotFound << "Receipt 99999999 does not exist.";
        QTest::newRow("unknown form type")
            << Message(request(FormNumber, {{"key:FORM_TYP_CD", "Z"}})) << replyerr::BadRequest
            << "There are no numbers for the form type \"Z\".";
        QTest::newRow("unknown request code") << Message(request(64)) << errc::UnknownRequestCode << "";
    }
    void requestShouldBeRefusedWithItsReason()
    {
        QFETCH(Message, message);
        QFETCH(QString, code);
        QFETCH(QString, text);
        auto client = signedIn();
        QVERIFY(client);
        const auto reply = as<Reply>(client->exchange(message));
        QVERIFY(reply);
        QCOMPARE(reply->key, std::get<Request>(message).key);
        QCOMPARE(reply->requester, QString("TAVRO_CNFRMPYMT"));
        QCOMPARE(reply->errors.value(0).code, code);
        if (!text.isEmpty())
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
        }
        QCOMPARE(applied, sqlNumber("SELECT rcpt_amt FROM rcpt WHERE rcpt_nbr = ?", {receipt}));

        const DataSet& funds = reply->dataSets["FUND"];
        QCOMPARE(
            fieldNames(funds),
            (QStringList{"FUND_TYP_CD:text", "FUND_RFRNC_NBR:text", "FUND_AMT:currency", "FUND_DESC:text",
                         "EXPRTN_MO_DT:text", "EXPRTN_DY_DT:text", "EXPRTN_YR_DT:text", "FRCPT_NBR:text"}));
        QCOMPARE(column(funds, "FUND_TYP_CD"),
                 sql("SELECT fund_typ_cd FROM fund WHERE rcpt_nbr = ? ORDER BY fund_seq", {receipt}));
    }

    void fundsDetailShouldFollowTheListedOrder_data()
    {
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("three receipts, not sorted") << QStringList{"1000003", "1000001", "1000002"};
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
        QCOMPARE(column(reply->dataSets.value("FUND"), "FRCPT_NBR"), expected);
        QVERIFY(!reply->dataSets.contains("ACNTSRCVBL"));
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

    void confirmAndUnconfirmShouldNumberTheReceiptsAndAudit()
    {
        auto client = signedIn();
        QVERIFY(client);
        const qint64 batch = unconfirmedBatch();
        const qint64 number = takeNumber(*client);
        QCOMPARE(takeNumber(*client), number + 1);
        const QString padded = QString::number(number).rightJustified(7, u'0');
        const QDate today = QDate::currentDate();
        auto reply = ask(*client, confirm(batch, padded, today));
        QVERIFY2(reply && reply->errors.isEmpty(), qPrintable(reply->errors.value(0).text));
        QCOMPARE(text(reply->dataSets["CONFIRMATION"].value(0, "CNFRMTN_NBR")), padded);
        QCOMPARE(sql("SELECT DISTINCT cnfrmtn_nbr FROM rcpt WHERE dly_rcpt_nbr = ?", {batch}),
                 QStringList{padded});
        QCOMPARE(sql("SELECT CAST(cnfrmtn_ofcr_id AS TEXT) || ' ' || cnfrmtn_dt FROM dly_rcpt WHERE "
                     "dly_rcpt_nbr = ?",
                     {batch}),
                 QStringList{"1234 " + today.toString(Qt::ISODate)});
        QCOMPARE(sqlNumber("SELECT used_by_batch FROM form_nbr WHERE form_nbr = ?", {number}), batch);
        QCOMPARE(
            sqlNumber("SELECT total_amt FROM cnfrmtn_audit WHERE dly_rcpt_nbr = ? AND action = 'UPD' AND "
                      "user_id = 'demo' AND ofcr_id = 1234 AND cnfrmtn_nbr = ?",
                      {batch, padded}),
            sqlNumber("SELECT SUM(rcpt_amt) FROM rcpt WHERE dly_rcpt_nbr = ?", {batch}));
        QCOMPARE(text(ask(*client, search("D", QString::number(batch), "T"))
                          ->dataSets["CONFIRMATION"]
                          .value(0, "CNFRMTN_NBR")),
                 padded);

        const QString comment = "Wrong check total.\nRecount tomorrow; 'quotes' and \"more\" stay.";
        reply = ask(*client, unconfirm(batch, "  " + comment + "  "));
        QVERIFY2(reply && reply->errors.isEmpty(), qPrintable(reply->errors.value(0).text));
        QCOMPARE(sqlNumber("SELECT COUNT(*) FROM rcpt WHERE dly_rcpt_nbr = ? AND cnfrmtn_nbr IS NOT NULL",
                           {batch}),
                 qint64(0));
        QCOMPARE(sql("SELECT action || ' ' || cnfrmtn_nbr FROM cnfrmtn_audit WHERE dly_rcpt_nbr = ? ORDER BY "
                     "audit_id DESC",
                     {batch})
                     .value(0),
                 "UNCONFIRM " + padded);
        const auto found = ask(*client, search("D", QString::number(batch), "F"));
        QVERIFY(found && found->dataSets.contains("RECEIPT"));
        QCOMPARE(text(found->dataSets["CONFIRMATION"].value(0, "DLY_RCPT_CMMT_TXT")), comment);
        QVERIFY(
            std::holds_alternative<std::monostate>(found->dataSets["CONFIRMATION"].value(0, "CNFRMTN_NBR")));
        // The number of the undone confirmation stays used.
        QCOMPARE(ask(*client, confirm(batch, padded, today))->errors.value(0).code,
                 QString(replyerr::NumberUsed));
    }

    void saveShouldRefuseWhatBreaksARule_data()
    {
        QTest::addColumn<QString>("batch");  // unconfirmed, confirmed or a number
        QTest::addColumn<QString>("action"); // UPD, UNCONFIRM or anything
        QTest::addColumn<QString>("number"); // fresh, used, or the text sent
        QTest::addColumn<int>("days");       // date from today; -99999 the day before the latest receipt
        QTest::addColumn<QString>("comment");
        QTest::addColumn<QString>("other"); // officer, trp, district: the record names another
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("text"); // {batch}, {number}, {date}, {latest} are filled in
        const QString u = "unconfirmed";
        const QString c = "confirmed";
        const QString trpText = "The confirmation names another TRP or district; you are signed in for TRP "
                                "TRP01, district D01.";
        // clang-format off
        QTest::newRow("batch already confirmed") << c << "UPD" << "fresh" << 0 << "" << "" << replyerr::AlreadyConfirmed
            << "Daily receipt {batch} is already confirmed (confirmation number {current}).";
        QTest::newRow("batch does not exist") << "7654321" << "UPD" << "fresh" << 0 << "" << "" << replyerr::NotFound
            << "Daily receipt 7654321 does not exist.";
        QTest::newRow("number never handed out") << u << "UPD" << "9999990" << 0 << "" << "" << replyerr::NumberNotIssued
            << "Confirmation number 9999990 was never handed out. Get a confirmation number first.";
        QTest::newRow("number already used") << u << "UPD" << "used" << 0 << "" << "" << replyerr::NumberUsed
            << "Confirmation number {number} has already been used for daily receipt {usedby}. Get a new "
               "confirmation number.";
        QTest::newRow("number missing") << u << "UPD" << "" << 0 << "" << "" << replyerr::BadRequest
            << "The confirmation number is missing.";
        QTest::newRow("wrong check digit") << u << "UPD" << "fresh-wrong-check" << 0 << "" << "" << replyerr::BadRequest
            << "The confirmation number is not valid: The check digit does not match.";
        QTest::newRow("date tomorrow") << u << "UPD" << "fresh" << 1 << "" << "" << replyerr::BadDate
            << "The confirmation date, {date}, is later than today.";
        QTest::newRow("date before the latest receipt") << u << "UPD" << "fresh" << -99999 << "" << "" << replyerr::BadDate
            << "The confirmation date, {date}, is earlier than the latest receipt of daily receipt {batch}, dated "
               "{latest}.";
        QTest::newRow("another officer") << u << "UPD" << "fresh" << 0 << "" << "officer" << replyerr::OtherOfficer
            << "The confirmation names another officer; you are signed in as officer 1234.";
        QTest::newRow("another TRP") << u << "UPD" << "fresh" << 0 << "" << "trp" << replyerr::OtherOfficer << trpText;
        QTest::newRow("unconfirm, another district") << c << "UNCONFIRM" << "" << 0 << "Recount" << "district"
            << replyerr::OtherOfficer << trpText;
        QTest::newRow("unconfirm an unconfirmed batch") << u << "UNCONFIRM" << "" << 0 << "Recount" << ""
            << replyerr::NotConfirmed << "Daily receipt {batch} is not confirmed, so it cannot be unconfirmed.";
        QTest::newRow("unconfirm without comment") << c << "UNCONFIRM" << "" << 0 << " \t " << ""
            << replyerr::CommentRequired << "An explanation comment is required to unconfirm a batch.";
        QTest::newRow("unconfirm with 255 characters") << c << "UNCONFIRM" << "" << 0 << QString(255, u'x') << ""
            << replyerr::CommentTooLong << "The explanation comment may have at most 254 characters; it has 255.";
        QTest::newRow("unknown action") << u << "DELETE" << "fresh" << 0 << "" << "" << replyerr::BadRequest
            << "The confirmation record must say UPD or UNCONFIRM.";
        // clang-format on
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
        const QString usedBy = sql("SELECT MIN(used_by_batch) FROM form_nbr WHERE form_nbr = (SELECT "
                                   "MIN(form_nbr) FROM form_nbr "
                                   "WHERE used_by_batch IS NOT NULL)")
                                   .value(0)
                                   .rightJustified(7, u'0');
        if (number.startsWith("fresh")) {
            const QString seven = QString::number(takeNumber(*client)).rightJustified(7, u'0');
            number = number == "fresh" ? seven : seven + "-" + QString::number((checkDigit(seven) + 1) % 10);
        } else if (number == "used") {
            number = sql("SELECT MIN(form_nbr) FROM form_nbr WHERE used_by_batch IS NOT NULL")
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
        const QHash<QString, std::pair<QString, Value>> others = {
            {"officer", {"CNFRMTN_OFCR_ID", qint64(1301)}},
            {"trp", {"TRP_ID", QStringLiteral("TRP02")}},
            {"district", {"TRP_DSTRCT_ID", QStringLiteral("D02")}}};
        if (others.contains(other))
            rec.records[0][rec.fieldIndex(others[other].first)] = others[other].second;
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
        reply = ask(*client, unconfirm(batch, QString(254, u'y')));
        QVERIFY2(reply && reply->errors.isEmpty(), qPrintable(reply->errors.value(0).text));
        QCOMPARE(
            sql("SELECT dly_rcpt_cmmt_txt FROM dly_rcpt WHERE dly_rcpt_nbr = ?", {batch}).value(0).size(),
            254);
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
        const auto clients = eightSignedIn();
        QVERIFY(clients.size() == 8);
        const QStringList batches =
            sql("SELECT dly_rcpt_nbr FROM dly_rcpt WHERE cnfrmtn_nbr IS NULL ORDER BY 1");
        QVERIFY(!batches.isEmpty());
        for (int round = 0; round < 50; ++round) {
            const qint64 batch = batches[round % batches.size()].toLongLong();
            QList<Request> saves; // every officer holds a number before any save is sent
            for (auto& client : clients)
                saves.append(confirm(batch, QString::number(takeNumber(*client)), QDate::currentDate()));
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
        const auto clients = eightSignedIn();
        QVERIFY(clients.size() == 8);
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
        // clang-format off
        frames << "" << " " << "{" << "[]" << "null" << "42" << "\"request\"" << "{\"type\":\"request\","
               << "{'type':'ping'}" << "{\"type\":\"ping\",}" << "{type:\"ping\"}" << "{\"type\":\"ping\"} trailing"
               << "{\"type\":\"ping\"}{\"type\":\"ping\"}" << "{\"type\":\"\\u0000\"}" << "{\"type\":\"PING\"}"
               << "{\"type\":\"login\"}" << "{\"type\":\"reply\",\"key\":\"x\",\"requester\":\"y\"}"
               << "{\"type\":\"error\",\"code\":\"c\",\"text\":\"t\"}" << "{\"type\":\"reference\",\"extra\":1}"
               << QString(2000, u'[') << QString(2000, u'{')
               << "{\"type\":\"ping\",\"key\":" + QString(5000, u'[') + QString(5000, u']') + "}";
        for (const QString& key : QStringList{"\"a\\u0000b\"", "\"\\ud800\"", "\"\\udc00\\ud800\"", "\"\\x41\"", "1e999", "-",
                                   ".5", "01", "NaN", "Infinity", "true", "[]"})
            frames << "{\"type\":\"ping\",\"key\":" + key + "}";
        for (const QString& code : QStringList{"0", "-1", "62", "64", "70", "89", "91", "63.5", "\"63\"", "null", "true", "[63]",
                                    "{}", "1e3", "9223372036854775808", "-9223372036854775809",
                                    "99999999999999999999999999"})
            frames << "{\"type\":\"request\"," + envelope + ",\"requestCode\":" + code + "}";
        const QString field = R"("dataSets":{"CONFIRMATION":{"fields":[{"name":"%1","type":"%2"}],"records":[[%3]]}})";
        const QStringList wrongMembers = {
            R"("criteria":{})", R"("criteria":[1])", R"("criteria":[null])",
            R"("criteria":[{"systemName":"KESTROVA","key":"key:DOC_NBR","operator":"="}])",
            R"("criteria":[{"systemName":"KESTROVA","key":"key:DOC_NBR","operator":"=","value":12301}])",
            R"("criteria":[{"systemName":1,"key":"key:DOC_NBR","operator":"=","value":"1"}])",
            R"("dataSets":[])", R"("dataSets":{"CONFIRMATION":[]})", R"("dataSets":{"CONFIRMATION":{"fields":[],"records":[[]]}})",
            field.arg("ACTION", "text", "1"), field.arg("ACTION", "text", R"("UPD","x")"), field.arg("ACTION", "varchar", "\"UPD\""),
            field.arg("X", "currency", "\"1.23456\""), field.arg("X", "currency", "\"1e400\""),
            field.arg("X", "date", "\"2005-13-01\""), field.arg("X", "long", "1.5"),
            field.arg("X", "long", "123456789012345678901234567890"), field.arg("X", "double", "\"1\""),
            field.arg("X", "bool", "0"), R"("options":"COMMITANYWAY")", R"("options":[null])"};
        // clang-format on
        for (const QString& member : wrongMembers) {
            for (const char* code : {"63", "69", "72", "90"})
                frames << "{\"type\":\"request\"," + envelope + ",\"requestCode\":" + code + "," + member +
                              "}";
        }

        // SQL and other metacharacters in every criterion of every request kind, and in every field of a
        // save.
        const QStringList nasty = {"'",
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
                                   "NULL",
                                   "\t",
                                   "\r\n",
                                   "%00",
                                   "\U0001F600"};
        QList<Request> wellFormed;
        for (const QString& value : nasty) {
            wellFormed << search(value, "1", "F") << search("D", "1", value)
                       << request(FormNumber, {{"key:FORM_TYP_CD", value}})
                       << request(Details, {{"key:RCPT_NBR", value}})
                       << confirm(unconfirmedBatch(), value, QDate::currentDate());
            // The action, the batch (as text) and the TRP of an unconfirmation.
            for (const int field : {0, 1, 4}) {
                Request r = unconfirm(confirmedBatch(), "x");
                r.dataSets["CONFIRMATION"].fields[field].type = FieldType::Text;
                r.dataSets["CONFIRMATION"].records[0][field] = value;
                wellFormed << r;
            }
        }
        for (const Request& r : std::as_const(wellFormed))
            frames << QString::fromUtf8(encode(r));
        QVERIFY2(frames.size() >= 250, qPrintable(QString::number(frames.size())));

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
};

QTEST_GUILESS_MAIN(TestServer)
#include "tst_server.moc"
