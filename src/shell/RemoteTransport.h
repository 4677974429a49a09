#pragma once

#include "common/MessageTransport.h"
#include "protocol/Messages.h"

#include <optional>
#include <QTimer>
#include <QUrl>
#include <QWebSocket>

namespace tavro {

/// \brief The transport to a tavro-server over a WebSocket (ws:// or wss://).
///
/// signIn() connects, signs in with user and password and fetches the reference data,
/// waiting (with a local event loop) for at most its time-out. Afterwards a lost connection
/// ends every outstanding request at once (connectionLost()), and the transport reconnects in
/// the background, resuming its session with the token, or signing in again when the session
/// has expired. A request sent while there is no session is refused the same way.
/// \code
/// RemoteTransport transport(QUrl("ws://127.0.0.1:8765"), "jdoe", password);
/// if (!transport.signIn(10000, &error)) ...
/// \endcode
class RemoteTransport final : public MessageTransport
{
    Q_OBJECT
public:
    RemoteTransport(const QUrl& server, const QString& user, const QString& password,
                    QObject* parent = nullptr);
    ~RemoteTransport() override;

    bool signIn(int timeoutMs, QString* error);
    const protocol::Session& session() const { return m_session; }
    const protocol::Reference& reference() const { return m_reference; }
    /// Signed in and connected: requests go out.
    bool isOnline() const { return m_online; }
    /// Milliseconds between reconnection attempts (first attempt; it doubles up to 10 s).
    void setRetryMs(int milliseconds) { m_retryMs = m_firstRetryMs = milliseconds; }

    void send(const protocol::Request& request) override;

signals:
    /// The session is usable again after a lost connection.
    void reconnected();
    /// Connection state for the status area: "online", "reconnecting", with a detail text.
    void onlineChanged(bool online, const QString& detail);

private:
    void onConnected();
    void onDisconnected();
    void onTextMessage(const QString& text);
    void write(const protocol::Message& message);
    void setOnline(bool online, const QString& detail);
    void retry();

    QUrl m_server;
    QString m_user;
    QString m_password;
    QWebSocket m_socket;
    QTimer m_retryTimer;
    protocol::Session m_session;
    protocol::Reference m_reference;
    std::optional<protocol::Error> m_lastError;
    bool m_online = false;
    bool m_signedIn = false; // a first sign-in succeeded; reconnect from then on
    bool m_gotReference = false;
    bool m_closing = false;
    int m_firstRetryMs = 1000;
    int m_retryMs = 1000;
};

} // namespace tavro
