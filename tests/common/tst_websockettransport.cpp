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
const QString Lost = QString::fromLatin1(VeskMessage::ConnectionLostCode);

protocol::Profile profileOf(const QString& user)
{
    return {user, "TRP1", "D07", 1234, "Jane Roe"};
}

/// A back end in the test process that speaks the wire protocol and does what the test scripts.
class ScriptedServer : public QObject
{
public:
    explicit ScriptedServer(const QSslConfiguration* tls = nullptr)
        : m_server("scripted", tls ? QWebSocketServer::SecureMode : QWebSocketServer::NonSecureMode)
    {
        if (tls)
            m_server.setSslConfiguration(*tls);
        connect(&m_server, &QWebSocketServer::newConnection, this, &ScriptedServer::accept);
    }
    ~ScriptedServer() override { stop(); }

    bool listen(quint16 port = 0)
    {
        const bool listening = m_server.listen(QHostAddress::LocalHost, port);
        m_port = m_server.serverPort();
        return listening;
    }
    QUrl url() const
    {
        const bool secure = m_server.secureMode() == QWebSocketServer::SecureMode;
        return QUrl(QStringLiteral("%1://127.0.0.1:%2").arg(secure ? "wss" : "ws").arg(m_port));
    }
    /// The server goes away: no more connections, the open ones broken without a closing frame.
    void stop()
    {
        m_server.close();
        dropAll();
    }
    void dropAll()
    {
        for (QWebSocket* client : std::exchange(m_clients, {}))
            client->abort(), client->deleteLater();
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
        const QString value = request.criteria.isEmpty() ? QString() : request.criteria.constFirst().value;
        reply.dataSets.insert("RECEIPT", {{{"FRCPT_NBR", protocol::FieldType::Text}}, {{value + padding}}});
        sendRaw(protocol::encode(reply));
    }
    int requestsFor(const QString& key) const { return int(log.count("request:" + key)); }
    qsizetype resumes() const { return log.filter("resume:").size(); }

    // The script.
    QString password = QStringLiteral("secret");
    bool answerLogin = true;
    bool refuseResume = false;
    bool answerRequests = true;

    // What arrived, in order: "login:USER", "resume:TOKEN", "reference", "request:KEY", "ping".
    QStringList log;
    QList<protocol::Request> waiting; // requests left unanswered

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
    static void reply(QWebSocket* client, const protocol::Message& message)
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
            log.append("login:" + login->user);
            if (!answerLogin)
                return;
            if (login->password != password)
                return reply(client, protocol::Error{"login-failed", "Wrong user name or password."});
            reply(client, protocol::Session{"tok-1", profileOf(login->user)});
        } else if (const auto* resume = std::get_if<protocol::Resume>(&message)) {
            log.append("resume:" + resume->token);
            if (refuseResume || resume->token != u"tok-1")
                return reply(client, protocol::Error{"session-expired", "Your session has ended."});
            reply(client, protocol::Session{resume->token, profileOf("jdoe")});
        } else if (std::holds_alternative<protocol::ReferenceRequest>(message)) {
            log.append("reference");
            protocol::Reference reference;
            reference.codeTables["CNFRMDOC"]["D"] = "Daily Receipt";
            reference.officers[1234] = "Jane Roe";
            reply(client, reference);
        } else if (const auto* ping = std::get_if<protocol::Ping>(&message)) {
            log.append("ping");
            reply(client, protocol::Pong{ping->key});
        } else if (const auto* request = std::get_if<protocol::Request>(&message)) {
            log.append("request:" + request->key);
            if (answerRequests)
                answer(*request);
            else
                waiting.append(*request);
        }
    }

    QWebSocketServer m_server;
    quint16 m_port = 0;
    QList<QWebSocket*> m_clients;
    QList<QWebSocket*> m_muted;
};

QString send(const QString& value)
{
    VeskRequest request;
    request.setRequester(Requester);
    request.setUserId("jdoe");
    request.setRequestCode(protocol::Search);
    request.AddCriterion({"KESTROVA", "key:DOC_NBR", "=", value});
    request.Send();
    return request.RequestKey();
}

QString receiptOf(const QString& key)
{
    const DataSetPtr set = ReplyStore::instance().GetDataSet("RECEIPT", Requester, key);
    return set && (set->Prepare(), !set->Eof()) ? set->Fields().Item("FRCPT_NBR").Value().toString()
                                                : QString();
}

