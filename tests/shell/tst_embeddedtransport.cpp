#include "shell/EmbeddedTransport.h"

#include <atomic>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

using namespace tavro;

namespace {

/// Remembers on which thread each of its calls ran; answers every request with its key.
struct ThreadRecord
{
    std::atomic<QThread*> opened{nullptr};
    std::atomic<QThread*> handled{nullptr};
    std::atomic<QThread*> destroyed{nullptr};
    std::atomic<int> requests{0};
};

class RecordingBackend final : public EmbeddedBackend
{
public:
    RecordingBackend(ThreadRecord& record, bool opens) : m_record(record), m_opens(opens) {}
    ~RecordingBackend() override { m_record.destroyed = QThread::currentThread(); }

    bool open(QString* error) override
    {
        m_record.opened = QThread::currentThread();
        if (!m_opens && error)
            *error = QStringLiteral("disk full");
        return m_opens;
    }
    std::optional<protocol::Session> signInLocal(QString*) override
    {
        return protocol::Session{"local", {"officer", {}, {}, 1234, {}}};
    }
    protocol::Reference reference() override
    {
        protocol::Reference r;
        r.officers.insert(1234, "Jane Roe");
        return r;
    }
    protocol::Reply handle(const protocol::Request& request) override
    {
        m_record.handled = QThread::currentThread();
        ++m_record.requests;
        return protocol::Reply{request.key, request.requester, {}, {}};
    }
    QString firstUnconfirmedBatch() override { return QStringLiteral("1001"); }

private:
    ThreadRecord& m_record;
    bool m_opens;
};

protocol::Request request(const QString& key)
{
    protocol::Request r;
    r.key = key;
    r.requester = QStringLiteral("TAVRO_CnfrmPymt");
    r.requestCode = protocol::Search;
    return r;
}

} // namespace

class tst_EmbeddedTransport : public QObject
{
    Q_OBJECT

private slots:
    void shouldRunTheBackEndOnItsOwnThreadAndReplyOnTheUiThread()
    {
        ThreadRecord record;
        {
            EmbeddedTransport transport([&] { return std::make_unique<RecordingBackend>(record, true); });
            QString error;
            QVERIFY2(transport.start(&error), qPrintable(error));
            QVERIFY(record.opened.load() && record.opened.load() != QThread::currentThread());

            QList<QThread*> replyThreads;
            QStringList keys;
            connect(&transport, &MessageTransport::replyReceived, this, [&](const protocol::Reply& reply) {
                replyThreads.append(QThread::currentThread());
                keys.append(reply.key);
            });
            for (const char* key : {"K1", "K2", "K3"})
                transport.send(request(key));
            // Never inside send(): the sender may still be setting its state.
            QVERIFY(keys.isEmpty());
            QTRY_COMPARE(keys, (QStringList{"K1", "K2", "K3"}));
            for (QThread* t : replyThreads)
                QCOMPARE(t, QThread::currentThread());
            QCOMPARE(record.handled.load(), record.opened.load());
            QCOMPARE(transport.pending(), 0);

            // The other calls are answered by the worker as well.
            QString why;
            const auto session = transport.signInLocal(&why);
            QVERIFY2(session, qPrintable(why));
            QCOMPARE(session->profile.userId, QStringLiteral("officer"));
            QCOMPARE(transport.reference().officers.value(1234), QStringLiteral("Jane Roe"));
            QCOMPARE(transport.firstUnconfirmedBatch(), QStringLiteral("1001"));
        }
        // The back end's database belongs to the worker: it is closed there too.
        QCOMPARE(record.destroyed.load(), record.opened.load());
    }

    void shouldReportABackEndThatCannotOpen_data()
    {
        QTest::addColumn<bool>("hasBackend");
        QTest::addColumn<QString>("error");
        QTest::newRow("store fails") << true << "disk full";
        QTest::newRow("no back end") << false << "No embedded back end";
    }

    void shouldReportABackEndThatCannotOpen()
    {
        QFETCH(bool, hasBackend);
        QFETCH(QString, error);
        ThreadRecord record;
        EmbeddedTransport transport([&]() -> std::unique_ptr<EmbeddedBackend> {
            return hasBackend ? std::make_unique<RecordingBackend>(record, false) : nullptr;
        });
        QString why;
        QVERIFY(!transport.start(&why));
        QVERIFY2(why.contains(error), qPrintable(why));

        // A request sent anyway ends as a lost connection instead of waiting for ever.
        QSignalSpy lost(&transport, &MessageTransport::connectionLost);
        transport.send(request("K1"));
        QCOMPARE(lost.size(), 0);
        QTRY_COMPARE(lost.size(), 1);
        QCOMPARE(record.requests.load(), 0);
    }

    void shouldDropRepliesWhenDestroyedWithRequestsInFlight()
    {
        ThreadRecord record;
        int replies = 0;
        {
            EmbeddedTransport transport([&] { return std::make_unique<RecordingBackend>(record, true); });
            QVERIFY(transport.start(nullptr));
            connect(&transport, &MessageTransport::replyReceived, this, [&] { ++replies; });
            for (int i = 0; i < 50; ++i)
                transport.send(request(QStringLiteral("K%1").arg(i)));
        }
        QCoreApplication::processEvents();
        QCOMPARE(replies, 0);
        QCOMPARE(record.requests.load(), 50); // every request was handled before the worker stopped
    }
};

QTEST_MAIN(tst_EmbeddedTransport)
#include "tst_embeddedtransport.moc"
