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
    void shouldCarryTheEnvelopeAndDataSetsAsTheyAreAtSendTime();
    void shouldHaveAUniqueKeyFromConstruction();
};

void tst_VeskRequest::shouldCarryCriteriaInTheOrderAdded_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::newRow("none") << QStringList{};
    QTest::newRow("not alphabetical") << QStringList{"key:thin", "key:CONF", "key:DOC_NBR"};
    QTest::newRow("same key twice") << QStringList{"key:RCPT_NBR", "key:RCPT_NBR"};
}

void tst_VeskRequest::shouldCarryCriteriaInTheOrderAdded()
{
    QFETCH(QStringList, keys);
    VeskRequest request;
    for (int i = 0; i < keys.size(); ++i)
        request.AddCriterion(VeskCriterion("KESTROVA", keys.at(i), "=", QString::number(i)));

    const protocol::Request wire = request.toWire();
    QCOMPARE(wire.criteria.size(), keys.size());
    for (int i = 0; i < keys.size(); ++i) {
        const auto& criterion = wire.criteria.at(i);
        QCOMPARE(QStringList({criterion.systemName, criterion.key, criterion.op, criterion.value}),
                 QStringList({"KESTROVA", keys.at(i), "=", QString::number(i)}));
    }
}

void tst_VeskRequest::shouldCarryTheEnvelopeAndDataSetsAsTheyAreAtSendTime()
{
    VeskRequest request;
    request.setRequester("TAVRO_CnfrmPymt");
    request.setUserId("jdoe");
    request.setVersion("5.1");
    request.setRequestCode(protocol::Save);
    request.AddOption("COMMITANYWAY");
    request.AddOption("SECOND");
    auto replaced = std::make_shared<DataSet>();
    auto set = std::make_shared<DataSet>();
    set->Define("RECEIPT");
    set->Prepare();
    request.AttachDataSet(replaced, "RECEIPT");
    request.AttachDataSet(set, "RECEIPT"); // the same name again replaces the first
    for (const char* receipt : {"1001", "1002"}) {
        set->AddNew();
        set->Fields().Item("FRCPT_NBR").setValue(QString(receipt));
        set->Update();
    }

    const protocol::Request wire = request.toWire();
    QCOMPARE(wire.key, request.RequestKey());
    QCOMPARE(QStringList({wire.requester, wire.userId, wire.version}),
             QStringList({"TAVRO_CnfrmPymt", "jdoe", "5.1"}));
    QCOMPARE(wire.requestCode, int(protocol::Save));
    QCOMPARE(wire.options, (QStringList{"COMMITANYWAY", "SECOND"}));
    QCOMPARE(wire.dataSets.keys(), QStringList{"RECEIPT"});
    const protocol::DataSet& sent = wire.dataSets.value("RECEIPT");
    QCOMPARE(sent.fields.size(), 1);
    QCOMPARE(sent.fields.at(0).name, QStringLiteral("FRCPT_NBR"));
    QCOMPARE(sent.records.size(), 2);
    QCOMPARE(std::get<QString>(sent.records.at(1).at(0)), QStringLiteral("1002"));
    // The envelope is what the real codec accepts.
    const auto decoded = protocol::decode(protocol::encode(wire));
    QVERIFY2(decoded.message, qPrintable(decoded.error.text));
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
    QCOMPARE(VeskRequest(original).RequestKey(), original.RequestKey());
}

QTEST_GUILESS_MAIN(tst_VeskRequest)
#include "tst_veskrequest.moc"
