#include "common/ReplyStore.h"
#include "common/VeskMessage.h"
#include "common/VeskRequest.h"
#include "common/WebSocketTransport.h"
#include "support/TestEnvironment.h"

#include <QProcess>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QSslKey>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QWebSocket>
#include <QWebSocketServer>

using namespace tavro;
using State = WebSocketTransport::State;

namespace {

const QString Requester = QStringLiteral("TAVRO_CnfrmPymt");

protocol::Profile profileOf(const QString& user)
{
    return {user, QStringLiteral("TRP1"), QStringLiteral("D07"), 1234, QStringLiteral("Jane Roe")};
}

/// A back end in the test process that speaks the wire protocol and does what the test scripts.
class ScriptedServer : public QObject
{
public:
    explicit ScriptedServer(const QSslConfiguration* tls = nullptr)
        : m_server(QStringLiteral("scripted"),
                   tls ? QWebSocketServer::SecureMode : QWebSocketServer::NonSecureMode),
          m_secure(tls != nullptr)
    {
        if (tls)
            m_server.setSslConfiguration(*tls);
        connect(&m_server, &QWebSocketServer::newConnection, this, &ScriptedServer::accept);
    }
    ~ScriptedServer() override { stop(); }

    bool listen(quint16 port = 0)
    {
        if (!m_server.listen(QHostAddress::LocalHost, port))
            return false;
        m_port = m_server.serverPort();
        return true;
    }
    QUrl url() const
    {
        return QUrl(QStringLiteral("%1://127.0.0.1:%2").arg(m_secure ? "wss" : "ws").arg(m_port));
    }
    /// The server goes away: no more connections, the open ones broken without a closing frame.
    void stop()
    {
        m_server.close();
        dropAll();
    }
    void dropAll()
    {
        for (QWebSocket* client : std::exchange(m_clients, {})) {
            client->abort();
            client->deleteLater();
        }
        m_muted.clear();
    }
    /// The open connections stay open but nothing on them is answered any more.
    void muteAll() { m_muted = m_clients; }
    void sendRaw(const QByteArray& frame)
    {
        for (QWebSocket* client : std::as_const(m_clients))
            client->sendTextMessage(QString::fromUtf8(frame));
    }
    void answer(const protocol::Request& request, const QString& padding = {})
    {
        protocol::Reply reply{request.key, request.requester, {}, {}};
        protocol::DataSet receipts;
        receipts.fields = {{QStringLiteral("FRCPT_NBR"), protocol::FieldType::Text}};
        const QString value = request.criteria.isEmpty() ? QString() : request.criteria.constFirst().value;
        receipts.records.append({value + padding});
        reply.dataSets.insert(QStringLiteral("RECEIPT"), receipts);
        sendRaw(protocol::encode(reply));
    }
    int requestsFor(const QString& key) const { return int(log.count(QStringLiteral("request:") + key)); }

    // The script.
    QString password = QStringLiteral("secret");
    bool answerLogin = true;
    bool refuseResume = false;
    bool answerRequests = true;

    // What arrived, in order: "login:USER", "resume:TOKEN", "reference", "request:KEY", "ping".
    QStringList log;
    QList<protocol::Request> waiting; // requests left unanswered
    QStringList tokens;               // handed out, oldest first

private:
    void accept()
    {
        while (QWebSocket* client = m_server.nextPendingConnection()) {
            client->setParent(this);
            m_clients.append(client);
            connect(client, &QWebSocket::textMessageReceived, this,
                    [this, client](const QString& text) { received(client, text); });
        }
    }
    void reply(QWebSocket* client, const protocol::Message& message)
    {
        client->sendTextMessage(QString::fromUtf8(protocol::encode(message)));
    }
    void received(QWebSocket* client, const QString& text)
    {
        if (m_muted.contains(client))
            return;
        const protocol::DecodeResult result = protocol::decode(text.toUtf8());
        QVERIFY2(result.message, qPrintable(result.error.text));
        const protocol::Message& message = *result.message;
        if (const auto* login = std::get_if<protocol::Login>(&message)) {
            log.append(QStringLiteral("login:") + login->user);
            if (!answerLogin)
                return;
            if (login->password != password)
                return reply(client, protocol::Error{QStringLiteral("login-failed"),
                                                     QStringLiteral("Wrong user name or password.")});
            tokens.append(QStringLiteral("tok-%1").arg(tokens.size() + 1));
            reply(client, protocol::Session{tokens.constLast(), profileOf(login->user)});
        } else if (const auto* resume = std::get_if<protocol::Resume>(&message)) {
            log.append(QStringLiteral("resume:") + resume->token);
            if (refuseResume || !tokens.contains(resume->token))
                return reply(client, protocol::Error{QStringLiteral("session-expired"),
                                                     QStringLiteral("Your session has ended.")});
            reply(client, protocol::Session{resume->token, profileOf(QStringLiteral("jdoe"))});
        } else if (std::holds_alternative<protocol::ReferenceRequest>(message)) {
            log.append(QStringLiteral("reference"));
            protocol::Reference reference;
            reference.codeTables[QStringLiteral("CNFRMDOC")][QStringLiteral("D")] =
                QStringLiteral("Daily Receipt");
            reference.officers[1234] = QStringLiteral("Jane Roe");
            reply(client, reference);
        } else if (const auto* ping = std::get_if<protocol::Ping>(&message)) {
            log.append(QStringLiteral("ping"));
            reply(client, protocol::Pong{ping->key});
        } else if (const auto* request = std::get_if<protocol::Request>(&message)) {
            log.append(QStringLiteral("request:") + request->key);
            if (answerRequests)
                answer(*request);
            else
                waiting.append(*request);
        }
    }

