#include "common/VeskRequest.h"

#include <QSet>
#include <QTest>

using namespace tavro;

class tst_VeskRequest : public QObject
{
    Q_OBJECT
private slots:
    void shouldCarryCriteriaInTheOrderAdded_data();
    void shouldCarryCriteriaInTheOrderAdded();
    void shouldCarryTheEnvelopeAndOptions();
    void shouldSendDataSetsAsTheyAreAtSendTime();
    void shouldReplaceADataSetAttachedTwiceUnderOneName();
    void shouldHaveAUniqueKeyFromConstruction();
};

void tst_VeskRequest::shouldCarryCriteriaInTheOrderAdded_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::newRow("none") << QStringList{};
    QTest::newRow("search") << QStringList{"key:DOC_NBR", "key:DOC_TYP_CD", "key:CONF", "key:thin"};
    QTest::newRow("not alphabetical") << QStringList{"key:thin", "key:CONF", "key:DOC_NBR"};
    QTest::newRow("same key twice") << QStringList{"key:RCPT_NBR", "key:RCPT_NBR"};
}

void tst_VeskRequest::shouldCarryCriteriaInTheOrderAdded()
{
    QFETCH(QStringList, keys);
    VeskRequest request;
    for (int i = 0; i < keys.size(); ++i)
        request.AddCriterion(
            VeskCriterion(QStringLiteral("KESTROVA"), keys.at(i), QStringLiteral("="), QString::number(i)));

    const protocol::Request wire = request.toWire();
    QCOMPARE(wire.criteria.size(), keys.size());
    for (int i = 0; i < keys.size(); ++i) {
        QCOMPARE(wire.criteria.at(i).key, keys.at(i));
        QCOMPARE(wire.criteria.at(i).value, QString::number(i));
        QCOMPARE(wire.criteria.at(i).systemName, QStringLiteral("KESTROVA"));
        QCOMPARE(wire.criteria.at(i).op, QStringLiteral("="));
    }
}

void tst_VeskRequest::shouldCarryTheEnvelopeAndOptions()
{
    VeskRequest request;
    request.setRequester(QStringLiteral("TAVRO_CnfrmPymt"));
    request.setUserId(QStringLiteral("jdoe"));
    request.setVersion(QStringLiteral("5.1"));
    request.setRequestCode(protocol::Save);
    request.AddOption(QStringLiteral("COMMITANYWAY"));
    request.AddOption(QStringLiteral("SECOND"));

    const protocol::Request wire = request.toWire();
    QCOMPARE(wire.key, request.RequestKey());
    QCOMPARE(wire.requester, QStringLiteral("TAVRO_CnfrmPymt"));
    QCOMPARE(wire.userId, QStringLiteral("jdoe"));
    QCOMPARE(wire.version, QStringLiteral("5.1"));
    QCOMPARE(wire.requestCode, 72);
    QCOMPARE(wire.options, (QStringList{"COMMITANYWAY", "SECOND"}));
    QVERIFY(wire.dataSets.isEmpty());

    // The envelope is what the real codec accepts.
    const auto decoded = protocol::decode(protocol::encode(wire));
    QVERIFY2(decoded.message, qPrintable(decoded.error.text));
}

void tst_VeskRequest::shouldSendDataSetsAsTheyAreAtSendTime()
{
    auto set = std::make_shared<DataSet>();
    set->Define(QStringLiteral("RECEIPT"));
    set->Prepare();
    VeskRequest request;
    request.AttachDataSet(set, QStringLiteral("RECEIPT"));
    for (const QString& receipt : {QStringLiteral("1001"), QStringLiteral("1002")}) {
        set->AddNew();
        set->Fields().Item(QStringLiteral("FRCPT_NBR")).setValue(receipt);
        set->Update();
    }

    const protocol::Request wire = request.toWire();
    QCOMPARE(wire.dataSets.keys(), QStringList{"RECEIPT"});
    const protocol::DataSet& sent = wire.dataSets.value(QStringLiteral("RECEIPT"));
    QCOMPARE(sent.fields.size(), 1);
    QCOMPARE(sent.fields.at(0).name, QStringLiteral("FRCPT_NBR"));
    QCOMPARE(sent.records.size(), 2);
    QCOMPARE(std::get<QString>(sent.records.at(1).at(0)), QStringLiteral("1002"));
}

void tst_VeskRequest::shouldReplaceADataSetAttachedTwiceUnderOneName()
{
    auto first = std::make_shared<DataSet>();
    auto second = std::make_shared<DataSet>();
    second->AddNew();
    second->Fields().Item(QStringLiteral("ACTION")).setValue(QStringLiteral("UPD"));
    VeskRequest request;
    request.AttachDataSet(first, QStringLiteral("CONFIRMATION"));
    request.AttachDataSet(second, QStringLiteral("CONFIRMATION"));
    const protocol::Request wire = request.toWire();
    QCOMPARE(wire.dataSets.size(), 1);
    QCOMPARE(wire.dataSets.value(QStringLiteral("CONFIRMATION")).records.size(), 1);
}

void tst_VeskRequest::shouldHaveAUniqueKeyFromConstruction()
{
    QSet<QString> keys;
    for (int i = 0; i < 10000; ++i) {
        const VeskRequest request;
        QVERIFY(!request.RequestKey().trimmed().isEmpty());
        keys.insert(request.RequestKey());
    }
    QCOMPARE(keys.size(), 10000);

    const VeskRequest original;
    const VeskRequest copy = original;
    QCOMPARE(copy.RequestKey(), original.RequestKey());
}

QTEST_GUILESS_MAIN(tst_VeskRequest)
#include "tst_veskrequest.moc"
