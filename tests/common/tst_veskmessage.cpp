#include "common/ReplyStore.h"
#include "common/VeskMessage.h"
#include "common/VeskRequest.h"
#include "runtime/Seam.h"
#include "support/FakeTransport.h"

#include <QTest>
#include <QThread>

using namespace tavro;
using tavro::test::FakeTransport;

namespace {

protocol::DataSet receipts(int count)
{
    protocol::DataSet set;
    set.fields = {{"RCPT_NBR", protocol::FieldType::Text}};
    for (int i = 0; i < count; ++i)
        set.records.append({QString::number(1001 + i)});
    return set;
}

// Answers inside send(), as a careless in-process transport might.
class EagerTransport final : public MessageTransport
{
public:
    void send(const protocol::Request& request) override
    {
        emit replyReceived(protocol::Reply{request.key, request.requester, {}, {}});
    }
};

} // namespace

class tst_VeskMessage : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void shouldEndEachRequestOnce_data();
    void shouldEndEachRequestOnce();
    void shouldNeverAnnounceFromInsideSend();
    void shouldEndOutstandingRequestsInSendingOrderWhenTheConnectionIsLost();
    void shouldDeliverRepliesFromAWorkerThreadOnTheUiThread();
    void shouldDropRepliesForRequestsNotSent();
    void shouldRestoreTheAnnouncedKeyAfterANestedAnnouncement();

private:
    QString send(const QString& requester, int timeoutMs = 30000);

    VeskMessage* m_service = VeskMessage::GetInstance();
    FakeTransport* m_transport = nullptr;
    std::unique_ptr<MessageTransport> m_previous;
    std::unique_ptr<ReplyStore> m_store;
    std::unique_ptr<ScopedSeam<ReplyStore>> m_storeSeam;
    QStringList m_events;
    std::function<void(const QString&)> m_onDataReady;
};

void tst_VeskMessage::init()
{
    m_store = std::make_unique<ReplyStore>();
    m_storeSeam = std::make_unique<ScopedSeam<ReplyStore>>(*m_store);
    auto transport = std::make_unique<FakeTransport>();
    m_transport = transport.get();
    m_previous = m_service->setTransport(std::move(transport));
    m_events.clear();
    m_onDataReady = nullptr;
    // What each event finds: the thread it runs on and what the reply store holds by then.
    connect(m_service, &VeskMessage::MsgTimeout, this,
            [this](QString& name) { m_events.append(QStringLiteral("MsgTimeout(%1)").arg(name)); });
    connect(m_service, &VeskMessage::DataReady, this, [this](QVariant& name) {
        const QString document = name.toString();
        QStringList codes;
        for (const auto& error : ReplyStore::instance().latestErrors(document))
            codes.append(error.code);
        const DataSetPtr set = ReplyStore::instance().GetDataSet("RECEIPT", document,
                                                                 ReplyStore::instance().latestKey(document));
        m_events.append(QStringLiteral("DataReady(%1) receipts=%2 errors=%3%4")
                            .arg(document, set ? QString::number(set->RecordCount()) : "none",
                                 codes.join(u','),
                                 QThread::currentThread() == thread() ? "" : " WRONG THREAD"));
        if (m_onDataReady)
            m_onDataReady(document);
    });
}

void tst_VeskMessage::cleanup()
{
    disconnect(m_service, nullptr, this, nullptr);
    m_service->discardOutstanding();
    m_service->setTransport(std::move(m_previous));
    m_service->setTimeoutMs(30000);
    m_storeSeam.reset();
    m_store.reset();
}

QString tst_VeskMessage::send(const QString& requester, int timeoutMs)
{
    m_service->setTimeoutMs(timeoutMs);
    VeskRequest request;
    request.setRequester(requester);
    request.setRequestCode(protocol::Search);
    request.Send();
    return request.RequestKey();
}

void tst_VeskMessage::shouldEndEachRequestOnce_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<QStringList>("expected");
    const auto ended = [](const char* code) {
        return QStringList{"MsgTimeout(DOC)", QStringLiteral("DataReady(DOC) receipts=none errors=") + code};
    };
    QTest::newRow("reply") << "reply" << QStringList{"DataReady(DOC) receipts=2 errors="};
    QTest::newRow("reply with errors")
        << "errors" << QStringList{"DataReady(DOC) receipts=none errors=CONFIRMED"};
    QTest::newRow("time-out") << "time-out" << ended("TIMEOUT");
    QTest::newRow("lost connection") << "lost" << ended("CONNECTION_LOST");
    QTest::newRow("no transport") << "no transport" << ended("NOT_CONNECTED");
}

