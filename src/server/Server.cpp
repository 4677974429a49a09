#include "server/Server.h"

#include <QFile>
#include <QLoggingCategory>
#include <QPointer>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QWebSocket>
#include <QWebSocketServer>

Q_LOGGING_CATEGORY(lcServer, "tavro.server.ws")

namespace tavro::server {

using namespace protocol;

struct Server::Tls
{
    QSslConfiguration configuration;
};

/// One client: its socket and, once signed in, its session.
class Connection : public QObject
{
public:
    Connection(Server& server, QWebSocket* socket) : QObject(&server), m_server(server), m_socket(socket)
    {
        socket->setParent(this);
        socket->setMaxAllowedIncomingMessageSize(quint64(MaxFrameBytes) + 1024 * 1024);
        m_peer = QStringLiteral("%1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort());
        connect(socket, &QWebSocket::textMessageReceived, this, &Connection::received);
        connect(socket, &QWebSocket::binaryMessageReceived, this, [this](const QByteArray&) {
            send(Error{QStringLiteral("binary-frame"),
                       QStringLiteral("Send messages as WebSocket text frames.")});
        });
        connect(socket, &QWebSocket::disconnected, this, [this] {
            qCInfo(lcServer).noquote() << "Connection from" << m_peer << "closed";
            --m_server.m_connections;
            deleteLater();
        });
        qCInfo(lcServer).noquote() << "Connection from" << m_peer;
    }

private:
    void send(const Message& message) { sendFrame(encode(message)); }
    void sendFrame(const QByteArray& frame)
    {
        m_socket->sendTextMessage(QString::fromUtf8(frame));
        // Written at once rather than when the event loop next finds the socket writable: one turn
        // of the loop and two changes of the socket's write notifier less for every answer.
        m_socket->flush();
    }

    void received(const QString& text)
    {
        const DecodeResult result = decode(text.toUtf8());
        if (!result.message) {
            if (!result.requestKey.isEmpty() && m_session) {
                Reply reply;
                reply.key = result.requestKey;
                reply.requester = result.requester;
                reply.errors.append({result.error.code, result.error.text});
                send(reply);
            } else {
                send(result.error);
            }
            return;
        }
        std::visit([this](const auto& message) { handle(message); }, *result.message);
    }

    void handle(const Login& login)
    {
        signIn([login](Service& service, Error* error) {
            return service.login(login.user, login.password, error);
        });
    }
    void handle(const Resume& resume)
    {
        signIn([resume](Service& service, Error* error) { return service.resume(resume.token, error); });
    }
    void handle(const Ping& ping)
    {
        if (signedIn())
            send(Pong{ping.key});
    }
    void handle(const ReferenceRequest&)
    {
        if (!signedIn())
            return;
        QPointer<Connection> self(this);
        Service* service = &m_server.m_service;
        const SessionInfo session = *m_session;
        m_server.run([self, service, session, server = &m_server] {
            Error error;
            QByteArray frame;
            const bool live = service->touch(session, &error);
            if (!live)
                frame = encode(error);
            else if (const auto reference = service->reference(&error))
                frame = encode(*reference);
            else
                frame = encode(error);
            deliver(server, self, frame, live ? QString() : endedToken(session, error));
        });
    }
    void handle(const Request& request)
    {
        if (!signedIn())
            return;
        QPointer<Connection> self(this);
        Service* service = &m_server.m_service;
        const SessionInfo session = *m_session;
        m_server.run([self, service, session, request, server = &m_server] {
            Reply reply;
            Error error;
            const bool live = service->touch(session, &error);
            if (live) {
                reply = service->handle(session, request);
            } else {
                reply.key = request.key;
                reply.requester = request.requester;
                reply.errors.append({error.code, error.text});
            }
            QByteArray frame = encode(reply);
            if (frame.size() > MaxFrameBytes) {
                Reply tooLarge{request.key, request.requester, {}, {}};
                tooLarge.errors.append(
                    {QString::fromLatin1(replyerr::TooLarge),
                     QStringLiteral("The answer is too large to send. Please narrow the search.")});
                frame = encode(tooLarge);
            }
            deliver(server, self, frame, live ? QString() : endedToken(session, error));
        });
    }
    template <class Other> void handle(const Other& message)
    {
        send(Error{QStringLiteral("unexpected-message"),
                   QStringLiteral("A client may not send \"%1\" messages.").arg(typeName(message))});
    }

    // The token of a session that \a error says has ended, so that the connection forgets it.
    static QString endedToken(const SessionInfo& session, const Error& error)
    {
        return error.code == QLatin1String(sessionerr::SessionExpired) ? session.token : QString();
    }

    // Sends \a frame from the server's thread, once a worker has made it.
    static void deliver(Server* server, QPointer<Connection> self, const QByteArray& frame,
                        const QString& ended)
    {
        QMetaObject::invokeMethod(server, [self, frame, ended] {
            if (!self)
                return;
            if (!ended.isEmpty() && self->m_session && self->m_session->token == ended)
                self->m_session.reset();
            self->sendFrame(frame);
        });
    }

    bool signedIn()
    {
        if (m_session)
            return true;
        send(Error{QString::fromLatin1(sessionerr::NotSignedIn), QStringLiteral("Please sign in first.")});
        return false;
    }

    template <class SignIn> void signIn(SignIn work)
    {
        QPointer<Connection> self(this);
        Service* service = &m_server.m_service;
        m_server.run([self, service, work, server = &m_server] {
            Error error;
            const std::optional<SessionInfo> session = work(*service, &error);
            QMetaObject::invokeMethod(server, [self, session, error] {
                if (!self)
                    return;
                if (session) {
                    self->m_session = session;
                    self->send(session->session());
                } else {
                    self->send(error);
                }
            });
        });
    }

    Server& m_server;
    QWebSocket* m_socket;
    QString m_peer;
    std::optional<SessionInfo> m_session;
};

Server::Server(Service& service, QObject* parent) : QObject(parent), m_service(service)
{
    m_pool.setMaxThreadCount(4);
    m_pool.setExpiryTimeout(-1); // keep the threads, and with them their database connections
}

Server::~Server()
{
    if (m_listener)
        m_listener->close();
    m_pool.waitForDone();
    // Connections go while the server is whole: a socket closed later, among the server's other
    // children, would report its end to a half-destroyed server.
    const QObjectList children = this->children();
    for (QObject* child : children)
        delete dynamic_cast<Connection*>(child);
}

bool Server::useTls(const QString& certificatePath, const QString& keyPath, QString* error)
{
    auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    const QList<QSslCertificate> chain = QSslCertificate::fromPath(certificatePath, QSsl::Pem);
    if (chain.isEmpty())
        return fail(QStringLiteral("No PEM certificate could be read from %1").arg(certificatePath));
    QFile keyFile(keyPath);
    if (!keyFile.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Cannot read the key file %1").arg(keyPath));
    const QByteArray pem = keyFile.readAll();
    QSslKey key;
    for (const QSsl::KeyAlgorithm algorithm : {QSsl::Rsa, QSsl::Ec, QSsl::Dsa}) {
        key = QSslKey(pem, algorithm, QSsl::Pem, QSsl::PrivateKey);
        if (!key.isNull())
            break;
    }
    if (key.isNull())
        return fail(QStringLiteral("No PEM private key could be read from %1").arg(keyPath));
    m_tls = std::make_unique<Tls>();
    m_tls->configuration = QSslConfiguration::defaultConfiguration();
    m_tls->configuration.setLocalCertificateChain(chain);
    m_tls->configuration.setPrivateKey(key);
    m_tls->configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    return true;
}

bool Server::listen(const QHostAddress& address, quint16 port, QString* error)
{
    delete m_server;
    delete m_listener;
    // The TCP (or TLS) side is ours, so that every socket can be set to send small frames at once;
    // the WebSocket server only does the handshake on the sockets handed to it.
    if (m_tls) {
        auto* tls = new QSslServer(this);
        tls->setSslConfiguration(m_tls->configuration);
        connect(tls, &QSslServer::errorOccurred, this,
                [](QSslSocket*, QAbstractSocket::SocketError socketError) {
                    qCWarning(lcServer) << "TLS connection failed:" << socketError;
                });
        m_listener = tls;
    } else {
        m_listener = new QTcpServer(this);
    }
    m_server = new QWebSocketServer(QStringLiteral("tavro-server"), QWebSocketServer::NonSecureMode, this);
    connect(m_server, &QWebSocketServer::newConnection, this, &Server::accept);
    connect(m_listener, &QTcpServer::pendingConnectionAvailable, this, [this] {
        while (QTcpSocket* socket = m_listener->nextPendingConnection()) {
            // Without this a reply waits for the client's delayed acknowledgement (Nagle): ~40 ms.
            socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            m_server->handleConnection(socket);
        }
    });
    if (!m_listener->listen(address, port)) {
        if (error)
            *error = QStringLiteral("Cannot listen on %1:%2: %3")
                         .arg(address.toString())
                         .arg(port)
                         .arg(m_listener->errorString());
        return false;
    }
    qCInfo(lcServer).noquote() << "Listening on" << url().toString();
    return true;
}

quint16 Server::port() const
{
    return m_listener ? m_listener->serverPort() : 0;
}

QUrl Server::url() const
{
    if (!m_listener)
        return {};
    QUrl url;
    url.setScheme(m_tls ? QStringLiteral("wss") : QStringLiteral("ws"));
    url.setHost(m_listener->serverAddress().toString());
    url.setPort(m_listener->serverPort());
    return url;
}

void Server::setWorkerThreads(int count)
{
    m_pool.setMaxThreadCount(std::max(1, count));
}

int Server::connectionCount() const
{
    return m_connections;
}

void Server::accept()
{
    while (QWebSocket* socket = m_server->nextPendingConnection()) {
        ++m_connections;
        new Connection(*this, socket);
    }
}

} // namespace tavro::server
