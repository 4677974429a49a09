#include "protocol/Messages.h"

#include <limits>
#include <QJsonDocument>
#include <QTest>

using namespace tavro::protocol;

Q_DECLARE_METATYPE(tavro::protocol::Message)
Q_DECLARE_METATYPE(tavro::protocol::Value)

namespace {

constexpr qint64 Int64Max = std::numeric_limits<qint64>::max();
constexpr qint64 Int64Min = std::numeric_limits<qint64>::min();

DataSet everyType()
{
    DataSet set;
    set.fields = {{"RCPT_NBR", FieldType::Text},       {"F", FieldType::Long},
                  {"DLY_RCPT_NBR", FieldType::Double}, {"RCPT_AMT", FieldType::Currency},
                  {"RCPT_DT", FieldType::Date},        {"FLAG", FieldType::Bool}};
    set.records = {
        {QString("1001"), qint64(12345), 12345.0, Money{125000}, QDate(2005, 1, 26), true},
        {QString(), qint64(0), -0.5, Money{-1}, QDate(1, 1, 1), false},
        {QString::fromUtf8("Zoë \"O'Brien\"\t\\ \u20ac \U0001F600"), Int64Max, 1e300, Money{Int64Max},
         QDate(9999, 12, 31), false},
        {std::monostate{}, Int64Min, 1e-300, Money{Int64Min}, std::monostate{}, std::monostate{}},
    };
    return set;
}

Request sampleRequest()
{
    Request r;
    r.key = "K1";
    r.requester = "TAVRO_CnfrmPymt";
    r.userId = "jdoe";
    r.version = "5.1";
    r.requestCode = Save;
    r.criteria = {{"KESTROVA", "key:DOC_NBR", "=", "0012345"}, {"KESTROVA", "key:CONF", "=", ""}};
    r.dataSets.insert("CONFIRMATION", everyType());
    r.dataSets.insert("EMPTY", DataSet{});
    r.options = {"COMMITANYWAY"};
    return r;
}

QByteArray requestFrame(const QByteArray& dataSets)
{
    return R"({"type":"request","key":"K","requester":"R","userId":"u","version":"5.1","requestCode":63,)"
           R"("dataSets":)" +
           dataSets + "}";
}

QByteArray oneValue(const char* type, const QByteArray& value)
{
    return requestFrame(R"({"S":{"fields":[{"name":"V","type":")" + QByteArray(type) + R"("}],"records":[[)" +
                        value + "]]}}");
}

} // namespace

class TestMessages : public QObject
{
    Q_OBJECT

private slots:
    void shouldRoundTripEveryMessage_data()
    {
        QTest::addColumn<Message>("message");
        QTest::newRow("login") << Message(Login{"jdoe", QString::fromUtf8("pa\"ss wörd")});
        QTest::newRow("ping") << Message(Ping{"p1"});
        QTest::newRow("request") << Message(sampleRequest());
        QTest::newRow("session") << Message(
            Session{"t", Profile{"jdoe", "T1", "D9", -2147483647 - 1, "Jane Roe"}});
        Reference reference;
        reference.codeTables["CNFRMDOC"] = {{"D", "Daily Receipt"}, {"A", "Account"}};
        reference.codeTables["EMPTY"] = {};
        reference.officers = {{1234, "Jane Roe"}, {-5, "Negative"}, {2147483647, "Max"}};
        QTest::newRow("reference") << Message(reference);
        Reply reply;
        reply.key = "K1";
        reply.errors = {{"stale", "The batch was confirmed by someone else"}};
        reply.dataSets.insert("RECEIPT", everyType());
        QTest::newRow("reply") << Message(reply);
        QTest::newRow("error") << Message(Error{"bad-json", "nope"});
    }
    void shouldRoundTripEveryMessage()
    {
        QFETCH(Message, message);
        const QByteArray frame = encode(message);
        const DecodeResult result = decode(frame);
        QVERIFY2(result.message, qPrintable(result.error.text + " in " + frame));
        QVERIFY(*result.message == message);
        QCOMPARE(encode(*result.message), frame);
        QCOMPARE(typeName(message), QJsonDocument::fromJson(frame).object().value("type").toString());
    }

