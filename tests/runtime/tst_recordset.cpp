#include "runtime/ClassicError.h"
#include "runtime/Currency.h"
#include "runtime/Recordset.h"

#include <QDate>
#include <QTest>

using tavro::Currency;
using tavro::FieldType;
using tavro::Recordset;
namespace err = tavro::err;

Q_DECLARE_METATYPE(tavro::FieldType)

namespace {
int errorOf(const std::function<void()>& body)
{
    const auto raised = tavro::captureError(body);
    return raised ? raised->number() : 0;
}

QVariant money(double amount)
{
    return QVariant::fromValue(Currency::fromDouble(amount));
}

// Five receipts with Nulls in every sortable field but the identifier.
Recordset receipts()
{
    Recordset rs;
    rs.appendField(QStringLiteral("ID"), FieldType::Long);
    rs.appendField(QStringLiteral("NAME"), FieldType::Text);
    rs.appendField(QStringLiteral("AMT"), FieldType::Currency);
    rs.appendField(QStringLiteral("DT"), FieldType::Date);
    rs.appendRecord({qint64(1), u"b"_qs, money(5), QDate(2005, 1, 2)});
    rs.appendRecord({qint64(2), u"a"_qs, QVariant(), QDate(2005, 1, 1)});
    rs.appendRecord({qint64(3), u"b"_qs, money(1.5), QVariant()});
    rs.appendRecord({qint64(4), QVariant(), money(5), QDate(2005, 1, 3)});
    rs.appendRecord({qint64(5), u"a"_qs, money(-2), QDate(2005, 1, 1)});
    return rs;
}

// The identifiers in the record set's current order, read through the cursor.
QList<qint64> idsInOrder(Recordset& rs)
{
    QList<qint64> ids;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
        ids.append(rs.Fields().Item(QStringLiteral("ID")).Value().toLongLong());
    return ids;
}
} // namespace

class TestRecordset : public QObject
{
    Q_OBJECT

private slots:
    void newRecordsShouldHoldNull();
    void writingAnUnknownFieldShouldAppendItWithTheValueType_data();
    void writingAnUnknownFieldShouldAppendItWithTheValueType();
    void fieldsShouldBeFoundWhateverTheirCase();
    void eofLoopShouldVisitEveryRecordOnce_data();
    void eofLoopShouldVisitEveryRecordOnce();
    void sortShouldOrderByFieldsWithNullFirst_data();
    void sortShouldOrderByFieldsWithNullFirst();
    void writesAfterASortShouldReachTheRecordShown();
    void misuseShouldRaiseTheClassicErrors_data();
    void misuseShouldRaiseTheClassicErrors();
};

void TestRecordset::newRecordsShouldHoldNull()
{
    Recordset rs;
    rs.appendField(QStringLiteral("RCPT_NBR"), FieldType::Text);
    rs.appendField(QStringLiteral("RCPT_AMT"), FieldType::Currency);
    rs.AddNew();
    rs.appendRecord({u"1001"_qs});
    for (int record = 0; record < rs.RecordCount(); ++record)
        QVERIFY(rs.valueAt(record, 1).isNull());
    QVERIFY(rs.valueAt(0, 0).isNull());
    QCOMPARE(rs.valueAt(1, 0), QVariant(u"1001"_qs));

    rs.MoveFirst();
    rs.Fields().Item(QStringLiteral("RCPT_NBR")).setValue(u"x"_qs);
    rs.Fields().Item(QStringLiteral("RCPT_NBR")).setValue(QVariant());
    QVERIFY(rs.Fields().Item(QStringLiteral("RCPT_NBR")).isNull());
}

void TestRecordset::writingAnUnknownFieldShouldAppendItWithTheValueType_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<FieldType>("type");

    QTest::newRow("text") << QVariant(u"UPD"_qs) << FieldType::Text;
    QTest::newRow("int") << QVariant(5) << FieldType::Long;
    QTest::newRow("64-bit") << QVariant(qint64(5)) << FieldType::Long;
    QTest::newRow("unsigned 64-bit") << QVariant(quint64(5)) << FieldType::Long;
    QTest::newRow("double") << QVariant(12345.0) << FieldType::Double;
    QTest::newRow("Currency") << money(1.25) << FieldType::Currency;
    QTest::newRow("date") << QVariant(QDate(2005, 1, 26)) << FieldType::Date;
    QTest::newRow("Boolean") << QVariant(true) << FieldType::Bool;
    QTest::newRow("Null") << QVariant() << FieldType::Text;
}

