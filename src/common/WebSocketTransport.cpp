#include "common/WebSocketTransport.h"

#include "common/ReferenceData.h"
#include "common/UserProfile.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QSslConfiguration>
#include <QTimer>
#include <QWebSocket>

namespace tavro {

namespace {
Q_LOGGING_CATEGORY(lcTransport, "tavro.transport")

QTimer* makeTimer(QObject* parent, bool singleShot)
{
    auto* timer = new QTimer(parent);
    timer->setSingleShot(singleShot);
    return timer;
}
} // namespace

WebSocketTransport::WebSocketTransport(const QUrl& server, QObject* parent)
    : MessageTransport(parent), m_server(server), m_holdTimer(makeTimer(this, true)),
      m_reconnectTimer(makeTimer(this, true)), m_responseTimer(makeTimer(this, true)),
      m_keepAliveTimer(makeTimer(this, false))
{
    m_keepAliveTimer->setInterval(20000);
    connect(m_holdTimer, &QTimer::timeout, this, [this] {
        qCInfo(lcTransport) << "no connection within" << m_holdTimeoutMs << "ms; ending" << m_held.size()
                            << "waiting request(s)";
        endAll();
    });
    connect(m_reconnectTimer, &QTimer::timeout, this, [this] {
        m_step = Step::Resume;
        setState(State::Connecting);
        openSocket();
    });
    connect(m_responseTimer, &QTimer::timeout, this, &WebSocketTransport::onResponseTimeout);
    connect(m_keepAliveTimer, &QTimer::timeout, this, &WebSocketTransport::onKeepAlive);
}

WebSocketTransport::~WebSocketTransport()
{
    // No callbacks into a half-destroyed transport; the socket itself goes with its parent.
    if (m_socket) {
        disconnect(m_socket, nullptr, this, nullptr);
        m_socket->abort();
    }
}

void WebSocketTransport::signIn(const QString& user, const QString& password)
{
    // A new sign-in replaces whatever session there was; requests sent on it cannot be answered.
    closeSocket();
    stopTimers();
    endInFlight();
    m_token.clear();
    m_resuming = false;
    m_user = user;
    m_password = password;
    m_step = Step::Login;
    m_reconnectDelayMs = m_reconnectFirstMs;
    setState(State::Connecting);
    openSocket();
}

void WebSocketTransport::signOut()
{
    closeSocket();
    stopTimers();
    m_token.clear();
    m_password.clear();
    m_step = Step::None;
    m_resuming = false;
    setState(State::SignedOut);
    endAll();
}

void WebSocketTransport::addTrustedCertificate(const QSslCertificate& certificate)
{
    if (!certificate.isNull() && !m_trusted.contains(certificate))
        m_trusted.append(certificate);
}

void WebSocketTransport::setReconnectDelays(int firstMs, int maxMs)
{
    m_reconnectFirstMs = std::max(1, firstMs);
    m_reconnectMaxMs = std::max(m_reconnectFirstMs, maxMs);
    m_reconnectDelayMs = m_reconnectFirstMs;
}

void WebSocketTransport::setKeepAliveMs(int milliseconds)
{
    m_keepAliveMs = std::max(0, milliseconds);
    m_keepAliveTimer->stop();
    if (m_keepAliveMs > 0) {
        m_keepAliveTimer->setInterval(m_keepAliveMs);
        if (m_state == State::SignedIn)
            m_keepAliveTimer->start();
    }
}

void WebSocketTransport::send(const protocol::Request& request)
{
    Pending pending{request.key, request.requester, protocol::encode(request)};
    if (pending.frame.size() > protocol::MaxFrameBytes) {
        qCWarning(lcTransport) << "request" << request.key << "is" << pending.frame.size()
                               << "bytes, more than a frame may carry; not sent";
        answerLocally(request.key, request.requester, QString::fromLatin1(TooLargeCode),
                      tr("The request is too large to send (%1 MiB at most).")
                          .arg(protocol::MaxFrameBytes / (1024 * 1024)));
        return;
    }
    switch (m_state) {
    case State::SignedIn:
        transmit(pending);
        return;
    case State::Connecting:
    case State::SigningIn:
    case State::Reconnecting:
        m_held.append(std::move(pending));
        if (!m_holdTimer->isActive())
            m_holdTimer->start(m_holdTimeoutMs);
        return;
    case State::SignedOut:
    case State::SignInRequired:
        break;
    }
    // Queued: the message service is still inside its Send() and expects no answer from there.
    QMetaObject::invokeMethod(
        this, [this] { emit connectionLost(); }, Qt::QueuedConnection);
}

void WebSocketTransport::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    qCDebug(lcTransport) << "state" << state;
    emit connectionStateChanged(state);
}

