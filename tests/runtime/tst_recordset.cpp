#include "runtime/ClassicError.h" // first: moc of Qt 6.4 reads Currency.h only after <functional>
#include "runtime/Currency.h"
#include "runtime/Recordset.h"

#include <QTest>

using tavro::Currency;
using tavro::FieldType;
using tavro::Recordset;

Q_DECLARE_METATYPE(tavro::FieldType)

namespace {
QVariant money(double amount)
{
    return QVariant::fromValue(Currency::fromDouble(amount));
}
} // namespace

class TestRecordset : public QObject
{
    Q_OBJECT

private slots:
    void writingAnUnknownFieldShouldAppendItWithNullInOtherRecords_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<FieldType>("type");
        QTest::newRow("unsigned 64-bit") << QVariant(quint64(5)) << FieldType::Long;
        QTest::newRow("Currency") << money(1.25) << FieldType::Currency;
        QTest::newRow("Null") << QVariant() << FieldType::Text;
    }

    void writingAnUnknownFieldShouldAppendItWithNullInOtherRecords()
    {
        QFETCH(QVariant, value);
        QFETCH(FieldType, type);
        Recordset rs;
        rs.AddNew();
        rs.AddNew();
        rs.Fields().Item(u"Action"_qs).setValue(u"UPD"_qs);
        rs.Fields().Item(u"ACTION"_qs).setValue(u"DEL"_qs); // the same field whatever the case
        rs.Fields().Item(u"VALUE"_qs).setValue(value);
        QCOMPARE(rs.fieldCount(), 2);
        QCOMPARE(rs.fieldType(1), type);
        QCOMPARE(rs.Fields().Item(u"value"_qs).Value(), value);
        QCOMPARE(rs.valueAt(1, 0), QVariant(u"DEL"_qs));
        QVERIFY(rs.valueAt(0, 0).isNull());
        QVERIFY(rs.valueAt(0, 1).isNull());
    }
};

QTEST_GUILESS_MAIN(TestRecordset)
#include "tst_recordset.moc"