QString errorCodeOf(const QString& key)
{
    if (ReplyStore::instance().latestKey(Requester) != key)
        return QStringLiteral("<not latest>");
    const QList<protocol::ReplyError> errors = ReplyStore::instance().latestErrors(Requester);
    return errors.isEmpty() ? QString() : errors.constFirst().code;
}

QStringList ready(const QStringList& keys)
{
    QStringList events;
    for (const QString& key : keys)
        events << "DataReady " + key;
    return events;
}

QStringList endedWithoutReply(const QStringList& keys)
{
    QStringList events;
    for (const QString& key : keys)
        events << "MsgTimeout " + key << "DataReady " + key;
    return events;
}

} // namespace

class tst_WebSocketTransport : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void shouldSignInAndDeliverEachReplyToItsRequest_data();
    void shouldSignInAndDeliverEachReplyToItsRequest();
    void shouldReportAFailedSignInAndEndLaterRequestsAtOnce_data();
    void shouldReportAFailedSignInAndEndLaterRequestsAtOnce();
    void shouldEndWaitingRequestsOnlyWhenTheConnectionIsLost_data();
    void shouldEndWaitingRequestsOnlyWhenTheConnectionIsLost();
    void shouldHoldRequestsOnlyWithinTheHoldTime_data();
    void shouldHoldRequestsOnlyWithinTheHoldTime();
    void shouldRefuseRequestsOverTheFrameLimit_data();
    void shouldRefuseRequestsOverTheFrameLimit();
    void shouldEndARequestTheServerCouldNotAnswerProperly_data();
    void shouldEndARequestTheServerCouldNotAnswerProperly();
    void shouldEndEverythingAndStayAwayAfterSignOut_data();
    void shouldEndEverythingAndStayAwayAfterSignOut();
    void shouldSpaceOutReconnectAttempts();

private:
    bool useServer(const QString& trust);
    bool signIn();
    bool sendUnanswered(QStringList& keys, int count);
    QSslCertificate certificate(const QString& name) const
    {
        return QSslCertificate::fromPath(m_certificates.filePath(name + ".pem")).value(0);
    }

    std::unique_ptr<test::TestEnvironment> m_env;
    std::unique_ptr<ScriptedServer> m_server;
    WebSocketTransport* m_transport = nullptr;
    QStringList m_events; // "MsgTimeout KEY" / "DataReady KEY", as announced
    QTemporaryDir m_certificates;
    bool m_haveCertificates = true;
};

void tst_WebSocketTransport::initTestCase()
{
    // Two unrelated self-signed certificates for "localhost"; the tests connect to 127.0.0.1.
    for (const QString name : {"server", "other"})
        m_haveCertificates =
            m_haveCertificates &&
            QProcess::execute("openssl", {"req", "-x509", "-newkey", "ec", "-pkeyopt",
                                          "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-subj",
                                          "/CN=localhost", "-keyout", m_certificates.filePath(name + ".key"),
                                          "-out", m_certificates.filePath(name + ".pem")}) == 0;
}

void tst_WebSocketTransport::init()
{
    m_env = std::make_unique<test::TestEnvironment>();
    VeskMessage* service = VeskMessage::GetInstance();
    service->setTimeoutMs(15000); // far beyond every wait here
    m_server = std::make_unique<ScriptedServer>();
    QVERIFY(m_server->listen());
    m_events.clear();
    connect(service, &VeskMessage::MsgTimeout, this,
            [this, service](QString&) { m_events.append("MsgTimeout " + service->announcedKey()); });
    connect(service, &VeskMessage::DataReady, this,
            [this, service](QVariant&) { m_events.append("DataReady " + service->announcedKey()); });
}

void tst_WebSocketTransport::cleanup()
{
    disconnect(VeskMessage::GetInstance(), nullptr, this, nullptr);
    m_env.reset(); // puts the previous transport back, destroying this test's
    m_transport = nullptr;
    m_server.reset();
}

