// The shell's WebSocket transport against a real tavro server on a fresh SQLite file.
#include "server/Database.h"
#include "server/Server.h"
#include "server/Service.h"
#include "shell/RemoteTransport.h"

#include <memory>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace tavro;

namespace {

protocol::Request searchRequest(const QString& key, const QString& batch)
{
    protocol::Request r;
    r.key = key;
    r.requester = QStringLiteral("TAVRO_CnfrmPymt");
    r.userId = QStringLiteral("demo");
    r.version = QStringLiteral("5.1");
    r.requestCode = protocol::Search;
    const QString system = QStringLiteral("KESTROVA");
    const QString eq = QStringLiteral("=");
    r.criteria = {{system, "key:DOC_NBR", eq, batch},
                  {system, "key:DOC_TYP_CD", eq, "D"},
                  {system, "key:CONF", eq, "F"},
                  {system, "key:thin", eq, "Yes"}};
    return r;
}

} // namespace

class tst_RemoteTransport : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<server::Service> m_service;
    std::unique_ptr<server::Server> m_server;
    quint16 m_port = 0;
    QString m_batch; // a daily batch with unconfirmed receipts

    bool listen(quint16 port)
    {
        m_server = std::make_unique<server::Server>(*m_service);
        QString why;
        if (!m_server->listen(QHostAddress::LocalHost, port, &why)) {
            qWarning() << why;
            return false;
        }
        m_port = m_server->port();
        return true;
    }
    QUrl url() const { return QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(m_port)); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_service = std::make_unique<server::Service>(
            server::DatabaseConfig::sqlite(m_dir.filePath("remote.sqlite")));
        QString why;
        QVERIFY2(m_service->initialize(&why), qPrintable(why));
        QVERIFY2(m_service->seedDemo(&why, server::HashCost::Minimal), qPrintable(why));
        const auto db = m_service->database().connection(&why);
        QVERIFY2(db, qPrintable(why));
        server::Query q(*db, "SELECT MIN(dly_rcpt_nbr) FROM dly_rcpt WHERE cnfrmtn_nbr IS NULL");
        QVERIFY(q.exec() && q.next());
        m_batch = QStringLiteral("%1").arg(server::toInteger(q.value(0)), 7, 10, QLatin1Char('0'));
        q.finish();
        QVERIFY(listen(0));
    }

    void shouldSignInAndBringTheProfileAndReference()
    {
        RemoteTransport transport(url(), "demo", "demo");
        QString error;
        QVERIFY2(transport.signIn(10000, &error), qPrintable(error));
        QVERIFY(transport.isOnline());
        QCOMPARE(transport.session().profile.userId, QStringLiteral("demo"));
        QVERIFY(!transport.session().token.isEmpty());
        QVERIFY(transport.reference().codeTables.value("CNFRMDOC").contains("D"));
        QVERIFY(transport.reference().officers.contains(transport.session().profile.officerId));
    }

    void shouldSayWhySignInFails_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("reachable");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("wrong password") << "demo"
                                        << "wrong" << true << "refused the sign-in";
        QTest::newRow("unknown user") << "nobody"
                                      << "demo" << true << "refused the sign-in";
        QTest::newRow("no server") << "demo"
                                   << "demo" << false << "cannot be reached";
    }

    void shouldSayWhySignInFails()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(bool, reachable);
        QFETCH(QString, mentions);
        // Port 1 on loopback: nothing listens there.
        const QUrl where = reachable ? url() : QUrl(QStringLiteral("ws://127.0.0.1:1"));
        RemoteTransport transport(where, user, password);
        QString error;
        QVERIFY(!transport.signIn(5000, &error));
        QVERIFY2(error.contains(mentions) && error.contains(where.toString()), qPrintable(error));
        QVERIFY(!transport.isOnline());
        // Nothing goes out without a session; the sender hears so at once, never inside send().
        QSignalSpy lost(&transport, &MessageTransport::connectionLost);
        transport.send(searchRequest("K", "0012301"));
        QCOMPARE(lost.size(), 0);
        QTRY_COMPARE(lost.size(), 1);
    }

    void shouldEndRequestsWhenTheServerGoesAndResumeWhenItIsBack()
    {
        RemoteTransport transport(url(), "demo", "demo");
        transport.setRetryMs(100);
        QVERIFY(transport.signIn(10000, nullptr));
        const QString token = transport.session().token;
        QSignalSpy lost(&transport, &MessageTransport::connectionLost);
        QSignalSpy back(&transport, &RemoteTransport::reconnected);
        QSignalSpy replies(&transport, &MessageTransport::replyReceived);

        const quint16 port = m_port;
        m_server.reset(); // the server stops
        QTRY_COMPARE(lost.size(), 1);
        QVERIFY(!transport.isOnline());
        transport.send(searchRequest("while-down", "0012301"));
        QTRY_COMPARE(lost.size(), 2);

        QVERIFY(listen(port)); // back on the same address
        QTRY_COMPARE_WITH_TIMEOUT(back.size(), 1, 15000);
        QVERIFY(transport.isOnline());
        QCOMPARE(transport.session().token, token); // the session was resumed, not a new sign-in
        transport.send(searchRequest("after", m_batch));
        QTRY_COMPARE(replies.size(), 1);
        QCOMPARE(replies.at(0).at(0).value<protocol::Reply>().key, QStringLiteral("after"));
    }

    void cleanupTestCase()
    {
        m_server.reset();
        m_service.reset();
    }
};

QTEST_MAIN(tst_RemoteTransport)
#include "tst_remotetransport.moc"