    QWebSocketServer m_server;
    bool m_secure;
    quint16 m_port = 0;
    QList<QWebSocket*> m_clients;
    QList<QWebSocket*> m_muted;
};

/// Every MsgTimeout and DataReady of the message service, as "MsgTimeout KEY" / "DataReady KEY".
class Announcements : public QObject
{
public:
    Announcements()
    {
        VeskMessage* service = VeskMessage::GetInstance();
        connect(service, &VeskMessage::MsgTimeout, this, [this, service](QString&) {
            events.append(QStringLiteral("MsgTimeout ") + service->announcedKey());
        });
        connect(service, &VeskMessage::DataReady, this, [this, service](QVariant&) {
            events.append(QStringLiteral("DataReady ") + service->announcedKey());
        });
    }
    QStringList events;
};

QString send(const QString& value)
{
    VeskRequest request;
    request.setRequester(Requester);
    request.setUserId(QStringLiteral("jdoe"));
    request.setRequestCode(protocol::Search);
    request.AddCriterion(
        {QStringLiteral("KESTROVA"), QStringLiteral("key:DOC_NBR"), QStringLiteral("="), value});
    request.Send();
    return request.RequestKey();
}

QString receiptOf(const QString& key)
{
    const DataSetPtr set = ReplyStore::instance().GetDataSet(QStringLiteral("RECEIPT"), Requester, key);
    if (!set)
        return QStringLiteral("<no RECEIPT>");
    set->Prepare();
    return set->Eof() ? QStringLiteral("<empty>")
                      : set->Fields().Item(QStringLiteral("FRCPT_NBR")).Value().toString();
}

QString errorCodeOf(const QString& key)
{
    if (ReplyStore::instance().latestKey(Requester) != key)
        return QStringLiteral("<not latest>");
    const QList<protocol::ReplyError> errors = ReplyStore::instance().latestErrors(Requester);
    return errors.isEmpty() ? QString() : errors.constFirst().code;
}

QStringList endedWithoutReply(const QStringList& keys)
{
    QStringList events;
    for (const QString& key : keys)
        events << QStringLiteral("MsgTimeout ") + key << QStringLiteral("DataReady ") + key;
    return events;
}

// A save request whose frame is exactly \a bytes long.
protocol::Request requestOfSize(qsizetype bytes)
{
    protocol::Request request;
    request.key = QStringLiteral("BIG");
    request.requester = Requester;
    request.requestCode = protocol::Save;
    protocol::DataSet set;
    set.fields = {{QStringLiteral("PAD"), protocol::FieldType::Text}};
    set.records.append({QString()});
    request.dataSets.insert(QStringLiteral("RECEIPT"), set);
    const qsizetype bare = protocol::encode(request).size();
    request.dataSets[QStringLiteral("RECEIPT")].records[0][0] = QString(bytes - bare, QLatin1Char('x'));
    return request;
}

} // namespace

