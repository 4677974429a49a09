#include "common/ReplyStore.h"

#include <QTest>

using namespace tavro;

namespace {

protocol::DataSet numbers(std::initializer_list<qint64> values)
{
    protocol::DataSet set;
    set.fields = {{"F", protocol::FieldType::Long}};
    for (qint64 value : values)
        set.records.append(QList<protocol::Value>{value});
    return set;
}

QStringList keysKept(const ReplyStore& store, const QString& document, int upTo)
{
    QStringList kept;
    for (int i = 1; i <= upTo; ++i)
        if (store.contains(document, QStringLiteral("K%1").arg(i)))
            kept.append(QStringLiteral("K%1").arg(i));
    return kept;
}

} // namespace

class tst_ReplyStore : public QObject
{
    Q_OBJECT
private slots:
    void shouldFindDataSetsByNameDocumentAndKey_data();
    void shouldFindDataSetsByNameDocumentAndKey();
    void shouldGiveEveryCallerItsOwnCopy();
    void shouldKeepOnlyTheLatestRepliesOfEachDocument();
    void shouldReportTheErrorsOfTheLatestReply();
};

void tst_ReplyStore::shouldFindDataSetsByNameDocumentAndKey_data()
{
    QTest::addColumn<QString>("dataSet");
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("found");

    const auto row = [](const char* name, const char* dataSet, const char* document, const char* key,
                        bool found) {
        QTest::newRow(name) << QString(dataSet) << QString(document) << QString(key) << found;
    };
    row("exact", "REQ", "TAVRO_CnfrmPymt", "K1", true);
    row("document in other case, with blanks", "REQ", "  tavro_CNFRMPYMT ", "K1", true);
    row("data-set name in lower case", "req", "TAVRO_CnfrmPymt", "K1", true);
    row("absent data set", "FUND", "TAVRO_CnfrmPymt", "K1", false);
    row("other document", "REQ", "TAVRO_RcptDet", "K1", false);
    row("key differs in case", "REQ", "TAVRO_CnfrmPymt", "k1", false);
}

void tst_ReplyStore::shouldFindDataSetsByNameDocumentAndKey()
{
    QFETCH(QString, dataSet);
    QFETCH(QString, document);
    QFETCH(QString, key);
    QFETCH(bool, found);

    ReplyStore store;
    store.store("TAVRO_CnfrmPymt", "K1", {{"REQ", numbers({12345})}}, {});
    const DataSetPtr set = store.GetDataSet(dataSet, document, key);
    QCOMPARE(bool(set), found);
    if (set) {
        set->Prepare();
        set->MoveFirst();
        QCOMPARE(set->Fields().Item("F").Value().toLongLong(), 12345);
    }
}

void tst_ReplyStore::shouldGiveEveryCallerItsOwnCopy()
{
    ReplyStore store;
    store.store("DOC", "K1", {{"FUND", numbers({1, 2, 3})}}, {});

    const DataSetPtr first = store.GetDataSet("FUND", "DOC", "K1");
    first->MoveNext();
    first->MoveNext();
    first->Fields().Item("F").setValue(QVariant::fromValue<qint64>(99));

    const DataSetPtr second = store.GetDataSet("FUND", "DOC", "K1");
    QVERIFY(!second->Eof());
    QCOMPARE(second->Fields().Item("F").Value().toLongLong(), 1);
    second->Recordset()->setAbsolutePosition(2);
    QCOMPARE(second->Fields().Item("F").Value().toLongLong(), 3);
}

void tst_ReplyStore::shouldKeepOnlyTheLatestRepliesOfEachDocument()
{
    ReplyStore store;
    store.setRetainPerDocument(3);
    store.store("OTHER", "K1", {}, {});
    for (int i = 1; i <= 10; ++i)
        store.store("DOC", QStringLiteral("K%1").arg(i), {}, {});
    QCOMPARE(keysKept(store, "doc", 10), (QStringList{"K8", "K9", "K10"}));
    QCOMPARE(keysKept(store, "OTHER", 10), QStringList{"K1"});

    // Storing a key again replaces that reply and makes it the latest, without evicting another.
    store.store("DOC", "K9", {}, {});
    QCOMPARE(keysKept(store, "DOC", 10), (QStringList{"K8", "K9", "K10"}));
    QCOMPARE(store.latestKey("DOC"), QStringLiteral("K9"));

    store.setRetainPerDocument(1);
    QCOMPARE(keysKept(store, "DOC", 10), QStringList{"K9"});
}

void tst_ReplyStore::shouldReportTheErrorsOfTheLatestReply()
{
    ReplyStore store;
    QVERIFY(store.latestErrors("DOC").isEmpty());
    store.store("DOC", "K1", {}, {{"E1", "first"}});
    QCOMPARE(store.latestErrors(" doc ").size(), 1);
    store.store("OTHER", "K2", {}, {});
    QCOMPARE(store.latestErrors("DOC").size(), 1);
    store.store("DOC", "K3", {}, {});
    QVERIFY(store.latestErrors("DOC").isEmpty());
}

QTEST_GUILESS_MAIN(tst_ReplyStore)
#include "tst_replystore.moc"