void TestRecordset::writingAnUnknownFieldShouldAppendItWithTheValueType()
{
    QFETCH(QVariant, value);
    QFETCH(FieldType, type);
    Recordset rs;
    rs.AddNew();
    rs.AddNew();
    rs.Fields().Item(QStringLiteral("ACTION")).setValue(u"UPD"_qs);
    rs.Fields().Item(QStringLiteral("VALUE")).setValue(value);

    QCOMPARE(rs.fieldCount(), 2);
    QCOMPARE(rs.fieldName(1), u"VALUE"_qs);
    QCOMPARE(rs.fieldType(1), type);
    QCOMPARE(rs.Fields().Item(QStringLiteral("VALUE")).Value(), value);
    // The record written before the field existed holds Null in it.
    QVERIFY(rs.valueAt(0, 1).isNull());
    QVERIFY(rs.valueAt(0, 0).isNull());
}

void TestRecordset::fieldsShouldBeFoundWhateverTheirCase()
{
    Recordset rs;
    rs.AddNew();
    rs.Fields().Item(QStringLiteral("Dly_Rcpt_Cmmt_Txt")).setValue(u"late"_qs);
    rs.Fields().Item(QStringLiteral("DLY_RCPT_CMMT_TXT")).setValue(u"on time"_qs);
    QCOMPARE(rs.fieldCount(), 1);
    QCOMPARE(rs.Fields().Item(QStringLiteral("dly_rcpt_cmmt_txt")).Value(), QVariant(u"on time"_qs));
    QCOMPARE(rs.fieldIndex(QStringLiteral("MISSING")), -1);
}

void TestRecordset::eofLoopShouldVisitEveryRecordOnce_data()
{
    QTest::addColumn<int>("records");
    QTest::newRow("none") << 0;
    QTest::newRow("one") << 1;
    QTest::newRow("several") << 4;
}

void TestRecordset::eofLoopShouldVisitEveryRecordOnce()
{
    QFETCH(int, records);
    Recordset rs;
    rs.appendField(QStringLiteral("ID"), FieldType::Long);
    QList<qint64> expected;
    for (int i = 1; i <= records; ++i) {
        rs.appendRecord({qint64(i)});
        expected.append(i);
    }
    QCOMPARE(idsInOrder(rs), expected);
    QVERIFY(rs.Eof());
    QCOMPARE(rs.Bof(), records == 0);
    // At the end there is no current record.
    QCOMPARE(errorOf([&] { rs.Fields().Item(QStringLiteral("ID")).Value(); }), int(err::NoCurrentRecord));
    QCOMPARE(errorOf([&] { rs.MoveNext(); }), int(err::NoCurrentRecord));
    rs.MoveLast();
    QCOMPARE(rs.Eof(), records == 0);
}

void TestRecordset::sortShouldOrderByFieldsWithNullFirst_data()
{
    QTest::addColumn<QString>("sort");
    QTest::addColumn<QList<qint64>>("expected");

    QTest::newRow("stored order") << "" << QList<qint64>{1, 2, 3, 4, 5};
    QTest::newRow("currency ascending") << "AMT" << QList<qint64>{2, 5, 3, 1, 4};
    QTest::newRow("currency ASC") << "AMT ASC" << QList<qint64>{2, 5, 3, 1, 4};
    QTest::newRow("currency DESC puts Null last") << "AMT DESC" << QList<qint64>{1, 4, 3, 5, 2};
    QTest::newRow("bracketed, any case") << "[amt] desc" << QList<qint64>{1, 4, 3, 5, 2};
    QTest::newRow("two keys") << "NAME DESC, AMT" << QList<qint64>{3, 1, 2, 5, 4};
    QTest::newRow("dates, ties stay in stored order") << "DT" << QList<qint64>{3, 2, 5, 1, 4};
    QTest::newRow("whole numbers descending") << "ID DESC" << QList<qint64>{5, 4, 3, 2, 1};
}