    void shouldRefuseHostileFrames_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("code");
        const QByteArray request =
            R"({"type":"request","key":"K","requester":"R","userId":"u","version":"5.1")";
        // clang-format off
        QTest::newRow("empty") << QByteArray() << errc::BadJson;
        QTest::newRow("truncated") << QByteArray(R"({"type":"login","user":"a")") << errc::BadJson;
        QTest::newRow("raw NUL") << QByteArray("{\"type\":\"ping\"}\0", 16) << errc::BadJson;
        QTest::newRow("NUL in string") << QByteArray(R"({"type":"login","user":"a\u0000b","password":""})") << errc::BadValue;
        QTest::newRow("raw byte-order mark starting a text") << QByteArray("{\"type\":\"login\",\"user\":\"\xEF\xBB\xBF" "a\",\"password\":\"\"}") << errc::BadJson;
        QTest::newRow("lone surrogate") << QByteArray(R"({"type":"login","user":"\ud800","password":""})") << errc::BadEncoding;
        QTest::newRow("no type") << QByteArray(R"({"user":"a"})") << errc::MissingMember;
        QTest::newRow("type case") << QByteArray(R"({"type":"LOGIN","user":"a","password":"b"})") << errc::UnknownType;
        QTest::newRow("request code unknown") << request + R"(,"requestCode":64})" << errc::UnknownRequestCode;
        QTest::newRow("field twice") << requestFrame(R"({"S":{"fields":[{"name":"A","type":"text"},{"name":"A","type":"long"}],"records":[]}})") << errc::BadValue;
        QTest::newRow("long beyond int64") << oneValue("long", "9223372036854775808") << errc::WrongType;
        QTest::newRow("currency five decimals") << oneValue("currency", "\"0.00001\"") << errc::BadValue;
        QTest::newRow("deep nesting in criteria")
            << request + ",\"requestCode\":63,\"criteria\":" + QByteArray(500, '[') + QByteArray(500, ']') + "}" << errc::WrongType;
        QTest::newRow("nesting beyond the reader")
            << "{\"type\":\"ping\",\"key\":" + QByteArray(100000, '[') + QByteArray(100000, ']') + "}" << errc::BadJson;
        // clang-format on
    }
    void shouldRefuseHostileFrames()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QString, code);
        const DecodeResult result = decode(frame);
        QVERIFY2(!result.message, frame.left(200).constData());
        QCOMPARE(result.error.code, code);
        QVERIFY(!result.error.text.isEmpty());
    }

    void shouldAcceptValuesAtTheirLimits_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<Value>("expected");
        // clang-format off
        QTest::newRow("long max") << oneValue("long", "9223372036854775807") << Value(Int64Max);
        QTest::newRow("long min") << oneValue("long", "-9223372036854775808") << Value(Int64Min);
        QTest::newRow("currency min") << oneValue("currency", "\"-922337203685477.5808\"") << Value(Money{Int64Min});
        QTest::newRow("date leap day") << oneValue("date", "\"2004-02-29\"") << Value(QDate(2004, 2, 29));
        QTest::newRow("escapes in text") << oneValue("text", "\"\\\"\\\\\\/\\b\\f\\n\\r\\t\\u00e9\\ud83d\\ude00\"")
                                         << Value(QString::fromUtf8("\"\\/\b\f\n\r\t\u00e9\U0001F600"));
        // clang-format on
    }
    void shouldAcceptValuesAtTheirLimits()
    {
        QFETCH(QByteArray, frame);
        QFETCH(Value, expected);
        const DecodeResult result = decode(frame);
        QVERIFY2(result.message, qPrintable(result.error.text));
        QVERIFY(std::get<Request>(*result.message).dataSets["S"].value(0, "V") == expected);
    }

    void frameSizeLimitShouldBeExact()
    {
        const QByteArray head = "{\"type\":\"login\",\"user\":\"u\",\"password\":\"";
        const QByteArray tail = "\"}";
        QByteArray atLimit = head + QByteArray(MaxFrameBytes - head.size() - tail.size(), 'x') + tail;
        QCOMPARE(atLimit.size(), MaxFrameBytes);
        QVERIFY(decode(atLimit).message);
        atLimit.insert(head.size(), 'x');
        const DecodeResult over = decode(atLimit);
        QVERIFY(!over.message);
        QCOMPARE(over.error.code, QString(errc::TooLarge));
    }
};

QTEST_GUILESS_MAIN(TestMessages)
#include "tst_messages.moc"
