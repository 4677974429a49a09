#include "runtime/ClassicError.h"
#include "runtime/Currency.h"
#include "runtime/Recordset.h"

#include <QDate>
#include <QTest>

using tavro::Currency;
using tavro::FieldType;
using tavro::Recordset;
namespace err = tavro::err;
using Misuse = std::function<void(Recordset&)>;

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
    rs.appendField(u"ID"_qs, FieldType::Long);
    rs.appendField(u"NAME"_qs, FieldType::Text);
    rs.appendField(u"AMT"_qs, FieldType::Currency);
    rs.appendField(u"DT"_qs, FieldType::Date);
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
        ids.append(rs.Fields().Item(u"ID"_qs).Value().toLongLong());
    return ids;
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

    void sortShouldOrderByFieldsWithNullFirst_data()
    {
        QTest::addColumn<QString>("sort");
        QTest::addColumn<QList<qint64>>("expected");
        QTest::newRow("bracketed, any case, DESC puts Null last")
            << "[amt] desc" << QList<qint64>{1, 4, 3, 5, 2};
        QTest::newRow("two keys") << "NAME DESC, AMT" << QList<qint64>{3, 1, 2, 5, 4};
        QTest::newRow("dates, ties stay in stored order") << "DT" << QList<qint64>{3, 2, 5, 1, 4};
    }

    void sortShouldOrderByFieldsWithNullFirst()
    {
        QFETCH(QString, sort);
        QFETCH(QList<qint64>, expected);
        Recordset rs = receipts();
        rs.setSort(u"ID DESC"_qs); // a previous order must not matter
        rs.MoveLast();
        rs.setSort(sort);
        QCOMPARE(rs.AbsolutePosition(), 0);
        QCOMPARE(idsInOrder(rs), expected);
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(rs.valueAt(i, 0).toLongLong(), expected.at(i));
    }

    void writesAfterASortShouldReachTheRecordShown()
    {
        Recordset rs = receipts();
        rs.setSort(u"AMT DESC"_qs);
        rs.MoveFirst();
        rs.MoveNext(); // record 4
        rs.Fields().Item(u"NAME"_qs).setValue(u"z"_qs);
        rs.setValueAt(4, 1, u"y"_qs); // last in this order: record 2
        rs.setSort(QString());
        QCOMPARE(rs.valueAt(3, 1), QVariant(u"z"_qs));
        QCOMPARE(rs.valueAt(1, 1), QVariant(u"y"_qs));
    }

    void misuseShouldRaiseTheClassicErrors_data()
    {
        QTest::addColumn<Misuse>("misuse");
        QTest::addColumn<int>("error");
        QTest::newRow("reading an unknown field")
            << Misuse([](Recordset& rs) { rs.Fields().Item(u"NOPE"_qs).Value(); }) << int(err::ItemNotFound);
        QTest::newRow("sorting by an unknown field")
            << Misuse([](Recordset& rs) { rs.setSort(u"AMT, NOPE"_qs); }) << int(err::ItemNotFound);
        QTest::newRow("writing at the end") << Misuse([](Recordset& rs) {
            rs.setAbsolutePosition(rs.RecordCount());
            rs.Fields().Item(u"NEW"_qs).setValue(1);
        }) << int(err::NoCurrentRecord);
    }

    void misuseShouldRaiseTheClassicErrors()
    {
        QFETCH(Misuse, misuse);
        QFETCH(int, error);
        Recordset rs = receipts();
        rs.setSort(u"AMT"_qs);
        QCOMPARE(errorOf([&] { misuse(rs); }), error);
        // A failed operation changes neither the fields nor the order.
        QCOMPARE(rs.fieldCount(), 4);
        QCOMPARE(rs.Sort(), u"AMT"_qs);
        QCOMPARE(idsInOrder(rs), (QList<qint64>{2, 5, 3, 1, 4}));
    }
};

QTEST_GUILESS_MAIN(TestRecordset)
#include "tst_recordset.moc"
