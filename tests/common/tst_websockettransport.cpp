#include "common/ReplyStore.h"
#include "common/VeskMessage.h"
#include "common/VeskRequest.h"
#include "common/WebSocketTransport.h"
#include "support/TestEnvironment.h"

#include <QProcess>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QSslKey>
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
    ~ScriptedServer() override { m_server.close(), dropAll(); }

    bool listen() { return m_server.listen(QHostAddress::LocalHost); }
    QUrl url() const
    {
        const bool secure = m_server.secureMode() == QWebSocketServer::SecureMode;
        return QUrl(
            QStringLiteral("%1://127.0.0.1:%2").arg(secure ? "wss" : "ws").arg(m_server.serverPort()));
    }
    /// The open connections broken without a closing frame.
    void dropAll()
    {
        for (QWebSocket* client : std::exchange(m_clients, {}))
            client->abort(), client->deleteLater();
    }
    void answer(const protocol::Request& request)
    {
        protocol::Reply r{request.key, request.requester, {}, {}};
        const QString value = request.criteria.isEmpty() ? QString() : request.criteria.constFirst().value;
        r.dataSets.insert("RECEIPT", {{{"FRCPT_NBR", protocol::FieldType::Text}}, {{value}}});
        for (QWebSocket* client : std::as_const(m_clients))
            reply(client, r);
    }

    // The script.
    QString password = QStringLiteral("secret");
    bool answerRequests = true;

    // What arrived, in order: "login:USER", "resume:TOKEN", "reference", "request:KEY".
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
        const protocol::DecodeResult result = protocol::decode(text.toUtf8());
        QVERIFY2(result.message, qPrintable(result.error.text));
        const protocol::Message& message = *result.message;
        if (const auto* login = std::get_if<protocol::Login>(&message)) {
            log.append("login:" + login->user);
            if (login->password != password)
                return reply(client, protocol::Error{"login-failed", "Wrong user name or password."});
            reply(client, protocol::Session{"tok-1", profileOf(login->user)});
        } else if (const auto* resume = std::get_if<protocol::Resume>(&message)) {
            log.append("resume:" + resume->token);
            if (resume->token != u"tok-1")
                return reply(client, protocol::Error{"session-expired", "Your session has ended."});
            reply(client, protocol::Session{resume->token, profileOf("jdoe")});
        } else if (std::holds_alternative<protocol::ReferenceRequest>(message)) {
            log.append("reference");
            protocol::Reference reference;
            reference.codeTables["CNFRMDOC"]["D"] = "Daily Receipt";
            reference.officers[1234] = "Jane Roe";
            reply(client, reference);
        } else if (const auto* request = std::get_if<protocol::Request>(&message)) {
            log.append("request:" + request->key);
            if (answerRequests)
                answer(*request);
            else
                waiting.append(*request);
        }
    }

    QWebSocketServer m_server;
    QList<QWebSocket*> m_clients;
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
    void shouldEndWaitingRequestsWhenTheConnectionIsLostThenResume();

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
    if (trust == u"server" || trust == u"other")
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
}

void tst_WebSocketTransport::shouldSignInAndDeliverEachReplyToItsRequest()
{
    QFETCH(QString, trust);
    if (trust != u"plain" && !m_haveCertificates)
        QSKIP("openssl could not make test certificates");
    QVERIFY(useServer(trust));
    QVERIFY(signIn());
    QCOMPARE(m_env->profile.profile, profileOf("jdoe"));
    QCOMPARE(m_env->reference.codeDescription("CNFRMDOC", "D"), QStringLiteral("Daily Receipt"));
    QCOMPARE(m_env->reference.officerName(1234), QStringLiteral("Jane Roe"));
    QCOMPARE(m_server->log, QStringList({"login:jdoe", "reference"}));

    // Answered out of order, each reply still reaches its own request.
    QStringList keys;
    QVERIFY(sendUnanswered(keys, 4));
    for (int index : {1, 3, 0, 2})
        m_server->answer(m_server->waiting.at(index));
    QTRY_COMPARE_WITH_TIMEOUT(m_events, ready({keys[1], keys[3], keys[0], keys[2]}), 2000);
    for (int i = 0; i < keys.size(); ++i)
        QCOMPARE(receiptOf(keys.at(i)), QStringLiteral("W%1").arg(i));
}

void tst_WebSocketTransport::shouldReportAFailedSignInAndEndLaterRequestsAtOnce_data()
{
    QTest::addColumn<QString>("trust");
    QTest::addColumn<QString>("reason");
    QTest::newRow("wrong password") << "plain"
                                    << "Wrong user name or password.";
    QTest::newRow("wss://, nothing trusted") << "none"
                                             << "certificate";
    QTest::newRow("wss://, another certificate trusted") << "other"
                                                         << "certificate";
}

void tst_WebSocketTransport::shouldReportAFailedSignInAndEndLaterRequestsAtOnce()
{
    QFETCH(QString, trust);
    QFETCH(QString, reason);
    if (trust != u"plain" && !m_haveCertificates)
        QSKIP("openssl could not make test certificates");
    QVERIFY(useServer(trust));
    QSignalSpy failed(m_transport, &WebSocketTransport::signInFailed);
    m_server->password = "other";
    m_transport->signIn("jdoe", "secret");
    QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 3000);
    const QString said = failed.constFirst().constFirst().toString();
    QVERIFY2(said.contains(reason), qPrintable(said));
    QCOMPARE(m_transport->state(), State::SignedOut);
    QVERIFY(!m_transport->hasSession());
    // The password never goes to a server that could not prove who it is.
    if (trust != u"plain")
        QCOMPARE(m_server->log, QStringList());

    // Signed out: a request ends at once instead of waiting for its time-out, and is not sent.
    const QString key = send("LATE");
    QTRY_COMPARE_WITH_TIMEOUT(m_events, endedWithoutReply({key}), 500);
    QCOMPARE(errorCodeOf(key), Lost);
    QCOMPARE(m_server->log.count("request:" + key), 0);
}

void tst_WebSocketTransport::shouldEndWaitingRequestsWhenTheConnectionIsLostThenResume()
{
    QVERIFY(signIn());
    QSignalSpy signedIn(m_transport, &WebSocketTransport::signedIn);
    QStringList keys;
    QVERIFY(sendUnanswered(keys, 2));
    m_server->dropAll();
    QTRY_COMPARE_WITH_TIMEOUT(m_events, endedWithoutReply(keys), 5000);
    QCOMPARE(errorCodeOf(keys.constLast()), Lost);
    // Back with the same session: no password needed, none kept.
    QTRY_COMPARE_WITH_TIMEOUT(signedIn.size(), 1, 3000);
    QCOMPARE(m_server->log.filter("login:").size(), 1);
    QCOMPARE(m_server->log.filter("resume:"), QStringList{"resume:tok-1"});
    m_events.clear();
    m_server->answerRequests = true;
    const QString key = send("AFTER");
    QTRY_COMPARE_WITH_TIMEOUT(m_events, ready({key}), 2000);
    QCOMPARE(receiptOf(key), QStringLiteral("AFTER"));
}

QTEST_MAIN(tst_WebSocketTransport)
#include "tst_websockettransport.moc"
