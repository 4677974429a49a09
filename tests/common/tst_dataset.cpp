#include "common/DataSet.h"
#include "runtime/ClassicError.h"
#include "runtime/Currency.h"

#include <limits>
#include <QTest>

using namespace tavro;

namespace {

// One field, one record, sent through the real codec and delivered back.
DataSetPtr throughTheWire(const DataSet& set)
{
    protocol::Request request;
    request.key = QStringLiteral("K");
    request.requestCode = protocol::Save;
    request.dataSets.insert(set.Name(), set.toWire());
    const protocol::DecodeResult decoded = protocol::decode(protocol::encode(request));
    if (!decoded.message)
        qFatal("codec refused the request: %s", qPrintable(decoded.error.text));
    const auto& back = std::get<protocol::Request>(*decoded.message);
    return DataSet::fromWire(set.Name(), back.dataSets.value(set.Name()));
}

QVariant currency(qint64 units)
{
    return QVariant::fromValue(Currency::fromUnits(units));
}

} // namespace

class tst_DataSet : public QObject
{
    Q_OBJECT
private slots:
    void shouldRoundTripEveryFieldTypeThroughTheWire_data();
    void shouldRoundTripEveryFieldTypeThroughTheWire();
    void shouldConvertValuesToTheirFieldType_data();
    void shouldConvertValuesToTheirFieldType();
    void shouldVisitRecordsInSortOrderUntilEof_data();
    void shouldVisitRecordsInSortOrderUntilEof();
    void shouldFillMissingWireValuesWithNull();
};

void tst_DataSet::shouldRoundTripEveryFieldTypeThroughTheWire_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QVariant>("value");

    const auto text = int(FieldType::Text), lng = int(FieldType::Long), dbl = int(FieldType::Double),
               cur = int(FieldType::Currency), date = int(FieldType::Date), boolean = int(FieldType::Bool);
    QTest::newRow("text with line breaks") << text << QVariant(QStringLiteral("a\r\nb\nc"));
    QTest::newRow("empty text is not Null") << text << QVariant(QString(""));
    QTest::newRow("text null") << text << QVariant();
    QTest::newRow("long max") << lng << QVariant::fromValue(std::numeric_limits<qint64>::max());
    QTest::newRow("long min") << lng << QVariant::fromValue(std::numeric_limits<qint64>::min());
    QTest::newRow("double") << dbl << QVariant(0.1);
    QTest::newRow("currency negative smallest") << cur << currency(-1);
    QTest::newRow("currency max") << cur << currency(std::numeric_limits<qint64>::max());
    QTest::newRow("currency min") << cur << currency(std::numeric_limits<qint64>::min());
    QTest::newRow("currency null") << cur << QVariant();
    QTest::newRow("date zero") << date << QVariant(QDate(1899, 12, 30));
    QTest::newRow("bool false") << boolean << QVariant(false);
}

void tst_DataSet::shouldRoundTripEveryFieldTypeThroughTheWire()
{
    QFETCH(int, type);
    QFETCH(QVariant, value);

    DataSet set;
    set.Define(QStringLiteral("CONFIRMATION"));
    set.Prepare();
    set.Recordset()->appendField(QStringLiteral("VALUE"), FieldType(type));
    set.AddNew();
    set.Fields().Item(QStringLiteral("value")).setValue(value);
    set.Update();

    const DataSetPtr back = throughTheWire(set);
    QCOMPARE(back->Name(), QStringLiteral("CONFIRMATION"));
    QCOMPARE(back->RecordCount(), 1);
    QCOMPARE(int(back->Recordset()->fieldType(0)), type);
    back->Prepare();
    back->MoveFirst();
    const QVariant read = back->Fields().Item(QStringLiteral("VALUE")).Value();
    QCOMPARE(read.isNull(), value.isNull());
    if (!value.isNull()) {
        QCOMPARE(read.metaType(), value.metaType());
        if (FieldType(type) == FieldType::Currency)
            QCOMPARE(read.value<Currency>().units(), value.value<Currency>().units());
        else
            QCOMPARE(read, value);
    }
}

