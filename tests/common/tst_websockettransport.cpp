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
    ~ScriptedServer() override { m_server.close(); }

    bool listen() { return m_server.listen(QHostAddress::LocalHost); }
    QUrl url() const
    {
        const bool secure = m_server.secureMode() == QWebSocketServer::SecureMode;
        return QUrl(
            QStringLiteral("%1://127.0.0.1:%2").arg(secure ? "wss" : "ws").arg(m_server.serverPort()));
    }
    QString password = QStringLiteral("secret");
    // What arrived, in order: "login:USER", "reference", "request:KEY".
    QStringList log;

private:
    void accept()
    {
        while (QWebSocket* client = m_server.nextPendingConnection()) {
            client->setParent(this);
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
        } else if (std::holds_alternative<protocol::ReferenceRequest>(message)) {
            log.append("reference");
            protocol::Reference reference;
            reference.codeTables["CNFRMDOC"]["D"] = "Daily Receipt";
            reference.officers[1234] = "Jane Roe";
            reply(client, reference);
        } else if (const auto* request = std::get_if<protocol::Request>(&message)) {
            log.append("request:" + request->key);
            protocol::Reply r{request->key, request->requester, {}, {}};
            r.dataSets.insert("RECEIPT", {{{"FRCPT_NBR", protocol::FieldType::Text}},
                                          {{request->criteria.value(0).value}}});
            reply(client, r);
        }
    }

    QWebSocketServer m_server;
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

} // namespace

class tst_WebSocketTransport : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // Two unrelated self-signed certificates for "localhost"; the tests connect to 127.0.0.1.
        for (const QString name : {"server", "other"})
            m_haveCertificates =
                m_haveCertificates &&
                QProcess::execute("openssl",
                                  {"req", "-x509", "-newkey", "ec", "-pkeyopt",
                                   "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-subj",
                                   "/CN=localhost", "-keyout", m_certificates.filePath(name + ".key"), "-out",
                                   m_certificates.filePath(name + ".pem")}) == 0;
    }

    void init()
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

    void cleanup()
    {
        disconnect(VeskMessage::GetInstance(), nullptr, this, nullptr);
        m_env.reset(); // puts the previous transport back, destroying this test's
        m_transport = nullptr;
        m_server.reset();
    }

    void shouldSignInOverWssWithATrustedCertificate()
    {
        if (!m_haveCertificates)
            QSKIP("openssl could not make test certificates");
        QVERIFY(useServer("server"));
        QSignalSpy signedIn(m_transport, &WebSocketTransport::signedIn);
        m_transport->signIn("jdoe", "secret");
        QVERIFY(signedIn.wait(3000) && m_transport->state() == State::SignedIn);
        QCOMPARE(m_env->profile.profile, profileOf("jdoe"));
        QCOMPARE(m_env->reference.codeDescription("CNFRMDOC", "D"), QStringLiteral("Daily Receipt"));
        QCOMPARE(m_env->reference.officerName(1234), QStringLiteral("Jane Roe"));
        QCOMPARE(m_server->log, QStringList({"login:jdoe", "reference"}));
        const QString key = send("W0");
        QTRY_COMPARE_WITH_TIMEOUT(m_events, QStringList{"DataReady " + key}, 2000);
        const DataSetPtr set = ReplyStore::instance().GetDataSet("RECEIPT", Requester, key);
        QVERIFY(set);
        set->Prepare();
        QCOMPARE(set->Fields().Item("FRCPT_NBR").Value().toString(), QStringLiteral("W0"));
    }

    void shouldReportAFailedSignInAndEndLaterRequestsAtOnce_data()
    {
        QTest::addColumn<QString>("trust");
        QTest::addColumn<QString>("reason");
        QTest::newRow("wrong password") << "plain"
                                        << "Wrong user name or password.";
        QTest::newRow("wss://, another certificate trusted") << "other"
                                                             << "certificate";
    }

    void shouldReportAFailedSignInAndEndLaterRequestsAtOnce()
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
        QTRY_COMPARE_WITH_TIMEOUT(m_events, (QStringList{"MsgTimeout " + key, "DataReady " + key}), 500);
        QCOMPARE(ReplyStore::instance().latestKey(Requester), key);
        QCOMPARE(ReplyStore::instance().latestErrors(Requester).value(0).code, Lost);
        QCOMPARE(m_server->log.count("request:" + key), 0);
    }

private:
    // Installs a transport for the server; \a trust other than "plain" first puts a wss:// server
    // presenting the "server" certificate in place, and tells the transport what to trust.
    bool useServer(const QString& trust)
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
        if (trust != u"plain")
            transport->setTrustedCertificate(certificate(trust));
        m_transport = transport.get();
        VeskMessage::GetInstance()->setTransport(std::move(transport));
        return true;
    }

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

QTEST_MAIN(tst_WebSocketTransport)
#include "tst_websockettransport.moc"
