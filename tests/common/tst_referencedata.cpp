#include "common/FieldUtility.h"
#include "common/ReferenceData.h"
#include "controls/CodesCombo.h"
#include "runtime/Seam.h"

#include <QTest>

using namespace tavro;

namespace {

protocol::Reference signInReference()
{
    protocol::Reference reference;
    reference.codeTables["CNFRMDOC"] = {
        {"R", "Receipt"}, {"A", "Account"}, {"D", "Daily Receipt"}, {"N", "Confirmation Number"}};
    reference.codeTables["FUNDTYP"] = {{"K", "Check"}};
    reference.officers = {{1234, "Jane Roe"}, {-7, "Negative Id"}};
    return reference;
}

} // namespace

class tst_ReferenceData : public QObject
{
    Q_OBJECT
private slots:
    void shouldLookUpCodesAndOfficersThroughTheFieldUtility_data();
    void shouldLookUpCodesAndOfficersThroughTheFieldUtility();
    void shouldFillCodeListCombosOnceSet();
    void shouldStopBeingTheProviderWhenDestroyed();
};

void tst_ReferenceData::shouldLookUpCodesAndOfficersThroughTheFieldUtility_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("expected");

    const auto row = [](const char* name, const char* table, const char* code, const char* expected) {
        QTest::newRow(name) << QString(table) << QString(code) << QString(expected);
    };
    row("known", "CNFRMDOC", "D", "Daily Receipt");
    row("other table", "FUNDTYP", "K", "Check");
    row("code of another table", "FUNDTYP", "D", "");
    row("code in lower case", "CNFRMDOC", "d", "");
    row("unknown table", "REFDOCTYP", "D", "");
    row("officer", "officer", "1234", "Jane Roe");
    row("negative officer id", "officer", "-7", "Negative Id");
    row("unknown officer", "officer", "0", "");
}

void tst_ReferenceData::shouldLookUpCodesAndOfficersThroughTheFieldUtility()
{
    QFETCH(QString, table);
    QFETCH(QString, code);
    QFETCH(QString, expected);

    ReferenceData data;
    ScopedSeam<ReferenceData> seam(data);
    data.setReference(signInReference());
    FieldUtility& fields = FieldUtility::instance();
    const QString found =
        table == u"officer" ? fields.GetOfficerName(code.toInt(), 0) : fields.GetCodeDescription(code, table);
    QCOMPARE(found, expected);
}

void tst_ReferenceData::shouldFillCodeListCombosOnceSet()
{
    ReferenceData data;
    ScopedSeam<ReferenceData> seam(data);
    data.setReference(signInReference());

    CodesCombo combo;
    combo.setCodetype("CNFRMDOC");
    QCOMPARE(combo.count(), 4);
    combo.setSelectedCode("N");
    QCOMPARE(combo.SelectedDescription(), QStringLiteral("Confirmation Number"));

    const auto codes = data.codes("CNFRMDOC");
    QStringList order;
    for (const auto& [code, description] : codes)
        order.append(code);
    QCOMPARE(order, (QStringList{"A", "D", "N", "R"}));
    QVERIFY(data.codes("NOSUCH").isEmpty());

    // Sign-out forgets the tables; combos loaded afterwards are empty.
    data.clear();
    CodesCombo later;
    later.setCodetype("CNFRMDOC");
    QCOMPARE(later.count(), 0);
}

void tst_ReferenceData::shouldStopBeingTheProviderWhenDestroyed()
{
    {
        ReferenceData data;
        data.setReference(signInReference());
        QCOMPARE(&CodeListProvider::instance(), static_cast<CodeListProvider*>(&data));
    }
    QVERIFY(CodeListProvider::instance().codes("CNFRMDOC").isEmpty());
}

QTEST_MAIN(tst_ReferenceData)
#include "tst_referencedata.moc"
