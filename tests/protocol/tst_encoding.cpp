// The encoder writes JSON itself; what it writes must be what Qt's own JSON writer gives for the
// same content, so a frame read by Qt and written again comes out byte for byte the same.

#include "protocol/Messages.h"

#include <cmath>
#include <limits>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>
#include <QTest>

using namespace tavro::protocol;

Q_DECLARE_METATYPE(tavro::protocol::Message)
Q_DECLARE_METATYPE(tavro::protocol::Value)

namespace {

QString units(std::initializer_list<char16_t> codes)
{
    QString text;
    for (char16_t c : codes)
        text.append(QChar(c));
    return text;
}

DataSet oneField(FieldType type, QList<Value> values)
{
    DataSet set{{{QStringLiteral("V"), type}}, {}};
    for (Value& value : values) {
        QList<Value> record; // not an initializer list: GCC 12 at -O2 then warns of a variant it thinks unset
        record.append(std::move(value));
        set.records.append(std::move(record));
    }
    return set;
}

Reply replyWith(QMap<QString, DataSet> sets)
{
    return Reply{QStringLiteral("K"), QStringLiteral("R"), {}, std::move(sets)};
}

QByteArray rewrittenByQt(const QByteArray& frame)
{
    return QJsonDocument::fromJson(frame).toJson(QJsonDocument::Compact);
}

} // namespace

class TestEncoding : public QObject
{
    Q_OBJECT

private slots:
    void shouldWriteWhatQtWrites_data()
    {
        QTest::addColumn<Message>("message");
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double inf = std::numeric_limits<double>::infinity();

        QTest::newRow("whole numbers at the edges") << Message(replyWith(
            {{QStringLiteral("L"),
              oneField(FieldType::Long, {qint64(0), qint64(-1), std::numeric_limits<qint64>::max(),
                                         std::numeric_limits<qint64>::min(), qint64(9007199254740993)})}}));
        QTest::newRow("doubles") << Message(
            replyWith({{QStringLiteral("D"),
                        oneField(FieldType::Double, {0.1, -0.0, 3.0, 1e300, 1e-300, 9007199254740993.0, -1e21,
                                                     123456789.125, nan, inf, -inf})}}));
        QTest::newRow("money, dates, flags and nulls") << Message(replyWith(
            {{QStringLiteral("M"),
              DataSet{{{QStringLiteral("A"), FieldType::Currency},
                       {QStringLiteral("D"), FieldType::Date},
                       {QStringLiteral("B"), FieldType::Bool},
                       {QStringLiteral("T"), FieldType::Text}},
                      {{Money{-1}, QDate(1, 1, 1), true, QString()},
                       {Money{std::numeric_limits<qint64>::min()}, QDate(), false, std::monostate{}},
                       {std::monostate{}, QDate(9999, 12, 31), std::monostate{}, QStringLiteral("x")},
                       {Money{std::numeric_limits<qint64>::max()}, QDate(999, 10, 9), true, QString()}}}}}));

        // Qt orders object members by name; these are not in that order as typed.
        QTest::newRow("data sets and their names")
            << Message(replyWith({{QStringLiteral("b"), DataSet{}},
                                  {QStringLiteral("B"), oneField(FieldType::Text, {})},
                                  {QString::fromUtf8("Ä"), DataSet{}},
                                  {units({0xd83d, 0xde00}), DataSet{}},
                                  {units({0xffe0}), DataSet{}},
                                  {QStringLiteral("a\"b"), DataSet{}}}));
        QTest::newRow("reply with errors")
            << Message(Reply{QStringLiteral("k"),
                             QStringLiteral("r"),
                             {{QStringLiteral("bad-request"), QStringLiteral("No.")}, {QString(), QString()}},
                             {}});

        Request request;
        request.key = QStringLiteral("K1");
        request.requester = QStringLiteral("TAVRO_CnfrmPymt");
        request.userId = QStringLiteral("jdoe");
        request.version = QStringLiteral("5.1");
        request.requestCode = Save;
        request.criteria = {{QStringLiteral("S"), QStringLiteral("key:DOC_NBR"), QStringLiteral("="),
                             QStringLiteral("0012345")},
                            {QString(), QString(), QString(), QString()}};
        request.dataSets.insert(QStringLiteral("FUND"), oneField(FieldType::Currency, {Money{125000}}));
        request.options = {QStringLiteral("COMMITANYWAY"), QString()};
        QTest::newRow("request") << Message(request);
        QTest::newRow("request without lists") << Message(Request{});

        QTest::newRow("session") << Message(Session{
            QStringLiteral("t"), Profile{QStringLiteral("u"), QStringLiteral("T1"), QStringLiteral("D9"),
                                         -2147483647 - 1, QStringLiteral("Jane")}});
        Reference reference;
        reference.codeTables[QStringLiteral("Z")] = {{QStringLiteral("b"), QStringLiteral("B")},
                                                     {QStringLiteral("A"), QStringLiteral("a")}};
        reference.codeTables[QStringLiteral("EMPTY")] = {};
        // Officer numbers become member names, ordered as text.
        reference.officers = {{9, QStringLiteral("nine")},
                              {10, QStringLiteral("ten")},
                              {-5, QStringLiteral("minus")},
                              {2147483647, QStringLiteral("max")}};
        QTest::newRow("reference") << Message(reference);
        QTest::newRow("reference request") << Message(ReferenceRequest{});
        QTest::newRow("resume") << Message(Resume{QStringLiteral("tok")});
        QTest::newRow("ping") << Message(Ping{QStringLiteral("p")});
    }