class tst_WebSocketTransport : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void shouldSignInWithTheSessionsProfileAndReferenceData();
    void shouldDeliverEachReplyToItsRequest_data();
    void shouldDeliverEachReplyToItsRequest();
    void shouldEndEveryOutstandingRequestWhenTheConnectionDropsAndResume_data();
    void shouldEndEveryOutstandingRequestWhenTheConnectionDropsAndResume();
    void shouldReportAFailedSignInAndEndLaterRequestsAtOnce_data();
    void shouldReportAFailedSignInAndEndLaterRequestsAtOnce();
    void shouldHoldRequestsOnlyWithinTheHoldTime_data();
    void shouldHoldRequestsOnlyWithinTheHoldTime();
    void shouldRefuseRequestsOverTheFrameLimit_data();
    void shouldRefuseRequestsOverTheFrameLimit();
    void shouldDropAConnectionThatDeliversAnOversizedFrame_data();
    void shouldDropAConnectionThatDeliversAnOversizedFrame();
    void shouldEndARequestTheServerCouldNotAnswerProperly_data();
    void shouldEndARequestTheServerCouldNotAnswerProperly();
    void shouldNoticeAServerThatStoppedAnswering_data();
    void shouldNoticeAServerThatStoppedAnswering();
    void shouldEndEverythingAndStayAwayAfterSignOut_data();
    void shouldEndEverythingAndStayAwayAfterSignOut();
    void shouldSpaceOutReconnectAttempts();
    void shouldVerifyTheServerCertificate_data();
    void shouldVerifyTheServerCertificate();

private:
    WebSocketTransport* install(const QUrl& url);
    bool signIn();

    std::unique_ptr<test::TestEnvironment> m_env;
    std::unique_ptr<ScriptedServer> m_server;
    std::unique_ptr<Announcements> m_announced;
    WebSocketTransport* m_transport = nullptr;
    QTemporaryDir m_certificates;
    bool m_haveCertificates = false;
};

void tst_WebSocketTransport::initTestCase()
{
    // Two unrelated self-signed certificates for "localhost"; the tests connect to 127.0.0.1.
    for (const char* name : {"server", "other"}) {
        const int exitCode = QProcess::execute(
            QStringLiteral("openssl"),
            {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
             QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"),
             QStringLiteral("-nodes"), QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
             QStringLiteral("/CN=localhost"), QStringLiteral("-keyout"),
             m_certificates.filePath(QStringLiteral("%1.key").arg(name)), QStringLiteral("-out"),
             m_certificates.filePath(QStringLiteral("%1.pem").arg(name))});
        m_haveCertificates = exitCode == 0;
        if (!m_haveCertificates)
            break;
    }
}

void tst_WebSocketTransport::init()
{
    m_env = std::make_unique<test::TestEnvironment>();
    VeskMessage::GetInstance()->setTimeoutMs(15000); // far beyond every wait here
    m_server = std::make_unique<ScriptedServer>();
    QVERIFY(m_server->listen());
    m_announced = std::make_unique<Announcements>();
}

void tst_WebSocketTransport::cleanup()
{
    m_announced.reset();
    m_env.reset(); // puts the previous transport back, destroying this test's
    m_transport = nullptr;
    m_server.reset();
}

WebSocketTransport* tst_WebSocketTransport::install(const QUrl& url)
{
    auto transport = std::make_unique<WebSocketTransport>(url);
    transport->setReconnectDelays(20, 100);
    transport->setHoldTimeoutMs(3000);
    transport->setResponseTimeoutMs(3000);
    transport->setKeepAliveMs(0);
    m_transport = transport.get();
    VeskMessage::GetInstance()->setTransport(std::move(transport));
    return m_transport;
}

bool tst_WebSocketTransport::signIn()
{
    if (!m_transport)
        install(m_server->url());
    QSignalSpy signedIn(m_transport, &WebSocketTransport::signedIn);
    m_transport->signIn(QStringLiteral("jdoe"), QStringLiteral("secret"));
    return signedIn.wait(3000) && m_transport->state() == State::SignedIn;
}

void tst_WebSocketTransport::shouldSignInWithTheSessionsProfileAndReferenceData()
{
    install(m_server->url());
    QSignalSpy states(m_transport, &WebSocketTransport::connectionStateChanged);
    QVERIFY(signIn());

    QCOMPARE(m_env->profile.profile, profileOf(QStringLiteral("jdoe")));
    QCOMPARE(m_env->reference.codeDescription(QStringLiteral("CNFRMDOC"), QStringLiteral("D")),
             QStringLiteral("Daily Receipt"));
    QCOMPARE(m_env->reference.officerName(1234), QStringLiteral("Jane Roe"));
    QCOMPARE(m_server->log, QStringList({QStringLiteral("login:jdoe"), QStringLiteral("reference")}));
    QList<State> seen;
    for (const QList<QVariant>& change : std::as_const(states))
        seen.append(change.constFirst().value<State>());
    QCOMPARE(seen, QList<State>({State::Connecting, State::SigningIn, State::SignedIn}));
}