void WebSocketTransport::openSocket()
{
    closeSocket();
    m_problem.clear();
    m_sslProblems.clear();
    m_awaitingPong = false;

    auto* socket = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
    m_socket = socket;
    socket->setMaxAllowedIncomingMessageSize(quint64(protocol::MaxFrameBytes));
    socket->setMaxAllowedIncomingFrameSize(quint64(protocol::MaxFrameBytes));
    if (m_server.scheme() == QLatin1String("wss")) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
        for (const QSslCertificate& certificate : std::as_const(m_trusted))
            tls.addCaCertificate(certificate);
        socket->setSslConfiguration(tls);
    }
    // Every handler checks that its socket is still the current one: an old socket's late
    // signals must not end the requests of the next connection.
    connect(socket, &QWebSocket::connected, this, [this, socket] {
        if (socket == m_socket)
            onConnected();
    });
    connect(socket, &QWebSocket::disconnected, this, [this, socket] {
        if (socket == m_socket)
            onSocketGone();
    });
    connect(socket, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), this,
            [this, socket](QAbstractSocket::SocketError) {
                if (socket != m_socket)
                    return;
                if (m_problem.isEmpty())
                    m_problem = socket->errorString();
                onSocketGone();
            });
    connect(socket, &QWebSocket::sslErrors, this, [this, socket](const QList<QSslError>& errors) {
        if (socket == m_socket)
            onSslErrors(errors);
    });
    connect(socket, &QWebSocket::textMessageReceived, this, [this, socket](const QString& text) {
        if (socket == m_socket)
            onText(text);
    });
    connect(socket, &QWebSocket::binaryMessageReceived, this, [this, socket](const QByteArray&) {
        if (socket == m_socket)
            qCWarning(lcTransport) << "ignored a binary frame from the server";
    });

    m_responseTimer->start(m_responseTimeoutMs);
    qCInfo(lcTransport).noquote() << "connecting to" << m_server.toString();
    socket->open(m_server);
}

void WebSocketTransport::closeSocket()
{
    if (!m_socket)
        return;
    QWebSocket* socket = std::exchange(m_socket, nullptr);
    disconnect(socket, nullptr, this, nullptr);
    socket->abort();
    socket->deleteLater();
}

void WebSocketTransport::stopTimers()
{
    m_reconnectTimer->stop();
    m_responseTimer->stop();
    m_keepAliveTimer->stop();
}

void WebSocketTransport::onConnected()
{
    m_responseTimer->start(m_responseTimeoutMs);
    setState(State::SigningIn);
    if (m_step == Step::Login) {
        sendFrame(protocol::Login{m_user, m_password});
        // The password is not kept: a reconnect resumes with the token instead.
        m_password.clear();
    } else {
        sendFrame(protocol::Resume{m_token});
    }
}

void WebSocketTransport::onSocketGone()
{
    const QString problem = m_problem.isEmpty() ? tr("the connection was closed") : m_problem;
    const QStringList sslProblems = m_sslProblems;
    closeSocket();
    stopTimers();
    m_step = Step::None;
    qCInfo(lcTransport).noquote() << "connection to" << m_server.toString() << "ended:" << problem;

    if (!sslProblems.isEmpty()) {
        // Trying again would meet the same certificate: someone has to decide about it.
        failSignIn(tr("The certificate of %1 cannot be verified: %2")
                       .arg(m_server.host(), sslProblems.join(QStringLiteral("; "))));
        return;
    }
    if (m_token.isEmpty()) {
        failSignIn(tr("The server %1 cannot be reached: %2").arg(m_server.toString(), problem));
        return;
    }
    // The state changes before connectionLost(): handlers that send again get their requests held.
    setState(State::Reconnecting);
    endInFlight();
    scheduleReconnect();
}