    void shouldWriteWhatQtWrites()
    {
        QFETCH(Message, message);
        const QByteArray frame = encode(message);
        QCOMPARE(frame, rewrittenByQt(frame));
        QVERIFY2(QJsonDocument::fromJson(frame).isObject(), frame.constData());
    }

    void textsShouldBeWrittenAsQtWritesThem_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("readsBack"); // a lone surrogate cannot be stored, so it is refused
        QTest::newRow("empty") << QString() << true;
        QTest::newRow("control characters and escapes")
            << units({0x01, 0x08, 0x09, 0x0a, 0x0c, 0x0d, 0x1f, 0x22, 0x5c, 0x2f, 0x7f, 0x20}) << true;
        QTest::newRow("two- three- and four-byte characters")
            << QString::fromUtf8("Zoë € \u07ff\u0800\uffff\U0001F600") << true;
        QTest::newRow("lone surrogates")
            << units({0x41, 0xdc00, 0xd83d, 0x42, 0xdbff, 0xdfff, 0xd800}) << false;
        QTest::newRow("byte-order marks and line separators")
            << units({0xfeff, 0xfeff, 0x2028, 0x2029, 0x3c, 0x2f, 0xfeff}) << true;
        QTest::newRow("long") << QString(5000, QChar(0x20ac)) + QString(5000, QChar(u'\n')) << true;
    }

    // Written as Qt writes the same object, except a byte-order mark at a text's start: Qt's
    // reader drops a raw one there, so it is escaped.
    void textsShouldBeWrittenAsQtWritesThem()
    {
        QFETCH(QString, text);
        QFETCH(bool, readsBack);
        const QJsonObject object{{"code", "c"}, {"text", text}, {"type", "error"}};
        QByteArray expected = QJsonDocument(object).toJson(QJsonDocument::Compact);
        expected.replace("\"\xEF\xBB\xBF", "\"\\ufeff");
        const QByteArray frame = encode(Error{QStringLiteral("c"), text});
        QCOMPARE(frame, expected);
        const DecodeResult back = decode(frame);
        QCOMPARE(bool(back.message), readsBack);
        if (readsBack)
            QCOMPARE(std::get<Error>(*back.message).text, text);
    }

    // Amounts and dates are written by hand; they must read as moneyToText() and Qt's ISO date.
    void amountsAndDatesShouldBeWrittenAsTheirTexts_data()
    {
        QTest::addColumn<Value>("value");
        QTest::addColumn<QJsonValue>("expected");
        for (const qint64 units :
             {qint64(0), qint64(1), qint64(-1), qint64(10), qint64(10000), qint64(-10000), qint64(12345678),
              qint64(-50), qint64(1230000), qint64(99990000), std::numeric_limits<qint64>::max(),
              std::numeric_limits<qint64>::min()})
            QTest::addRow("money %lld", static_cast<long long>(units))
                << Value(Money{units}) << QJsonValue(moneyToText(Money{units}));
        for (const QDate& date : {QDate(2005, 1, 26), QDate(1, 1, 1), QDate(999, 10, 9), QDate(9999, 12, 31),
                                  QDate(10000, 1, 1), QDate(-44, 3, 15), QDate()}) {
            QTest::addRow("date %s", qPrintable(date.toString(Qt::RFC2822Date)))
                << Value(date)
                << (date.isValid() ? QJsonValue(date.toString(Qt::ISODate)) : QJsonValue(QJsonValue::Null));
        }
    }

    void amountsAndDatesShouldBeWrittenAsTheirTexts()
    {
        QFETCH(Value, value);
        QFETCH(QJsonValue, expected);
        const FieldType type = std::holds_alternative<Money>(value) ? FieldType::Currency : FieldType::Date;
        const QByteArray frame = encode(replyWith({{QStringLiteral("S"), oneField(type, {value})}}));
        const QJsonValue written =
            QJsonDocument::fromJson(frame)["dataSets"]["S"]["records"].toArray().at(0).toArray().at(0);
        QCOMPARE(written, expected);
    }

    // The decoder checks UTF-8 without decoding it; it must refuse exactly what Qt's decoder refuses.
    void decoderShouldRefuseWhatTheUtf8DecoderRefuses_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QList<std::pair<const char*, QByteArray>> rows{
            {"two-byte", "\xC3\xA9"},
            {"overlong two-byte", "\xC0\x80"},
            {"overlong three-byte", "\xE0\x80\x80"},
            {"overlong four-byte", "\xF0\x80\x80\x80"},
            {"encoded high surrogate", "\xED\xA0\x80"},
            {"last before surrogates", "\xED\x9F\xBF"},
            {"U+FFFF", "\xEF\xBF\xBF"},
            {"U+10FFFF", "\xF4\x8F\xBF\xBF"},
            {"beyond U+10FFFF", "\xF4\x90\x80\x80"},
            {"F5 lead", "\xF5\x80\x80\x80"},
            {"lone continuation", "\x80"},
            {"lead without continuation", "\xE2\x82x"},
            {"byte-order mark inside", "x\xEF\xBB\xBF"},
        };
        for (const auto& [name, bytes] : rows)
            QTest::newRow(name) << bytes;
        QTest::newRow("cut at the end") << QByteArray("\xE2\x82");
    }

    void decoderShouldRefuseWhatTheUtf8DecoderRefuses()
    {
        QFETCH(QByteArray, bytes);
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8.decode(bytes);
        const bool broken = utf8.hasError();
        // Inside a text member, and as the very end of the frame.
        for (const QByteArray& frame :
             {R"({"type":"ping","key":")" + bytes + R"("})", R"({"type":"ping"})" + bytes}) {
            const DecodeResult result = decode(frame);
            QCOMPARE(result.error.code == QLatin1String(errc::BadEncoding), broken);
        }
        if (!broken) {
            const DecodeResult result = decode(R"({"type":"ping","key":")" + bytes + R"("})");
            QVERIFY(result.message);
            QCOMPARE(std::get<Ping>(*result.message).key, text);
        }
    }

    // Field descriptions that are plainly right take a short way; every other one must still be
    // refused, and named by its path.
    void badFieldsShouldBeRefusedWithTheirPath_data()
    {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QString>("code");
        const auto row = [](const char* name, const char* field, const char* code) {
            QTest::newRow(name) << QByteArray(field) << QString(code);
        };
        row("empty name", R"({"name":"","type":"text"})", errc::BadValue);
        row("unknown type", R"({"name":"B","type":"money"})", errc::BadValue);
        row("type with NUL", R"({"name":"B","type":"text\u0000"})", errc::BadValue);
        row("name with NUL", R"({"name":"B\u0000","type":"text"})", errc::BadValue);
        row("name with a lone surrogate", R"({"name":"B\ud800","type":"text"})", errc::BadEncoding);
        row("name a number", R"({"name":5,"type":"text"})", errc::WrongType);
        row("type missing", R"({"name":"B"})", errc::MissingMember);
        row("name missing", R"({"type":"text"})", errc::MissingMember);
        row("not an object", R"(["B","text"])", errc::WrongType);
        row("same name twice", R"({"name":"A","type":"long"})", errc::BadValue);
    }

    void badFieldsShouldBeRefusedWithTheirPath()
    {
        QFETCH(QByteArray, field);
        QFETCH(QString, code);
        const QByteArray frame = R"({"type":"reply","key":"K","requester":"R","dataSets":{"S":{"fields":[)"
                                 R"({"name":"A","type":"text"},)" +
                                 field + R"(],"records":[]}}})";
        const DecodeResult result = decode(frame);
        QVERIFY(!result.message);
        QCOMPARE(result.error.code, code);
        QVERIFY2(result.error.text.contains(QLatin1String("dataSets.S")), qPrintable(result.error.text));
    }

    // The fuzzers' inputs hold the strangest texts the decoder lets through.
    void everyDecodedCorpusFrameShouldEncodeAsQtWrites_data()
    {
        QTest::addColumn<QString>("path");
        const QFileInfoList files =
            QDir(QStringLiteral(TAVRO_FUZZ_DIR "/corpus/decode")).entryInfoList(QDir::Files, QDir::Name);
        QVERIFY(files.size() >= 20);
        for (const QFileInfo& file : files)
            QTest::newRow(qPrintable(file.fileName())) << file.filePath();
    }

    void everyDecodedCorpusFrameShouldEncodeAsQtWrites()
    {
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const DecodeResult decoded = decode(file.readAll());
        const QByteArray frame = decoded.message ? encode(*decoded.message) : encode(decoded.error);
        QCOMPARE(frame, rewrittenByQt(frame));
    }
};

QTEST_GUILESS_MAIN(TestEncoding)
#include "tst_encoding.moc"