void tst_WebSocketTransport::shouldDeliverEachReplyToItsRequest_data()
{
    QTest::addColumn<QList<int>>("answerOrder");
    QTest::newRow("one request") << QList<int>{0};
    QTest::newRow("answered in sending order") << QList<int>{0, 1, 2};
    QTest::newRow("answered in reverse order") << QList<int>{2, 1, 0};
    QTest::newRow("answered out of order") << QList<int>{1, 3, 0, 2};
}

void tst_WebSocketTransport::shouldDeliverEachReplyToItsRequest()
{
    QFETCH(QList<int>, answerOrder);
    QVERIFY(signIn());
    m_server->answerRequests = false;

    QStringList keys;
    for (int i = 0; i < answerOrder.size(); ++i)
        keys.append(send(QStringLiteral("R%1").arg(i)));
    QTRY_COMPARE_WITH_TIMEOUT(m_server->waiting.size(), answerOrder.size(), 2000);
    for (int index : answerOrder)
        m_server->answer(m_server->waiting.at(index));

    QTRY_COMPARE_WITH_TIMEOUT(m_announced->events.size(), answerOrder.size(), 2000);
    QStringList expected;
    for (int index : answerOrder)
        expected.append(QStringLiteral("DataReady ") + keys.at(index));
    QCOMPARE(m_announced->events, expected);
    for (int i = 0; i < keys.size(); ++i)
        QCOMPARE(receiptOf(keys.at(i)), QStringLiteral("R%1").arg(i));
}

void tst_WebSocketTransport::shouldEndEveryOutstandingRequestWhenTheConnectionDropsAndResume_data()
{
    QTest::addColumn<int>("outstanding");
    QTest::newRow("nothing waiting") << 0;
    QTest::newRow("one request waiting") << 1;
    QTest::newRow("three requests waiting") << 3;
}

void tst_WebSocketTransport::shouldEndEveryOutstandingRequestWhenTheConnectionDropsAndResume()
{
    QFETCH(int, outstanding);
    QVERIFY(signIn());
    QSignalSpy signedIn(m_transport, &WebSocketTransport::signedIn);
    m_server->answerRequests = false;
    QStringList keys;
    for (int i = 0; i < outstanding; ++i)
        keys.append(send(QStringLiteral("W%1").arg(i)));
    QTRY_COMPARE_WITH_TIMEOUT(m_server->waiting.size(), outstanding, 2000);

    m_server->dropAll();
    QTRY_COMPARE_WITH_TIMEOUT(m_announced->events, endedWithoutReply(keys), 2000);
    for (const QString& key : std::as_const(keys))
        QVERIFY(ReplyStore::instance().contains(Requester, key));
    if (!keys.isEmpty())
        QCOMPARE(errorCodeOf(keys.constLast()), QString::fromLatin1(VeskMessage::ConnectionLostCode));

    // Back with the same session: no password needed, none kept.
    QTRY_COMPARE_WITH_TIMEOUT(signedIn.size(), 1, 3000);
    QCOMPARE(m_transport->state(), State::SignedIn);
    QCOMPARE(m_server->log.filter(QStringLiteral("login:")).size(), 1);
    QCOMPARE(m_server->log.filter(QStringLiteral("resume:")), QStringList{QStringLiteral("resume:tok-1")});

    m_announced->events.clear();
    m_server->answerRequests = true;
    const QString after = send(QStringLiteral("AFTER"));
    QTRY_COMPARE_WITH_TIMEOUT(m_announced->events, QStringList{QStringLiteral("DataReady ") + after}, 2000);
    QCOMPARE(receiptOf(after), QStringLiteral("AFTER"));
}

void tst_WebSocketTransport::shouldReportAFailedSignInAndEndLaterRequestsAtOnce_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<State>("state");
    QTest::addColumn<QString>("reason");
    QTest::newRow("wrong password") << "password" << State::SignedOut << "Wrong user name or password.";
    QTest::newRow("nothing listening") << "no server" << State::SignedOut << "cannot be reached";
    QTest::newRow("no answer to the login") << "silent" << State::SignedOut << "did not answer";
    QTest::newRow("session refused on resume")
        << "resume" << State::SignInRequired << "Your session has ended.";
}

