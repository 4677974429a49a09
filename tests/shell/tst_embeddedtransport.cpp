#include "shell/EmbeddedTransport.h"

#include <atomic>
#include <QSignalSpy>
#include <QTest>

using namespace tavro;

namespace {
/// A store that cannot open; counts the requests that reach it anyway.
class FailingBackend final : public EmbeddedBackend
{
public:
    explicit FailingBackend(std::atomic<int>& requests) : m_requests(requests) {}
    bool open(QString* error) override
    {
        if (error)
            *error = QStringLiteral("disk full");
        return false;
    }
    std::optional<protocol::Session> signInLocal(QString*) override { return std::nullopt; }
    protocol::Reference reference() override { return {}; }
    protocol::Reply handle(const protocol::Request& request) override
    {
        ++m_requests;
        return protocol::Reply{request.key, request.requester, {}, {}};
    }
    QString firstUnconfirmedBatch() override { return {}; }

private:
    std::atomic<int>& m_requests;
};
} // namespace

class tst_EmbeddedTransport : public QObject
{
    Q_OBJECT

private slots:
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
        std::atomic<int> requests{0};
        EmbeddedTransport transport([&]() -> std::unique_ptr<EmbeddedBackend> {
            return hasBackend ? std::make_unique<FailingBackend>(requests) : nullptr;
        });
        QString why;
        QVERIFY(!transport.start(&why));
        QVERIFY2(why.contains(error), qPrintable(why));

        // A request sent anyway ends as a lost connection, never inside send() and never by waiting.
        QSignalSpy lost(&transport, &MessageTransport::connectionLost);
        protocol::Request request;
        request.key = QStringLiteral("K1");
        request.requestCode = protocol::Search;
        transport.send(request);
        QCOMPARE(lost.size(), 0);
        QTRY_COMPARE(lost.size(), 1);
        QCOMPARE(requests.load(), 0);
    }
};

QTEST_MAIN(tst_EmbeddedTransport)
#include "tst_embeddedtransport.moc"