void WebSocketTransport::onSslErrors(const QList<QSslError>& errors)
{
    if (m_insecure) {
        qCWarning(lcTransport).noquote() << "accepting the certificate of" << m_server.host()
                                         << "without verification:" << errors.constFirst().errorString();
        m_socket->ignoreSslErrors();
        return;
    }
    const bool pinned = std::all_of(errors.cbegin(), errors.cend(), [this](const QSslError& error) {
        return !error.certificate().isNull() && m_trusted.contains(error.certificate());
    });
    if (pinned) {
        m_socket->ignoreSslErrors();
        return;
    }
    for (const QSslError& error : errors)
        m_sslProblems.append(error.errorString());
    qCWarning(lcTransport).noquote() << "refusing the certificate of" << m_server.host() << ":"
                                     << m_sslProblems.join(QStringLiteral("; "));
}

void WebSocketTransport::onText(const QString& text)
{
    m_awaitingPong = false; // anything from the server shows it is alive
    const QByteArray frame = text.toUtf8();
    const protocol::DecodeResult result = protocol::decode(frame);
    if (result.message)
        std::visit([this](const auto& message) { onMessage(message); }, *result.message);
    else
        onUndecodable(frame, result);
}

void WebSocketTransport::onUndecodable(const QByteArray& frame, const protocol::DecodeResult& result)
{
    qCWarning(lcTransport).noquote() << "unreadable frame from the server:" << result.error.code
                                     << result.error.text;
    // A broken reply still names its request most of the time: end that one now rather than
    // leaving it to its time-out.
    const QJsonObject object = QJsonDocument::fromJson(frame).object();
    if (object.value(QLatin1String("type")).toString() != QLatin1String("reply"))
        return;
    const QString key = object.value(QLatin1String("key")).toString();
    const auto it = std::find_if(m_inFlight.begin(), m_inFlight.end(),
                                 [&](const InFlight& request) { return request.key == key; });
    if (it == m_inFlight.end())
        return;
    protocol::Reply reply;
    reply.key = it->key;
    reply.requester = it->requester;
    reply.errors.append({QString::fromLatin1(BadReplyCode),
                         tr("The answer of the server could not be read: %1").arg(result.error.text)});
    m_inFlight.erase(it);
    emit replyReceived(reply);
}

void WebSocketTransport::onMessage(const protocol::Session& session)
{
    if (m_step != Step::Login && m_step != Step::Resume) {
        qCWarning(lcTransport) << "ignored a session the transport did not ask for";
        return;
    }
    m_token = session.token;
    m_profile = session.profile;
    UserProfile::instance().setProfile(m_profile);
    m_step = Step::Reference;
    m_responseTimer->start(m_responseTimeoutMs);
    sendFrame(protocol::ReferenceRequest{});
}

void WebSocketTransport::onMessage(const protocol::Reference& reference)
{
    if (m_step != Step::Reference) {
        qCWarning(lcTransport) << "ignored reference data the transport did not ask for";
        return;
    }
    ReferenceData::instance().setReference(reference);
    m_step = Step::None;
    m_resuming = true; // from now on a lost connection resumes the session
    m_responseTimer->stop();
    m_reconnectDelayMs = m_reconnectFirstMs;
    setState(State::SignedIn);
    if (m_keepAliveMs > 0)
        m_keepAliveTimer->start(m_keepAliveMs);
    qCInfo(lcTransport).noquote() << "signed in to" << m_server.toString() << "as" << m_profile.userId;
    // Held requests go before anything a signedIn() handler sends: they are older.
    flushHeld();
    emit signedIn();
}