void tst_WebSocketTransport::shouldReportAFailedSignInAndEndLaterRequestsAtOnce()
{
    QFETCH(QString, fault);
    QFETCH(State, state);
    QFETCH(QString, reason);
    if (fault == QLatin1String("no server")) {
        const QUrl url = m_server->url();
        m_server->stop();
        install(url);
    } else {
        install(m_server->url());
    }
    m_transport->setResponseTimeoutMs(300);
    QSignalSpy failed(m_transport, &WebSocketTransport::signInFailed);

    if (fault == QLatin1String("resume")) {
        QVERIFY(signIn());
        m_server->refuseResume = true;
        m_server->dropAll();
    } else {
        m_server->password = QStringLiteral("other");
        m_server->answerLogin = fault != QLatin1String("silent");
        m_transport->signIn(QStringLiteral("jdoe"), QStringLiteral("secret"));
    }

    QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 3000);
    QVERIFY2(failed.constFirst().constFirst().toString().contains(reason),
             qPrintable(failed.constFirst().constFirst().toString()));
    QCOMPARE(m_transport->state(), state);
    QVERIFY(!m_transport->hasSession());

    // Signed out: a request ends at once instead of waiting for its time-out, and is not sent.
    const QString key = send(QStringLiteral("LATE"));
    QTRY_COMPARE_WITH_TIMEOUT(m_announced->events, endedWithoutReply({key}), 500);
    QCOMPARE(errorCodeOf(key), QString::fromLatin1(VeskMessage::ConnectionLostCode));
    QCOMPARE(m_server->requestsFor(key), 0);
    QCOMPARE(failed.size(), 1);
}

void tst_WebSocketTransport::shouldHoldRequestsOnlyWithinTheHoldTime_data()
{
    QTest::addColumn<int>("downMs");
    QTest::addColumn<bool>("answered");
    // -1: sent during the first sign-in, the server never away.
    QTest::newRow("sent during the first sign-in") << -1 << true;
    QTest::newRow("server back within the hold time") << 150 << true;
    QTest::newRow("server back after the hold time") << 1000 << false;
}

void tst_WebSocketTransport::shouldHoldRequestsOnlyWithinTheHoldTime()
{
    QFETCH(int, downMs);
    QFETCH(bool, answered);
    install(m_server->url());
    m_transport->setHoldTimeoutMs(500);
    QString key;
    if (downMs < 0) {
        QSignalSpy signedIn(m_transport, &WebSocketTransport::signedIn);
        m_transport->signIn(QStringLiteral("jdoe"), QStringLiteral("secret"));
        key = send(QStringLiteral("HELD"));
        QVERIFY(signedIn.wait(3000));
    } else {
        QVERIFY(signIn());
        const QUrl url = m_server->url();
        m_server->stop();
        QTRY_VERIFY_WITH_TIMEOUT(m_transport->state() != State::SignedIn, 2000);
        key = send(QStringLiteral("HELD"));
        QTest::qWait(downMs);
        QVERIFY(m_server->listen(quint16(url.port())));
        QTRY_COMPARE_WITH_TIMEOUT(m_transport->state(), State::SignedIn, 3000);
    }

    if (answered) {
        QTRY_COMPARE_WITH_TIMEOUT(m_announced->events, QStringList{QStringLiteral("DataReady ") + key}, 2000);
        QCOMPARE(receiptOf(key), QStringLiteral("HELD"));
        QCOMPARE(m_server->requestsFor(key), 1);
    } else {
        QCOMPARE(m_announced->events, endedWithoutReply({key}));
        QCOMPARE(errorCodeOf(key), QString::fromLatin1(VeskMessage::ConnectionLostCode));
        // Whoever was told it failed must be able to trust that it never reaches the server.
        const QString probe = send(QStringLiteral("PROBE"));
        QTRY_COMPARE_WITH_TIMEOUT(m_server->requestsFor(probe), 1, 2000);
        QCOMPARE(m_server->requestsFor(key), 0);
    }
}

void tst_WebSocketTransport::shouldRefuseRequestsOverTheFrameLimit_data()
{
    QTest::addColumn<qsizetype>("bytes");
    QTest::addColumn<bool>("sent");
    QTest::newRow("exactly the limit") << protocol::MaxFrameBytes << true;
    QTest::newRow("one byte over") << protocol::MaxFrameBytes + 1 << false;
}