// Installs a transport for the server; \a trust other than "plain" first puts a wss:// server
// presenting the "server" certificate in place, and tells the transport what to trust.
bool tst_WebSocketTransport::useServer(const QString& trust)
{
    if (trust != u"plain") {
        QFile keyFile(m_certificates.filePath("server.key"));
        if (!keyFile.open(QIODevice::ReadOnly))
            return false;
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setLocalCertificate(certificate("server"));
        tls.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Ec));
        tls.setPeerVerifyMode(QSslSocket::VerifyNone);
        m_server = std::make_unique<ScriptedServer>(&tls);
        if (!m_server->listen())
            return false;
    }
    auto transport = std::make_unique<WebSocketTransport>(m_server->url());
    transport->setReconnectDelays(20, 100);
    transport->setHoldTimeoutMs(3000);
    transport->setResponseTimeoutMs(3000);
    transport->setKeepAliveMs(0);
    if (trust == u"insecure")
        transport->setInsecure(true);
    else if (trust == u"server" || trust == u"other")
        transport->setTrustedCertificate(certificate(trust));
    m_transport = transport.get();
    VeskMessage::GetInstance()->setTransport(std::move(transport));
    return true;
}

bool tst_WebSocketTransport::signIn()
{
    if (!m_transport)
        useServer("plain");
    QSignalSpy signedIn(m_transport, &WebSocketTransport::signedIn);
    m_transport->signIn("jdoe", "secret");
    return signedIn.wait(3000) && m_transport->state() == State::SignedIn;
}

// Sends \a count requests "W0", "W1", ... that the server keeps unanswered.
bool tst_WebSocketTransport::sendUnanswered(QStringList& keys, int count)
{
    m_server->answerRequests = false;
    for (int i = 0; i < count; ++i)
        keys.append(send(QStringLiteral("W%1").arg(i)));
    return QTest::qWaitFor([&] { return m_server->waiting.size() == count; }, 2000);
}

void tst_WebSocketTransport::shouldSignInAndDeliverEachReplyToItsRequest_data()
{
    QTest::addColumn<QString>("trust");
    QTest::newRow("ws://") << "plain";
    QTest::newRow("wss://, the server's certificate trusted") << "server";
    QTest::newRow("wss://, verification switched off") << "insecure";
}

void tst_WebSocketTransport::shouldSignInAndDeliverEachReplyToItsRequest()
{
    QFETCH(QString, trust);
    if (trust != u"plain" && !m_haveCertificates)
        QSKIP("openssl could not make test certificates");
    QVERIFY(useServer(trust));
    QSignalSpy states(m_transport, &WebSocketTransport::connectionStateChanged);
    QVERIFY(signIn());
    QCOMPARE(m_env->profile.profile, profileOf("jdoe"));
    QCOMPARE(m_env->reference.codeDescription("CNFRMDOC", "D"), QStringLiteral("Daily Receipt"));
    QCOMPARE(m_env->reference.officerName(1234), QStringLiteral("Jane Roe"));
    QCOMPARE(m_server->log, QStringList({"login:jdoe", "reference"}));
    QList<State> seen;
    for (const QList<QVariant>& change : std::as_const(states))
        seen.append(change.constFirst().value<State>());
    QCOMPARE(seen, QList<State>({State::Connecting, State::SigningIn, State::SignedIn}));

    // Answered out of order, each reply still reaches its own request.
    QStringList keys;
    QVERIFY(sendUnanswered(keys, 4));
    QStringList order;
    for (int index : {1, 3, 0, 2}) {
        m_server->answer(m_server->waiting.at(index));
        order.append(keys.at(index));
    }
    QTRY_COMPARE_WITH_TIMEOUT(m_events, ready(order), 2000);
    for (int i = 0; i < keys.size(); ++i)
        QCOMPARE(receiptOf(keys.at(i)), QStringLiteral("W%1").arg(i));
}

void tst_WebSocketTransport::shouldReportAFailedSignInAndEndLaterRequestsAtOnce_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("trust");
    QTest::addColumn<State>("state");
    QTest::addColumn<QString>("reason");
    const auto row = [](const char* name, const char* fault, const char* trust, State state,
                        const char* reason) {
        QTest::newRow(name) << QString(fault) << QString(trust) << state << QString(reason);
    };
    row("wrong password", "password", "plain", State::SignedOut, "Wrong user name or password.");
    row("nothing listening", "no server", "plain", State::SignedOut, "cannot be reached");
    row("no answer to the login", "silent", "plain", State::SignedOut, "did not answer");
    row("session refused on resume", "resume", "plain", State::SignInRequired, "Your session has ended.");
    row("wss://, nothing trusted", "certificate", "none", State::SignedOut, "certificate");
    row("wss://, another certificate trusted", "certificate", "other", State::SignedOut, "certificate");
}

