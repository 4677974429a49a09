#pragma once

#include "protocol/Messages.h"
#include "server/Server.h"
#include "server/Service.h"

#include <optional>
#include <QTemporaryDir>
#include <QUrl>
#include <QWebSocket>

namespace tavro::server::test {

/// A throw-away PostgreSQL cluster on a free port with its own socket folder, removed afterwards.
/// initdb refuses to run as root, so as root it runs as the user postgres.
class PgCluster
{
public:
    static QString binaries() { return QStringLiteral("/usr/lib/postgresql/15/bin"); }

    ~PgCluster();
    bool start(QString* error);
    /// Runs \a statement on the maintenance database (CREATE and DROP DATABASE).
    bool execute(const QString& statement, QString* error);
    DatabaseConfig config(const QString& database) const;

private:
    bool run(const QString& program, const QStringList& arguments, QString* error);
    QTemporaryDir m_dir;
    int m_port = 0;
    bool m_running = false;
};

/// A WebSocket client that keeps every frame it receives, decoded, in arrival order.
class Client : public QObject
{
public:
    explicit Client(const QUrl& url);
    bool isConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    void send(const protocol::Message& message) { sendText(QString::fromUtf8(protocol::encode(message))); }
    void sendText(const QString& text) { m_socket.sendTextMessage(text); }
    void sendBinary(const QByteArray& bytes) { m_socket.sendBinaryMessage(bytes); }
    /// Waits for the next frame; nullopt after \a timeoutMs. Undecodable frames count as failures.
    std::optional<protocol::Message> next(int timeoutMs = 15000);
    std::optional<protocol::Message> exchange(const protocol::Message& message)
    {
        send(message);
        return next();
    }
    /// Signs in; the session, or nullopt.
    std::optional<protocol::Session> login(const QString& user, const QString& password);

private:
    QWebSocket m_socket;
    QList<QByteArray> m_frames;
};

/// A request with the envelope the screen sends.
protocol::Request request(int code, const QList<std::pair<QString, QString>>& criteria = {});
protocol::Request search(const QString& type, const QString& number, const QString& conf);

/// Every table but the sessions, as text: equal dumps mean an unchanged store.
QString dump(Database& database);

} // namespace tavro::server::test