void tst_WebSocketTransport::shouldRefuseRequestsOverTheFrameLimit()
{
    QFETCH(qsizetype, bytes);
    QFETCH(bool, sent);
    QVERIFY(signIn());
    m_server->answerRequests = false;
    QSignalSpy replies(m_transport, &MessageTransport::replyReceived);
    const protocol::Request request = requestOfSize(bytes);
    QCOMPARE(protocol::encode(request).size(), bytes);

    m_transport->send(request);
    if (sent) {
        QTRY_COMPARE_WITH_TIMEOUT(m_server->requestsFor(request.key), 1, 5000);
        QCOMPARE(replies.size(), 0);
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(replies.size(), 1, 1000);
        const auto reply = replies.constFirst().constFirst().value<protocol::Reply>();
        QCOMPARE(reply.key, request.key);
        QCOMPARE(reply.errors.size(), 1);
        QCOMPARE(reply.errors.constFirst().code, QString::fromLatin1(WebSocketTransport::TooLargeCode));
        QTest::qWait(50);
        QCOMPARE(m_server->requestsFor(request.key), 0);
    }
    QCOMPARE(m_transport->state(), State::SignedIn);
}

void tst_WebSocketTransport::shouldDropAConnectionThatDeliversAnOversizedFrame_data()
{
    QTest::addColumn<qsizetype>("overLimit");
    QTest::newRow("exactly the limit") << qsizetype(0);
    QTest::newRow("one byte over") << qsizetype(1);
}

void tst_WebSocketTransport::shouldDropAConnectionThatDeliversAnOversizedFrame()
{
    QFETCH(qsizetype, overLimit);
    QVERIFY(signIn());
    m_server->answerRequests = false;
    const QString key = send(QStringLiteral("R"));
    QTRY_COMPARE_WITH_TIMEOUT(m_server->waiting.size(), 1, 2000);

    const protocol::Request& request = m_server->waiting.constFirst();
    protocol::Reply probe{request.key, request.requester, {}, {}};
    probe.dataSets[QStringLiteral("RECEIPT")] = {{{QStringLiteral("FRCPT_NBR"), protocol::FieldType::Text}},
                                                 {{QStringLiteral("R")}}};
    const qsizetype bare = protocol::encode(probe).size();
    m_server->answer(request, QString(protocol::MaxFrameBytes + overLimit - bare, QLatin1Char('x')));

    if (overLimit == 0) {
        QTRY_COMPARE_WITH_TIMEOUT(m_announced->events, QStringList{QStringLiteral("DataReady ") + key}, 5000);
        QCOMPARE(receiptOf(key).size(), protocol::MaxFrameBytes - bare + 1);
        QCOMPARE(m_server->log.filter(QStringLiteral("resume:")).size(), 0);
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(m_announced->events, endedWithoutReply({key}), 5000);
        QCOMPARE(errorCodeOf(key), QString::fromLatin1(VeskMessage::ConnectionLostCode));
        QTRY_COMPARE_WITH_TIMEOUT(m_transport->state(), State::SignedIn, 3000);
        QCOMPARE(m_server->log.filter(QStringLiteral("resume:")).size(), 1);
    }
}

void tst_WebSocketTransport::shouldEndARequestTheServerCouldNotAnswerProperly_data()
{
    QTest::addColumn<int>("waiting");
    QTest::addColumn<QByteArray>("frame"); // KEY stands for the first waiting request's key
    QTest::addColumn<QString>("code");     // stored for that request; empty: nothing can be matched
    QTest::newRow("error frame, one request waiting")
        << 1 << QByteArray(R"({"type":"error","code":"unavailable","text":"The service is busy."})")
        << "unavailable";
    QTest::newRow("error frame, two requests waiting")
        << 2 << QByteArray(R"({"type":"error","code":"unavailable","text":"The service is busy."})") << "";
    QTest::newRow("reply with a malformed member")
        << 2 << QByteArray(R"({"type":"reply","key":"KEY","requester":"TAVRO_CnfrmPymt","errors":"x"})")
        << WebSocketTransport::BadReplyCode;
    QTest::newRow("reply with a value of the wrong type")
        << 1
        << QByteArray(R"({"type":"reply","key":"KEY","requester":"TAVRO_CnfrmPymt","errors":[],)"
                      R"("dataSets":{"RECEIPT":{"fields":[{"name":"N","type":"long"}],"records":[["7"]]}}})")
        << WebSocketTransport::BadReplyCode;
}