void tst_WebSocketTransport::shouldReportAFailedSignInAndEndLaterRequestsAtOnce()
{
    QFETCH(QString, fault);
    QFETCH(QString, trust);
    QFETCH(State, state);
    QFETCH(QString, reason);
    if (trust != u"plain" && !m_haveCertificates)
        QSKIP("openssl could not make test certificates");
    if (fault == u"no server")
        m_server->stop();
    QVERIFY(useServer(trust));
    m_transport->setResponseTimeoutMs(300);
    QSignalSpy failed(m_transport, &WebSocketTransport::signInFailed);

    if (fault == u"resume") {
        QVERIFY(signIn());
        m_server->refuseResume = true;
        m_server->dropAll();
    } else {
        m_server->password = "other";
        m_server->answerLogin = fault != u"silent";
        m_transport->signIn("jdoe", "secret");
    }
    QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 3000);
    const QString said = failed.constFirst().constFirst().toString();
    QVERIFY2(said.contains(reason), qPrintable(said));
    QCOMPARE(m_transport->state(), state);
    QVERIFY(!m_transport->hasSession());
    // The password never goes to a server that could not prove who it is.
    if (fault == u"certificate")
        QCOMPARE(m_server->log, QStringList());

    // Signed out: a request ends at once instead of waiting for its time-out, and is not sent.
    const QString key = send("LATE");
    QTRY_COMPARE_WITH_TIMEOUT(m_events, endedWithoutReply({key}), 500);
    QCOMPARE(errorCodeOf(key), Lost);
    QCOMPARE(m_server->requestsFor(key), 0);
    // And no attempt is repeated behind the officer's back.
    QCOMPARE(failed.size(), 1);
    QCOMPARE(m_transport->state(), state);
}

void tst_WebSocketTransport::shouldEndWaitingRequestsOnlyWhenTheConnectionIsLost_data()
{
    QTest::addColumn<QString>("event");
    QTest::addColumn<bool>("lost");
    QTest::newRow("connection dropped") << "drop" << true;
    QTest::newRow("server silent past the keep-alive") << "mute" << true;
    QTest::newRow("server alive, requests slow") << "slow" << false;
    QTest::newRow("reply one byte over the frame limit") << "reply 1" << true;
    QTest::newRow("reply of exactly the frame limit") << "reply 0" << false;
}

void tst_WebSocketTransport::shouldEndWaitingRequestsOnlyWhenTheConnectionIsLost()
{
    QFETCH(QString, event);
    QFETCH(bool, lost);
    QVERIFY(signIn());
    QSignalSpy signedIn(m_transport, &WebSocketTransport::signedIn);
    QStringList keys;
    QVERIFY(sendUnanswered(keys, 2));
    if (event == u"drop") {
        m_server->dropAll();
    } else if (event == u"mute" || event == u"slow") {
        m_transport->setKeepAliveMs(200);
        if (event == u"mute")
            m_server->muteAll();
        QTest::qWait(900);
        QVERIFY(m_server->log.count("ping") >= (event == u"mute" ? 1 : 3));
    } else {
        // The first reply is padded until its frame is the limit plus the row's number of bytes.
        const protocol::Request& request = m_server->waiting.constFirst();
        protocol::Reply bare{request.key, request.requester, {}, {}};
        bare.dataSets["RECEIPT"] = {{{"FRCPT_NBR", protocol::FieldType::Text}}, {{QStringLiteral("W0")}}};
        const qsizetype padding =
            protocol::MaxFrameBytes + event.back().digitValue() - protocol::encode(bare).size();
        m_server->answer(request, QString(padding, u'x'));
        if (!lost) {
            QTRY_COMPARE_WITH_TIMEOUT(m_events, ready({keys.constFirst()}), 5000);
            QCOMPARE(receiptOf(keys.constFirst()).size(), padding + 2);
        }
    }

    if (lost) {
        QTRY_COMPARE_WITH_TIMEOUT(m_events, endedWithoutReply(keys), 5000);
        QCOMPARE(errorCodeOf(keys.constLast()), Lost);
        // Back with the same session: no password needed, none kept.
        QTRY_COMPARE_WITH_TIMEOUT(signedIn.size(), 1, 3000);
        QCOMPARE(m_server->log.filter("login:").size(), 1);
        QCOMPARE(m_server->log.filter("resume:"), QStringList{"resume:tok-1"});
        m_events.clear();
        m_server->answerRequests = true;
        keys = QStringList{send("AFTER")};
    } else {
        QCOMPARE(m_server->resumes(), 0);
        for (qsizetype i = m_events.size(); i < keys.size(); ++i)
            m_server->answer(m_server->waiting.at(i));
    }
    QTRY_COMPARE_WITH_TIMEOUT(m_events, ready(keys), 2000);
    QCOMPARE(receiptOf(keys.constLast()), lost ? QStringLiteral("AFTER") : QStringLiteral("W1"));
}