void tst_VeskMessage::shouldEndEachRequestOnce()
{
    QFETCH(QString, way);
    QFETCH(QStringList, expected);

    std::unique_ptr<MessageTransport> removed;
    if (way == u"no transport")
        removed = m_service->setTransport(nullptr);
    const QString key = send("DOC", way == u"time-out" ? 30 : 30000);
    QVERIFY(m_events.isEmpty());

    if (way == u"reply")
        m_transport->deliverReply(key, {{"RECEIPT", receipts(2)}});
    else if (way == u"errors")
        m_transport->deliverReply(key, {}, {{"CONFIRMED", "Already confirmed"}});
    else if (way == u"lost")
        m_transport->loseConnection();
    QTRY_COMPARE(m_events, expected);
    QVERIFY(m_service->outstandingKeys().isEmpty());
    QVERIFY(m_service->announcedKey().isEmpty());

    // Whatever comes for it afterwards changes nothing.
    if (removed)
        m_service->setTransport(std::move(removed));
    m_transport->deliverReply(key, {{"RECEIPT", receipts(5)}});
    QVERIFY(!m_transport->deliverTimeout(key));
    QTest::qWait(60);
    QCOMPARE(m_events, expected);
}

void tst_VeskMessage::shouldNeverAnnounceFromInsideSend()
{
    m_service->setTransport(std::make_unique<EagerTransport>());
    send("DOC");
    QVERIFY(m_events.isEmpty());
    QTRY_COMPARE(m_events, QStringList{"DataReady(DOC) receipts=none errors="});
}

void tst_VeskMessage::shouldEndOutstandingRequestsInSendingOrderWhenTheConnectionIsLost()
{
    for (const char* document : {"DOC_B", "DOC_A", "DOC_C"})
        send(document);
    QString resent;
    // A document that sends again from its handler starts on the next connection.
    m_onDataReady = [&](const QString& document) {
        if (document == u"DOC_A" && resent.isEmpty())
            resent = send("DOC_A");
    };
    m_transport->loseConnection();
    const QString lost = QStringLiteral(" receipts=none errors=CONNECTION_LOST");
    QCOMPARE(m_events,
             (QStringList{"MsgTimeout(DOC_B)", "DataReady(DOC_B)" + lost, "MsgTimeout(DOC_A)",
                          "DataReady(DOC_A)" + lost, "MsgTimeout(DOC_C)", "DataReady(DOC_C)" + lost}));
    QCOMPARE(m_service->outstandingKeys(), QStringList{resent});
}

void tst_VeskMessage::shouldDeliverRepliesFromAWorkerThreadOnTheUiThread()
{
    const QString key = send("DOC");
    FakeTransport* transport = m_transport;
    std::unique_ptr<QThread> worker(QThread::create([transport, key] {
        transport->deliverReply(key, {{"RECEIPT", receipts(3)}});
    }));
    worker->start();
    QVERIFY(worker->wait(5000));
    QTRY_COMPARE(m_events, QStringList{"DataReady(DOC) receipts=3 errors="});
}

void tst_VeskMessage::shouldDropRepliesForRequestsNotSent()
{
    m_transport->deliverReply(protocol::Reply{"never-sent", "DOC", {}, {{"RECEIPT", receipts(1)}}});
    QTest::qWait(20);
    QVERIFY(m_events.isEmpty());
    QVERIFY(!ReplyStore::instance().contains("DOC", "never-sent"));
}

void tst_VeskMessage::shouldRestoreTheAnnouncedKeyAfterANestedAnnouncement()
{
    const QString outer = send("DOC_A");
    const QString inner = send("DOC_B");
    QStringList keysSeen;
    // DOC_A's handler waits in a nested loop (a modal form) while DOC_B's reply arrives.
    m_onDataReady = [&](const QString& document) {
        keysSeen.append(m_service->announcedKey());
        if (document == u"DOC_A") {
            m_transport->deliverReply(inner, {});
            keysSeen.append(m_service->announcedKey());
        }
    };
    m_transport->deliverReply(outer, {});
    QCOMPARE(keysSeen, (QStringList{outer, inner, outer}));
    QVERIFY(m_service->announcedKey().isEmpty());
}

QTEST_GUILESS_MAIN(tst_VeskMessage)
#include "tst_veskmessage.moc"
