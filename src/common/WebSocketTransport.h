#pragma once

#include "common/MessageTransport.h"
#include "protocol/Messages.h"

#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QSslError>
#include <QString>
#include <QStringList>
#include <QUrl>

class QTimer;
class QWebSocket;

namespace tavro {

/// \brief Carries requests to tavro-server over ws:// or wss://, one JSON message per text frame.
///
/// signIn() connects, sends "login" and keeps the session token (never the password). Once the
/// "session" answer came, the profile goes to UserProfile, the code tables and officer names are
/// asked for and given to ReferenceData, and signedIn() follows: requests flow from then on.
///
/// A lost connection ends every request sent on it (connectionLost()) and reconnects in the
/// background, waiting longer after each failed attempt (up to reconnectMaxDelayMs()), and
/// signs in again with "resume" and the kept token. When the server refuses the token the
/// state becomes SignInRequired and signInFailed() says why: a new signIn() is needed.
///
/// A request sent while (re)connecting is held and sent once signed in, so a short break in
/// the connection costs the officer nothing. It is held at most holdTimeoutMs(): after that
/// every held request is dropped and connectionLost() ends it. That bound must stay below the
/// message service's time-out, or a save the officer was told had timed out could still be
/// sent later. A request sent while signed out (never signed in, or SignInRequired) is ended
/// at once the same way.
///
/// For wss:// the server's certificate is verified against the system's authorities. One the
/// system cannot verify is refused unless it was trusted with addTrustedCertificate() or
/// verification was switched off on purpose with setInsecure(true).
/// \code
/// auto transport = std::make_unique<WebSocketTransport>(QUrl("wss://host:8443"));
/// connect(transport.get(), &WebSocketTransport::signedIn, ...);
/// connect(transport.get(), &WebSocketTransport::signInFailed, ...);
/// transport->signIn(user, password);
/// VeskMessage::GetInstance()->setTransport(std::move(transport));
/// \endcode
class WebSocketTransport final : public MessageTransport
{
    Q_OBJECT
public:
    enum class State
    {
        SignedOut,      ///< not signed in; signIn() starts
        Connecting,     ///< opening the connection (first sign-in or a reconnect attempt)
        SigningIn,      ///< "login" or "resume" sent, or the reference data asked for
        SignedIn,       ///< requests are sent as they come
        Reconnecting,   ///< the connection broke; waiting before the next attempt
        SignInRequired, ///< the server no longer knows the session: signIn() again
    };
    Q_ENUM(State)

    explicit WebSocketTransport(const QUrl& server, QObject* parent = nullptr);
    ~WebSocketTransport() override;

    QUrl server() const { return m_server; }
    State state() const { return m_state; }
    bool hasSession() const { return !m_token.isEmpty(); }
    /// The signed-in user's values as the server gave them (empty before sign-in).
    const protocol::Profile& profile() const { return m_profile; }

    /// Connects when needed and signs in as \a user. Ends with signedIn() or signInFailed().
    void signIn(const QString& user, const QString& password);
    /// Closes the connection and forgets the session; requests still held or answered end.
    void signOut();

    /// Accepts a wss:// server presenting \a certificate (or one it issued), even when the
    /// system cannot verify it.
    void addTrustedCertificate(const QSslCertificate& certificate);
    void setTrustedCertificate(const QSslCertificate& certificate) { addTrustedCertificate(certificate); }
    /// Accepts any certificate: for test servers only; every connection logs a warning.
    void setInsecure(bool insecure) { m_insecure = insecure; }
    bool isInsecure() const { return m_insecure; }

    /// Longest wait for a request sent while not signed in (default 10 s).
    void setHoldTimeoutMs(int milliseconds) { m_holdTimeoutMs = milliseconds; }
    int holdTimeoutMs() const { return m_holdTimeoutMs; }
    /// Waits between reconnect attempts: \a firstMs, doubling up to \a maxMs (default 250 ms, 10 s).
    void setReconnectDelays(int firstMs, int maxMs);
    int reconnectMaxDelayMs() const { return m_reconnectMaxMs; }
    /// Longest wait for the connection to open and for each sign-in answer (default 15 s).
    void setResponseTimeoutMs(int milliseconds) { m_responseTimeoutMs = milliseconds; }
    /// A ping goes every \a milliseconds while signed in; no answer by the next one drops the
    /// connection, so a server that went away silently is noticed. 0 switches it off (default 20 s).
    void setKeepAliveMs(int milliseconds);

    void send(const protocol::Request& request) override;

    /// Error codes of the replies this transport makes up itself.
    static constexpr char TooLargeCode[] = "REQUEST_TOO_LARGE";
    static constexpr char BadReplyCode[] = "BAD_REPLY";

signals:
    /// Signed in (first time or again after a reconnect); profile and reference data are set.
    void signedIn();
    /// A sign-in (or the resume after a reconnect) failed; \a reason is for the officer.
    void signInFailed(const QString& reason);
    void connectionStateChanged(tavro::WebSocketTransport::State state);

private:
    struct Pending
    {
        QString key;
        QString requester;
        QByteArray frame;
    };
    struct InFlight
    {
        QString key;
        QString requester;
    };
    enum class Step
    {
        None,
        Login,
        Resume,
        Reference
    };

    void setState(State state);
    void openSocket();
    void closeSocket();
    void stopTimers();
    void onConnected();
    void onSocketGone();
    void onSslErrors(const QList<QSslError>& errors);
    void onText(const QString& text);
    void onUndecodable(const QByteArray& frame, const protocol::DecodeResult& result);
    void onMessage(const protocol::Session& session);
    void onMessage(const protocol::Reference& reference);
    void onMessage(const protocol::Error& error);
    void onMessage(const protocol::Reply& reply);
    void onMessage(const protocol::Pong& pong);
    template <class Other> void onMessage(const Other& message);
    void onResponseTimeout();
    void onKeepAlive();
    void failSignIn(const QString& reason);
    void scheduleReconnect();
    bool sendFrame(const protocol::Message& message);
    void transmit(const Pending& pending);
    void flushHeld();
    void endInFlight();
    void endAll();
    void answerLocally(const QString& key, const QString& requester, const QString& code,
                       const QString& text);

    QUrl m_server;
    QWebSocket* m_socket = nullptr;
    State m_state = State::SignedOut;
    Step m_step = Step::None;
    bool m_resuming = false; // a session existed: a failed sign-in means SignInRequired
    QString m_user;
    QString m_password; // only until the login frame is sent
    QString m_token;
    protocol::Profile m_profile;
    QList<QSslCertificate> m_trusted;
    bool m_insecure = false;
    QString m_problem;         // why the current connection ended
    QStringList m_sslProblems; // certificate errors of the current connection attempt

    QList<InFlight> m_inFlight; // sent on the current connection, not answered yet
    QList<Pending> m_held;      // waiting for the sign-in to finish

    QTimer* m_holdTimer = nullptr;
    QTimer* m_reconnectTimer = nullptr;
    QTimer* m_responseTimer = nullptr;
    QTimer* m_keepAliveTimer = nullptr;
    int m_holdTimeoutMs = 10000;
    int m_reconnectFirstMs = 250;
    int m_reconnectMaxMs = 10000;
    int m_reconnectDelayMs = 250;
    int m_responseTimeoutMs = 15000;
    int m_keepAliveMs = 20000;
    bool m_awaitingPong = false;
    quint64 m_pingCount = 0;
};

} // namespace tavro
