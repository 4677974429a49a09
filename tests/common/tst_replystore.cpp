#include "common/ReplyStore.h"

#include <QTest>

using namespace tavro;

namespace {

protocol::DataSet numbers(std::initializer_list<qint64> values)
{
    protocol::DataSet set;
    set.fields = {{QStringLiteral("F"), protocol::FieldType::Long}};
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

    QTest::newRow("exact") << "REQ"
                           << "TAVRO_CnfrmPymt"
                           << "K1" << true;
    QTest::newRow("document in capitals") << "REQ"
                                          << "TAVRO_CNFRMPYMT"
                                          << "K1" << true;
    QTest::newRow("document with blanks") << "REQ"
                                          << "  tavro_cnfrmpymt "
                                          << "K1" << true;
    QTest::newRow("data-set name in lower case") << "req"
                                                 << "TAVRO_CnfrmPymt"
                                                 << "K1" << true;
    QTest::newRow("absent data set") << "FUND"
                                     << "TAVRO_CnfrmPymt"
                                     << "K1" << false;
    QTest::newRow("empty data set name") << ""
                                         << "TAVRO_CnfrmPymt"
                                         << "K1" << false;
    QTest::newRow("other document") << "REQ"
                                    << "TAVRO_RcptDet"
                                    << "K1" << false;
    QTest::newRow("other key") << "REQ"
                               << "TAVRO_CnfrmPymt"
                               << "K2" << false;
    QTest::newRow("key differs in case") << "REQ"
                                         << "TAVRO_CnfrmPymt"
                                         << "k1" << false;
    QTest::newRow("empty key") << "REQ"
                               << "TAVRO_CnfrmPymt"
                               << "" << false;
}

void tst_ReplyStore::shouldFindDataSetsByNameDocumentAndKey()
{
    QFETCH(QString, dataSet);
    QFETCH(QString, document);
    QFETCH(QString, key);
    QFETCH(bool, found);

    ReplyStore store;
    store.store(QStringLiteral("TAVRO_CnfrmPymt"), QStringLiteral("K1"),
                {{QStringLiteral("REQ"), numbers({12345})}}, {});
    const DataSetPtr set = store.GetDataSet(dataSet, document, key);
    QCOMPARE(bool(set), found);
    if (set) {
        set->Prepare();
        set->MoveFirst();
        QCOMPARE(set->Fields().Item(QStringLiteral("F")).Value().toLongLong(), 12345);
    }
}

void tst_ReplyStore::shouldGiveEveryCallerItsOwnCopy()
{
    ReplyStore store;
    store.store(QStringLiteral("DOC"), QStringLiteral("K1"), {{QStringLiteral("FUND"), numbers({1, 2, 3})}},
                {});

    const DataSetPtr first =
        store.GetDataSet(QStringLiteral("FUND"), QStringLiteral("DOC"), QStringLiteral("K1"));
    first->MoveNext();
    first->MoveNext();
    first->Fields().Item(QStringLiteral("F")).setValue(QVariant::fromValue<qint64>(99));

    const DataSetPtr second =
        store.GetDataSet(QStringLiteral("FUND"), QStringLiteral("DOC"), QStringLiteral("K1"));
    QVERIFY(!second->Eof());
    QCOMPARE(second->Fields().Item(QStringLiteral("F")).Value().toLongLong(), 1);
    second->Recordset()->setAbsolutePosition(2);
    QCOMPARE(second->Fields().Item(QStringLiteral("F")).Value().toLongLong(), 3);
}

void tst_ReplyStore::shouldKeepOnlyTheLatestRepliesOfEachDocument()
{
    ReplyStore store;
    store.setRetainPerDocument(3);
    store.store(QStringLiteral("OTHER"), QStringLiteral("K1"), {}, {});
    for (int i = 1; i <= 10; ++i)
        store.store(QStringLiteral("DOC"), QStringLiteral("K%1").arg(i), {}, {});
    QCOMPARE(keysKept(store, QStringLiteral("doc"), 10), (QStringList{"K8", "K9", "K10"}));
    QCOMPARE(keysKept(store, QStringLiteral("OTHER"), 10), QStringList{"K1"});

    // Storing a key again replaces that reply and makes it the latest, without evicting another.
    store.store(QStringLiteral("DOC"), QStringLiteral("K9"), {}, {});
    QCOMPARE(keysKept(store, QStringLiteral("DOC"), 10), (QStringList{"K8", "K9", "K10"}));
    QCOMPARE(store.latestKey(QStringLiteral("DOC")), QStringLiteral("K9"));

    store.setRetainPerDocument(1);
    QCOMPARE(keysKept(store, QStringLiteral("DOC"), 10), QStringList{"K9"});
}

void tst_ReplyStore::shouldReportTheErrorsOfTheLatestReply()
{
    ReplyStore store;
    QVERIFY(store.latestErrors(QStringLiteral("DOC")).isEmpty());
    store.store(QStringLiteral("DOC"), QStringLiteral("K1"), {},
                {{QStringLiteral("E1"), QStringLiteral("first")}});
    QCOMPARE(store.latestErrors(QStringLiteral(" doc ")).size(), 1);
    store.store(QStringLiteral("OTHER"), QStringLiteral("K2"), {}, {});
    QCOMPARE(store.latestErrors(QStringLiteral("DOC")).size(), 1);
    store.store(QStringLiteral("DOC"), QStringLiteral("K3"), {}, {});
    QVERIFY(store.latestErrors(QStringLiteral("DOC")).isEmpty());
}

QTEST_GUILESS_MAIN(tst_ReplyStore)
#include "tst_replystore.moc"