void tst_WebSocketTransport::shouldEndARequestTheServerCouldNotAnswerProperly()
{
    QFETCH(int, waiting);
    QFETCH(QByteArray, frame);
    QFETCH(QString, code);
    QVERIFY(signIn());
    m_server->answerRequests = false;
    QStringList keys;
    for (int i = 0; i < waiting; ++i)
        keys.append(send(QStringLiteral("W%1").arg(i)));
    QTRY_COMPARE_WITH_TIMEOUT(m_server->waiting.size(), waiting, 2000);

    m_server->sendRaw(frame.replace("KEY", keys.constFirst().toUtf8()));
    if (code.isEmpty()) {
        QTest::qWait(100);
        QCOMPARE(m_announced->events, QStringList());
        QCOMPARE(VeskMessage::GetInstance()->outstandingKeys(), keys);
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(m_announced->events,
                                  QStringList{QStringLiteral("DataReady ") + keys.constFirst()}, 2000);
        QCOMPARE(errorCodeOf(keys.constFirst()), code);
    }
    // The connection still serves: whatever is still waiting is answered normally.
    m_announced->events.clear();
    const qsizetype answeredBefore = keys.size() - VeskMessage::GetInstance()->outstandingKeys().size();
    for (qsizetype i = answeredBefore; i < keys.size(); ++i)
        m_server->answer(m_server->waiting.at(i));
    QTRY_COMPARE_WITH_TIMEOUT(m_announced->events.size(), keys.size() - answeredBefore, 2000);
    for (qsizetype i = answeredBefore; i < keys.size(); ++i)
        QCOMPARE(receiptOf(keys.at(i)), QStringLiteral("W%1").arg(i));
    QCOMPARE(m_transport->state(), State::SignedIn);
}

void tst_WebSocketTransport::shouldNoticeAServerThatStoppedAnswering_data()
{
    QTest::addColumn<bool>("mute");
    QTest::newRow("server alive, request slow") << false;
    QTest::newRow("server silent") << true;
}

void tst_WebSocketTransport::shouldNoticeAServerThatStoppedAnswering()
{
    QFETCH(bool, mute);
    QVERIFY(signIn());
    m_transport->setKeepAliveMs(200);
    m_server->answerRequests = false;
    const QString key = send(QStringLiteral("SLOW"));
    QTRY_COMPARE_WITH_TIMEOUT(m_server->waiting.size(), 1, 2000);
    if (mute)
        m_server->muteAll();

    QTest::qWait(900);
    if (mute) {
        QCOMPARE(m_announced->events, endedWithoutReply({key}));
        QCOMPARE(errorCodeOf(key), QString::fromLatin1(VeskMessage::ConnectionLostCode));
        QTRY_COMPARE_WITH_TIMEOUT(m_transport->state(), State::SignedIn, 2000);
        QCOMPARE(m_server->log.filter(QStringLiteral("resume:")).size(), 1);
    } else {
        QCOMPARE(m_announced->events, QStringList());
        QVERIFY(m_server->log.count(QStringLiteral("ping")) >= 3);
        m_server->answer(m_server->waiting.constFirst());
        QTRY_COMPARE_WITH_TIMEOUT(m_announced->events, QStringList{QStringLiteral("DataReady ") + key}, 2000);
        QCOMPARE(m_server->log.filter(QStringLiteral("resume:")).size(), 0);
    }
}

void tst_WebSocketTransport::shouldEndEverythingAndStayAwayAfterSignOut_data()
{
    QTest::addColumn<bool>("connected"); // false: signed out while the server is away
    QTest::newRow("requests waiting for answers") << true;
    QTest::newRow("requests held while reconnecting") << false;
}