void tst_WebSocketTransport::shouldHoldRequestsOnlyWithinTheHoldTime_data()
{
    QTest::addColumn<int>("downMs"); // -1: sent during the first sign-in, the server never away
    QTest::addColumn<bool>("answered");
    QTest::newRow("sent during the first sign-in") << -1 << true;
    QTest::newRow("server back within the hold time") << 150 << true;
    QTest::newRow("server back after the hold time") << 1000 << false;
}

void tst_WebSocketTransport::shouldHoldRequestsOnlyWithinTheHoldTime()
{
    QFETCH(int, downMs);
    QFETCH(bool, answered);
    QVERIFY(useServer("plain"));
    m_transport->setHoldTimeoutMs(500);
    QString key;
    if (downMs < 0) {
        QSignalSpy signedIn(m_transport, &WebSocketTransport::signedIn);
        m_transport->signIn("jdoe", "secret");
        key = send("HELD");
        QVERIFY(signedIn.wait(3000));
    } else {
        QVERIFY(signIn());
        m_server->stop();
        QTRY_VERIFY_WITH_TIMEOUT(m_transport->state() != State::SignedIn, 2000);
        key = send("HELD");
        QTest::qWait(downMs);
        QVERIFY(m_server->listen(quint16(m_server->url().port())));
        QTRY_COMPARE_WITH_TIMEOUT(m_transport->state(), State::SignedIn, 3000);
    }

    if (answered) {
        QTRY_COMPARE_WITH_TIMEOUT(m_events, ready({key}), 2000);
        QCOMPARE(receiptOf(key), QStringLiteral("HELD"));
        QCOMPARE(m_server->requestsFor(key), 1);
    } else {
        QCOMPARE(m_events, endedWithoutReply({key}));
        QCOMPARE(errorCodeOf(key), Lost);
        // Whoever was told it failed must be able to trust that it never reaches the server.
        const QString probe = send("PROBE");
        QTRY_COMPARE_WITH_TIMEOUT(m_server->requestsFor(probe), 1, 2000);
        QCOMPARE(m_server->requestsFor(key), 0);
    }
}

void tst_WebSocketTransport::shouldRefuseRequestsOverTheFrameLimit_data()
{
    QTest::addColumn<qsizetype>("overLimit");
    QTest::newRow("exactly the limit") << qsizetype(0);
    QTest::newRow("one byte over") << qsizetype(1);
}

void tst_WebSocketTransport::shouldRefuseRequestsOverTheFrameLimit()
{
    QFETCH(qsizetype, overLimit);
    QVERIFY(signIn());
    m_server->answerRequests = false;
    QSignalSpy replies(m_transport, &MessageTransport::replyReceived);
    protocol::Request request{};
    request.key = "BIG";
    request.requester = Requester;
    request.requestCode = protocol::Save;
    request.dataSets.insert("RECEIPT", {{{"PAD", protocol::FieldType::Text}}, {{QString()}}});
    const qsizetype bare = protocol::encode(request).size();
    request.dataSets["RECEIPT"].records[0][0] = QString(protocol::MaxFrameBytes + overLimit - bare, u'x');
    m_transport->send(request);
    if (overLimit == 0) {
        QTRY_COMPARE_WITH_TIMEOUT(m_server->requestsFor("BIG"), 1, 5000);
        QCOMPARE(replies.size(), 0);
    } else {
        // Answered here and never sent.
        QTRY_COMPARE_WITH_TIMEOUT(replies.size(), 1, 1000);
        const auto reply = replies.constFirst().constFirst().value<protocol::Reply>();
        QCOMPARE(reply.key, request.key);
        QCOMPARE(reply.errors.value(0).code, QString::fromLatin1(WebSocketTransport::TooLargeCode));
        QTest::qWait(50);
        QCOMPARE(m_server->requestsFor("BIG"), 0);
    }
    QCOMPARE(m_transport->state(), State::SignedIn);
}