void TestRecordset::sortShouldOrderByFieldsWithNullFirst()
{
    QFETCH(QString, sort);
    QFETCH(QList<qint64>, expected);
    Recordset rs = receipts();
    rs.setSort(QStringLiteral("ID DESC")); // a previous order must not matter
    rs.MoveLast();
    rs.setSort(sort);
    QCOMPARE(rs.Sort(), sort);
    QCOMPARE(rs.AbsolutePosition(), 0);
    QCOMPARE(idsInOrder(rs), expected);
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(rs.valueAt(i, 0).toLongLong(), expected.at(i));
}

void TestRecordset::writesAfterASortShouldReachTheRecordShown()
{
    Recordset rs = receipts();
    rs.setSort(QStringLiteral("AMT DESC"));
    rs.MoveFirst();
    rs.MoveNext(); // record 4
    rs.Fields().Item(QStringLiteral("NAME")).setValue(u"z"_qs);
    rs.setValueAt(4, 1, u"y"_qs); // last in this order: record 2
    rs.setSort(QString());
    QCOMPARE(rs.valueAt(3, 1), QVariant(u"z"_qs));
    QCOMPARE(rs.valueAt(1, 1), QVariant(u"y"_qs));
}

void TestRecordset::misuseShouldRaiseTheClassicErrors_data()
{
    QTest::addColumn<std::function<void(Recordset&)>>("misuse");
    QTest::addColumn<int>("error");

    using Misuse = std::function<void(Recordset&)>;
    QTest::newRow("reading an unknown field")
        << Misuse([](Recordset& rs) { rs.Fields().Item(QStringLiteral("NOPE")).Value(); })
        << int(err::ItemNotFound);
    QTest::newRow("type of an unknown field")
        << Misuse([](Recordset& rs) { rs.Fields().Item(QStringLiteral("NOPE")).Type(); })
        << int(err::ItemNotFound);
    QTest::newRow("field index past the end")
        << Misuse([](Recordset& rs) { rs.Fields().Item(4); }) << int(err::ItemNotFound);
    QTest::newRow("negative field index")
        << Misuse([](Recordset& rs) { rs.Fields().Item(-1); }) << int(err::ItemNotFound);
    QTest::newRow("sorting by an unknown field")
        << Misuse([](Recordset& rs) { rs.setSort(u"AMT, NOPE"_qs); }) << int(err::ItemNotFound);
    QTest::newRow("reading at the end") << Misuse([](Recordset& rs) {
        rs.MoveLast();
        rs.MoveNext();
        rs.Fields().Item(QStringLiteral("ID")).Value();
    }) << int(err::NoCurrentRecord);
    QTest::newRow("writing at the end") << Misuse([](Recordset& rs) {
        rs.setAbsolutePosition(rs.RecordCount());
        rs.Fields().Item(QStringLiteral("NEW")).setValue(1);
    }) << int(err::NoCurrentRecord);
    QTest::newRow("reading an empty set") << Misuse([](Recordset& rs) {
        rs = Recordset();
        rs.appendField(QStringLiteral("ID"), FieldType::Long);
        rs.MoveFirst();
        rs.Fields().Item(QStringLiteral("ID")).Value();
    }) << int(err::NoCurrentRecord);
    QTest::newRow("position before the first")
        << Misuse([](Recordset& rs) { rs.setAbsolutePosition(-1); }) << int(err::InvalidProcedureCall);
    QTest::newRow("position past the end")
        << Misuse([](Recordset& rs) { rs.setAbsolutePosition(6); }) << int(err::InvalidProcedureCall);
}

void TestRecordset::misuseShouldRaiseTheClassicErrors()
{
    using Misuse = std::function<void(Recordset&)>;
    QFETCH(Misuse, misuse);
    QFETCH(int, error);
    Recordset rs = receipts();
    const QString sortBefore = QStringLiteral("AMT");
    rs.setSort(sortBefore);
    const int fieldsBefore = rs.fieldCount();
    QCOMPARE(errorOf([&] { misuse(rs); }), error);
    if (rs.RecordCount() == 5) {
        // A failed operation changes neither the fields nor the order.
        QCOMPARE(rs.fieldCount(), fieldsBefore);
        QCOMPARE(rs.Sort(), sortBefore);
        QCOMPARE(idsInOrder(rs), (QList<qint64>{2, 5, 3, 1, 4}));
    }
}

QTEST_GUILESS_MAIN(TestRecordset)
#include "tst_recordset.moc"