void tst_WebSocketTransport::shouldEndEverythingAndStayAwayAfterSignOut()
{
    QFETCH(bool, connected);
    QVERIFY(signIn());
    m_server->answerRequests = false;
    const QUrl url = m_server->url();
    if (!connected) {
        m_server->stop();
        QTRY_VERIFY_WITH_TIMEOUT(m_transport->state() != State::SignedIn, 2000);
    }
    const QStringList keys{send(QStringLiteral("A")), send(QStringLiteral("B"))};
    if (connected)
        QTRY_COMPARE_WITH_TIMEOUT(m_server->waiting.size(), 2, 2000);

    m_transport->signOut();
    QTRY_COMPARE_WITH_TIMEOUT(m_announced->events, endedWithoutReply(keys), 1000);
    QCOMPARE(m_transport->state(), State::SignedOut);
    QVERIFY(!m_transport->hasSession());

    if (!connected)
        QVERIFY(m_server->listen(quint16(url.port())));
    const qsizetype before = m_server->log.size();
    QTest::qWait(300);
    QCOMPARE(m_server->log.size(), before);
    QCOMPARE(m_transport->state(), State::SignedOut);
}

void tst_WebSocketTransport::shouldSpaceOutReconnectAttempts()
{
    QVERIFY(signIn());
    m_transport->setReconnectDelays(20, 100);
    const quint16 port = quint16(m_server->url().port());
    m_server->stop();
    // Something that takes connections and closes them at once: each attempt fails fast.
    QTcpServer refuser;
    int attempts = 0;
    connect(&refuser, &QTcpServer::newConnection, &refuser, [&] {
        while (QTcpSocket* socket = refuser.nextPendingConnection()) {
            ++attempts;
            socket->abort();
            socket->deleteLater();
        }
    });
    QVERIFY(refuser.listen(QHostAddress::LocalHost, port));

    QTest::qWait(1000);
    // 20, 40, 80 and then every 100 ms: about a dozen in a second; without waits, hundreds.
    QVERIFY2(attempts >= 6 && attempts <= 16, qPrintable(QString::number(attempts)));
    QVERIFY(m_transport->hasSession());
    QVERIFY(m_transport->state() == State::Reconnecting || m_transport->state() == State::Connecting);
}

void tst_WebSocketTransport::shouldVerifyTheServerCertificate_data()
{
    QTest::addColumn<QString>("trust"); // the certificate handed to the transport, or "insecure"
    QTest::addColumn<bool>("accepted");
    QTest::newRow("nothing trusted") << "" << false;
    QTest::newRow("another certificate trusted") << "other" << false;
    QTest::newRow("the server's certificate trusted") << "server" << true;
    QTest::newRow("verification switched off") << "insecure" << true;
}

void tst_WebSocketTransport::shouldVerifyTheServerCertificate()
{
    QFETCH(QString, trust);
    QFETCH(bool, accepted);
    if (!m_haveCertificates)
        QSKIP("openssl could not make test certificates");
    const auto certificate = [this](const char* name) {
        return QSslCertificate::fromPath(m_certificates.filePath(QStringLiteral("%1.pem").arg(name)))
            .value(0);
    };
    QFile keyFile(m_certificates.filePath(QStringLiteral("server.key")));
    QVERIFY(keyFile.open(QIODevice::ReadOnly));
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(certificate("server"));
    tls.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Ec));
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    QVERIFY(!tls.privateKey().isNull());
    m_server = std::make_unique<ScriptedServer>(&tls);
    QVERIFY(m_server->listen());

    install(m_server->url());
    if (trust == QLatin1String("insecure"))
        m_transport->setInsecure(true);
    else if (!trust.isEmpty())
        m_transport->setTrustedCertificate(certificate(trust.toLatin1().constData()));
    QSignalSpy signedIn(m_transport, &WebSocketTransport::signedIn);
    QSignalSpy failed(m_transport, &WebSocketTransport::signInFailed);
    m_transport->signIn(QStringLiteral("jdoe"), QStringLiteral("secret"));

    QTRY_COMPARE_WITH_TIMEOUT(signedIn.size() + failed.size(), 1, 3000);
    QCOMPARE(signedIn.size(), accepted ? 1 : 0);
    if (accepted) {
        QCOMPARE(m_server->log, QStringList({QStringLiteral("login:jdoe"), QStringLiteral("reference")}));
    } else {
        QVERIFY2(failed.constFirst().constFirst().toString().contains(QLatin1String("certificate")),
                 qPrintable(failed.constFirst().constFirst().toString()));
        QCOMPARE(m_transport->state(), State::SignedOut);
        // The password never went to a server that could not prove who it is.
        QCOMPARE(m_server->log, QStringList());
        // And no attempt is repeated behind the officer's back.
        QTest::qWait(150);
        QCOMPARE(m_transport->state(), State::SignedOut);
    }
}

QTEST_MAIN(tst_WebSocketTransport)
#include "tst_websockettransport.moc"