void tst_WebSocketTransport::shouldEndARequestTheServerCouldNotAnswerProperly_data()
{
    QTest::addColumn<int>("waiting");
    QTest::addColumn<QByteArray>("frame"); // KEY stands for the first waiting request's key
    QTest::addColumn<QString>("code");     // stored for that request; empty: nothing can be matched
    const QByteArray busy = R"({"type":"error","code":"unavailable","text":"The service is busy."})";
    QTest::newRow("error frame, one request waiting") << 1 << busy << "unavailable";
    QTest::newRow("error frame, two requests waiting") << 2 << busy << "";
    QTest::newRow("reply with a value of the wrong type")
        << 2
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
    QStringList keys;
    QVERIFY(sendUnanswered(keys, waiting));

    m_server->sendRaw(frame.replace("KEY", keys.constFirst().toUtf8()));
    if (code.isEmpty()) {
        QTest::qWait(100);
        QCOMPARE(m_events, QStringList());
        QCOMPARE(VeskMessage::GetInstance()->outstandingKeys(), keys);
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(m_events, ready({keys.constFirst()}), 2000);
        QCOMPARE(errorCodeOf(keys.constFirst()), code);
    }
    // The connection still serves: whatever is still waiting is answered normally.
    m_events.clear();
    const qsizetype first = keys.size() - VeskMessage::GetInstance()->outstandingKeys().size();
    for (qsizetype i = first; i < keys.size(); ++i)
        m_server->answer(m_server->waiting.at(i));
    QTRY_COMPARE_WITH_TIMEOUT(m_events.size(), keys.size() - first, 2000);
    for (qsizetype i = first; i < keys.size(); ++i)
        QCOMPARE(receiptOf(keys.at(i)), QStringLiteral("W%1").arg(i));
    QCOMPARE(m_transport->state(), State::SignedIn);
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
    QStringList keys;
    if (connected) {
        QVERIFY(sendUnanswered(keys, 2));
    } else {
        m_server->stop();
        QTRY_VERIFY_WITH_TIMEOUT(m_transport->state() != State::SignedIn, 2000);
        keys = QStringList{send("A"), send("B")};
    }

    m_transport->signOut();
    QTRY_COMPARE_WITH_TIMEOUT(m_events, endedWithoutReply(keys), 1000);
    QCOMPARE(m_transport->state(), State::SignedOut);
    QVERIFY(!m_transport->hasSession());

    if (!connected)
        QVERIFY(m_server->listen(quint16(m_server->url().port())));
    const qsizetype before = m_server->log.size();
    QTest::qWait(300);
    QCOMPARE(m_server->log.size(), before);
    QCOMPARE(m_transport->state(), State::SignedOut);
}

void tst_WebSocketTransport::shouldSpaceOutReconnectAttempts()
{
    QVERIFY(signIn());
    m_server->stop();
    // Something that takes connections and closes them at once: each attempt fails fast.
    QTcpServer refuser;
    int attempts = 0;
    connect(&refuser, &QTcpServer::newConnection, &refuser, [&] {
        while (QTcpSocket* socket = refuser.nextPendingConnection())
            ++attempts, socket->abort(), socket->deleteLater();
    });
    QVERIFY(refuser.listen(QHostAddress::LocalHost, quint16(m_server->url().port())));

    QTest::qWait(1000);
    // 20, 40, 80 and then every 100 ms: about a dozen in a second; without waits, hundreds.
    QVERIFY2(attempts >= 6 && attempts <= 16, qPrintable(QString::number(attempts)));
    QVERIFY(m_transport->hasSession());
    QVERIFY(m_transport->state() == State::Reconnecting || m_transport->state() == State::Connecting);
}

QTEST_MAIN(tst_WebSocketTransport)
#include "tst_websockettransport.moc"