void WebSocketTransport::onMessage(const protocol::Error& error)
{
    switch (m_step) {
    case Step::Login:
    case Step::Resume:
    case Step::Reference:
        qCInfo(lcTransport).noquote() << "sign-in refused:" << error.code << error.text;
        closeSocket();
        stopTimers();
        m_step = Step::None;
        failSignIn(error.text.isEmpty() ? error.code : error.text);
        return;
    case Step::None:
        break;
    }
    // Error frames carry no key; with a single request waiting the error can only be about it.
    if (m_inFlight.size() == 1) {
        const InFlight request = m_inFlight.takeFirst();
        protocol::Reply reply;
        reply.key = request.key;
        reply.requester = request.requester;
        reply.errors.append({error.code, error.text});
        emit replyReceived(reply);
        return;
    }
    qCWarning(lcTransport).noquote() << "error from the server:" << error.code << error.text << "("
                                     << m_inFlight.size() << "requests waiting)";
}

void WebSocketTransport::onMessage(const protocol::Reply& reply)
{
    const auto it = std::find_if(m_inFlight.begin(), m_inFlight.end(),
                                 [&](const InFlight& request) { return request.key == reply.key; });
    if (it == m_inFlight.end()) {
        qCInfo(lcTransport) << "dropped a reply for a request not sent on this connection:" << reply.key;
        return;
    }
    m_inFlight.erase(it);
    emit replyReceived(reply);
}

void WebSocketTransport::onMessage(const protocol::Pong&)
{
    // Receiving it already counted (onText).
}

template <class Other> void WebSocketTransport::onMessage(const Other& message)
{
    qCWarning(lcTransport).noquote() << "ignored a" << protocol::typeName(message)
                                     << "message from the server";
}

void WebSocketTransport::onResponseTimeout()
{
    if (!m_socket)
        return;
    m_problem = tr("the server did not answer within %1 s").arg(m_responseTimeoutMs / 1000.0);
    onSocketGone();
}

void WebSocketTransport::onKeepAlive()
{
    if (!m_socket || m_state != State::SignedIn)
        return;
    if (m_awaitingPong) {
        m_problem = tr("the server stopped answering");
        onSocketGone();
        return;
    }
    m_awaitingPong = true;
    sendFrame(protocol::Ping{QStringLiteral("keep-alive-%1").arg(++m_pingCount)});
}

void WebSocketTransport::failSignIn(const QString& reason)
{
    // After a session existed the officer must sign in again; before, the sign-in just failed.
    const State next = m_resuming ? State::SignInRequired : State::SignedOut;
    m_token.clear();
    m_password.clear();
    m_resuming = false;
    setState(next);
    endAll();
    emit signInFailed(reason);
}

void WebSocketTransport::scheduleReconnect()
{
    qCInfo(lcTransport) << "reconnecting in" << m_reconnectDelayMs << "ms";
    m_reconnectTimer->start(m_reconnectDelayMs);
    m_reconnectDelayMs = std::min(m_reconnectDelayMs * 2, m_reconnectMaxMs);
}

bool WebSocketTransport::sendFrame(const protocol::Message& message)
{
    if (!m_socket)
        return false;
    m_socket->sendTextMessage(QString::fromUtf8(protocol::encode(message)));
    return true;
}

void WebSocketTransport::transmit(const Pending& pending)
{
    m_inFlight.append({pending.key, pending.requester});
    m_socket->sendTextMessage(QString::fromUtf8(pending.frame));
}

void WebSocketTransport::flushHeld()
{
    m_holdTimer->stop();
    const QList<Pending> held = std::exchange(m_held, {});
    for (const Pending& pending : held)
        transmit(pending);
}

void WebSocketTransport::endInFlight()
{
    if (m_inFlight.isEmpty())
        return;
    m_inFlight.clear();
    // The message service ends everything it waits for, held requests included: drop them too,
    // or they would be sent after their senders were told they failed.
    m_held.clear();
    m_holdTimer->stop();
    emit connectionLost();
}

void WebSocketTransport::endAll()
{
    if (m_inFlight.isEmpty() && m_held.isEmpty())
        return;
    m_inFlight.clear();
    m_held.clear();
    m_holdTimer->stop();
    emit connectionLost();
}

void WebSocketTransport::answerLocally(const QString& key, const QString& requester, const QString& code,
                                       const QString& text)
{
    protocol::Reply reply;
    reply.key = key;
    reply.requester = requester;
    reply.errors.append({code, text});
    QMetaObject::invokeMethod(
        this, [this, reply] { emit replyReceived(reply); }, Qt::QueuedConnection);
}

} // namespace tavro
