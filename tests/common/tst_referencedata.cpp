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
    reference.codeTables[QStringLiteral("CNFRMDOC")] = {
        {QStringLiteral("R"), QStringLiteral("Receipt")},
        {QStringLiteral("A"), QStringLiteral("Account")},
        {QStringLiteral("D"), QStringLiteral("Daily Receipt")},
        {QStringLiteral("N"), QStringLiteral("Confirmation Number")}};
    reference.codeTables[QStringLiteral("FUNDTYP")] = {{QStringLiteral("K"), QStringLiteral("Check")}};
    reference.officers = {{1234, QStringLiteral("Jane Roe")}, {-7, QStringLiteral("Negative Id")}};
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

    QTest::newRow("known") << "CNFRMDOC"
                           << "D"
                           << "Daily Receipt";
    QTest::newRow("other table") << "FUNDTYP"
                                 << "K"
                                 << "Check";
    QTest::newRow("code of another table") << "FUNDTYP"
                                           << "D"
                                           << "";
    QTest::newRow("code in lower case") << "CNFRMDOC"
                                        << "d"
                                        << "";
    QTest::newRow("unknown table") << "REFDOCTYP"
                                   << "D"
                                   << "";
    QTest::newRow("empty code") << "CNFRMDOC"
                                << ""
                                << "";
    QTest::newRow("officer") << "officer"
                             << "1234"
                             << "Jane Roe";
    QTest::newRow("negative officer id") << "officer"
                                         << "-7"
                                         << "Negative Id";
    QTest::newRow("unknown officer") << "officer"
                                     << "0"
                                     << "";
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
    combo.setCodetype(QStringLiteral("CNFRMDOC"));
    QCOMPARE(combo.count(), 4);
    combo.setSelectedCode(QStringLiteral("N"));
    QCOMPARE(combo.SelectedDescription(), QStringLiteral("Confirmation Number"));

    const auto codes = data.codes(QStringLiteral("CNFRMDOC"));
    QStringList order;
    for (const auto& [code, description] : codes)
        order.append(code);
    QCOMPARE(order, (QStringList{"A", "D", "N", "R"}));
    QVERIFY(data.codes(QStringLiteral("NOSUCH")).isEmpty());

    // Sign-out forgets the tables; combos loaded afterwards are empty.
    data.clear();
    CodesCombo later;
    later.setCodetype(QStringLiteral("CNFRMDOC"));
    QCOMPARE(later.count(), 0);
}

void tst_ReferenceData::shouldStopBeingTheProviderWhenDestroyed()
{
    {
        ReferenceData data;
        data.setReference(signInReference());
        QCOMPARE(&CodeListProvider::instance(), static_cast<CodeListProvider*>(&data));
    }
    QVERIFY(CodeListProvider::instance().codes(QStringLiteral("CNFRMDOC")).isEmpty());
}

QTEST_MAIN(tst_ReferenceData)
#include "tst_referencedata.moc"