void tst_DataSet::shouldConvertValuesToTheirFieldType_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("type");
    QTest::addColumn<QVariant>("expected"); // a null QVariant where an error is expected
    QTest::addColumn<int>("error");

    const auto text = int(FieldType::Text), lng = int(FieldType::Long), dbl = int(FieldType::Double),
               cur = int(FieldType::Currency), date = int(FieldType::Date), boolean = int(FieldType::Bool);
    const auto l = [](qint64 v) { return QVariant::fromValue(v); };
    QTest::newRow("digits to long") << QVariant(" 0012345 ") << lng << l(12345) << 0;
    QTest::newRow("half to even down") << QVariant(2.5) << lng << l(2) << 0;
    QTest::newRow("half to even up") << QVariant(3.5) << lng << l(4) << 0;
    QTest::newRow("true to long is -1") << QVariant(true) << lng << l(-1) << 0;
    QTest::newRow("letters to long") << QVariant("12a4") << lng << QVariant() << int(err::TypeMismatch);
    QTest::newRow("huge double to long") << QVariant(1e300) << lng << QVariant() << int(err::Overflow);
    QTest::newRow("currency to double") << currency(-5) << dbl << QVariant(-0.0005) << 0;
    QTest::newRow("text to currency") << QVariant("1234.5678") << cur << currency(12345678) << 0;
    QTest::newRow("currency text with symbol")
        << QVariant("$5") << cur << QVariant() << int(err::TypeMismatch);
    QTest::newRow("long beyond currency")
        << l(std::numeric_limits<qint64>::max()) << cur << QVariant() << int(err::Overflow);
    QTest::newRow("iso text to date") << QVariant("2026-06-12") << date << QVariant(QDate(2026, 6, 12)) << 0;
    QTest::newRow("impossible date") << QVariant("2026-02-30") << date << QVariant()
                                     << int(err::TypeMismatch);
    QTest::newRow("word to bool") << QVariant("yes") << boolean << QVariant() << int(err::TypeMismatch);
    QTest::newRow("currency to text") << currency(123450) << text << QVariant(QStringLiteral("12.345")) << 0;
    QTest::newRow("bool to text") << QVariant(false) << text << QVariant(QStringLiteral("False")) << 0;
}

void tst_DataSet::shouldConvertValuesToTheirFieldType()
{
    QFETCH(QVariant, value);
    QFETCH(int, type);
    QFETCH(QVariant, expected);
    QFETCH(int, error);

    DataSet set;
    set.Recordset()->appendField(QStringLiteral("F"), FieldType(type));
    set.AddNew();
    set.Fields().Item(QStringLiteral("F")).setValue(value);

    protocol::DataSet wire;
    const auto failure = captureError([&] { wire = set.toWire(); });
    if (error != 0) {
        QVERIFY(failure);
        QCOMPARE(failure->number(), error);
        return;
    }
    QVERIFY2(!failure, failure ? qPrintable(failure->description()) : "");
    const QVariant converted = fromWireValue(wire.records.at(0).at(0));
    if (FieldType(type) == FieldType::Currency)
        QCOMPARE(converted.value<Currency>().units(), expected.value<Currency>().units());
    else
        QCOMPARE(converted, expected);
}

void tst_DataSet::shouldVisitRecordsInSortOrderUntilEof_data()
{
    QTest::addColumn<QVariantList>("values");
    QTest::addColumn<QString>("sort");
    QTest::addColumn<QStringList>("expected");

    const QVariantList mixed{QStringLiteral("B"), QVariant(), QStringLiteral("A"), QStringLiteral("C")};
    QTest::newRow("stored order") << mixed << QString() << QStringList{"B", "<null>", "A", "C"};
    QTest::newRow("ascending, Null first")
        << mixed << QStringLiteral("NAME") << QStringList{"<null>", "A", "B", "C"};
    QTest::newRow("descending") << mixed << QStringLiteral("NAME DESC")
                                << QStringList{"C", "B", "A", "<null>"};
    QTest::newRow("no records") << QVariantList{} << QStringLiteral("NAME") << QStringList{};
}

void tst_DataSet::shouldVisitRecordsInSortOrderUntilEof()
{
    QFETCH(QVariantList, values);
    QFETCH(QString, sort);
    QFETCH(QStringList, expected);

    DataSet set;
    set.Define(QStringLiteral("RECEIPT"));
    set.Prepare();
    set.Recordset()->appendField(QStringLiteral("NAME"), FieldType::Text);
    for (const QVariant& value : values) {
        set.AddNew();
        set.Fields().Item(QStringLiteral("NAME")).setValue(value);
        set.Update();
    }
    set.Recordset()->setSort(sort);

    // Read the way the reply dispatch reads: Prepare, MoveFirst, then until Eof.
    QStringList visited;
    set.Prepare();
    set.MoveFirst();
    while (!set.Eof()) {
        const QVariant value = set.Fields().Item(QStringLiteral("NAME")).Value();
        visited.append(value.isNull() ? QStringLiteral("<null>") : value.toString());
        set.MoveNext();
    }
    QCOMPARE(visited, expected);
    QCOMPARE(set.RecordCount(), expected.size());
}

void tst_DataSet::shouldFillMissingWireValuesWithNull()
{
    protocol::DataSet wire;
    wire.fields = {{QStringLiteral("RCPT_NBR"), protocol::FieldType::Text},
                   {QStringLiteral("RCPT_AMT"), protocol::FieldType::Currency}};
    wire.records = {{QStringLiteral("1001")}};
    const DataSetPtr set = DataSet::fromWire(QStringLiteral("RECEIPT"), wire);
    set->Prepare();
    set->MoveFirst();
    QCOMPARE(set->Fields().Item(QStringLiteral("RCPT_NBR")).Value().toString(), QStringLiteral("1001"));
    QVERIFY(set->Fields().Item(QStringLiteral("RCPT_AMT")).Value().isNull());
    QCOMPARE(set->Fields().Count(), 2);
}

QTEST_GUILESS_MAIN(tst_DataSet)
#include "tst_dataset.moc"
