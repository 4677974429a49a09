#include "shell/RemoteTransport.h"

#include <QEventLoop>
#include <QLoggingCategory>

namespace tavro {

namespace {
Q_LOGGING_CATEGORY(lcRemote, "tavro.shell.remote")
constexpr int MaxRetryMs = 10000;
} // namespace

RemoteTransport::RemoteTransport(const QUrl& server, const QString& user, const QString& password,
                                 QObject* parent)
    : MessageTransport(parent), m_server(server), m_user(user), m_password(password)
{
    m_socket.setMaxAllowedIncomingMessageSize(protocol::MaxFrameBytes);
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, &RemoteTransport::retry);
    connect(&m_socket, &QWebSocket::connected, this, &RemoteTransport::onConnected);
    // A refused connection never emits disconnected(); the state change covers both cases.
    connect(&m_socket, &QWebSocket::stateChanged, this, [this](QAbstractSocket::SocketState state) {
        if (state == QAbstractSocket::UnconnectedState)
            onDisconnected();
    });
    connect(&m_socket, &QWebSocket::textMessageReceived, this, &RemoteTransport::onTextMessage);
}

RemoteTransport::~RemoteTransport()
{
    m_closing = true;
    m_retryTimer.stop();
    m_socket.disconnect(this);
    m_socket.abort();
}

bool RemoteTransport::signIn(int timeoutMs, QString* error)
{
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    // Every step that ends the wait: the reference arrived, an error frame, a broken socket.
    const auto stop = [&] {
        if (m_gotReference || m_lastError || m_socket.state() == QAbstractSocket::UnconnectedState)
            loop.quit();
    };
    const auto c1 = connect(&m_socket, &QWebSocket::textMessageReceived, &loop, stop, Qt::QueuedConnection);
    const auto c2 = connect(&m_socket, &QWebSocket::stateChanged, &loop, stop, Qt::QueuedConnection);
    m_lastError.reset();
    m_gotReference = false;
    m_socket.open(m_server);
    deadline.start(timeoutMs);
    loop.exec();
    disconnect(c1);
    disconnect(c2);

    if (m_gotReference && m_online) {
        m_signedIn = true;
        return true;
    }
    QString why;
    if (m_lastError)
        why = QStringLiteral("%1 refused the sign-in: %2").arg(m_server.toString(), m_lastError->text);
    else if (m_socket.state() == QAbstractSocket::ConnectedState)
        why = QStringLiteral("%1 did not answer the sign-in within %2 ms.")
                  .arg(m_server.toString())
                  .arg(timeoutMs);
    else
        why = QStringLiteral("%1 cannot be reached: %2")
                  .arg(m_server.toString(), m_socket.errorString().isEmpty() ? QStringLiteral("no answer")
                                                                             : m_socket.errorString());
    if (error)
        *error = why;
    m_closing = true;
    m_socket.abort();
    m_closing = false;
    return false;
}

void RemoteTransport::send(const protocol::Request& request)
{
    if (!m_online) {
        QMetaObject::invokeMethod(this, &MessageTransport::connectionLost, Qt::QueuedConnection);
        return;
    }
    write(request);
}

void RemoteTransport::onConnected()
{
    m_retryMs = m_firstRetryMs;
    if (!m_session.token.isEmpty())
        write(protocol::Resume{m_session.token});
    else
        write(protocol::Login{m_user, m_password});
}

void RemoteTransport::onDisconnected()
{
    if (m_closing)
        return;
    const bool wasOnline = m_online;
    setOnline(false, QStringLiteral("connection to %1 lost").arg(m_server.toString()));
    if (!m_signedIn)
        return; // signIn() reports it
    if (wasOnline)
        emit connectionLost();
    m_retryTimer.start(m_retryMs);
}

void RemoteTransport::retry()
{
    if (m_socket.state() != QAbstractSocket::UnconnectedState)
        return;
    qCInfo(lcRemote) << "reconnecting to" << m_server.toString();
    m_retryMs = std::min(m_retryMs * 2, MaxRetryMs);
    m_socket.open(m_server);
    // A refused connection ends in disconnected(), which schedules the next attempt.
}

void RemoteTransport::onTextMessage(const QString& text)
{
    const protocol::DecodeResult decoded = protocol::decode(text.toUtf8());
    if (!decoded.message) {
        qCWarning(lcRemote) << "unreadable frame from the server:" << decoded.error.text;
        return;
    }
    const protocol::Message& message = *decoded.message;
    if (const auto* reply = std::get_if<protocol::Reply>(&message)) {
        emit replyReceived(*reply);
    } else if (const auto* session = std::get_if<protocol::Session>(&message)) {
        m_session = *session;
        if (!m_gotReference) {
            write(protocol::ReferenceRequest{});
        } else {
            setOnline(true, QStringLiteral("signed in to %1").arg(m_server.toString()));
            emit reconnected();
        }
    } else if (const auto* reference = std::get_if<protocol::Reference>(&message)) {
        m_reference = *reference;
        m_gotReference = true;
        setOnline(true, QStringLiteral("signed in to %1").arg(m_server.toString()));
    } else if (const auto* error = std::get_if<protocol::Error>(&message)) {
        qCWarning(lcRemote) << "server error" << error->code << error->text;
        if (m_signedIn && !m_online && !m_session.token.isEmpty()) {
            // The session ended while we were away: sign in afresh with the same user.
            m_session.token.clear();
            write(protocol::Login{m_user, m_password});
            return;
        }
        m_lastError = *error;
    }
}

void RemoteTransport::write(const protocol::Message& message)
{
    m_socket.sendTextMessage(QString::fromUtf8(protocol::encode(message)));
}

void RemoteTransport::setOnline(bool online, const QString& detail)
{
    if (m_online == online)
        return;
    m_online = online;
    emit onlineChanged(online, detail);
}

} // namespace tavro
