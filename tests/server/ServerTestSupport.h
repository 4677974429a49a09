#pragma once

#include "protocol/Messages.h"
#include "server/Server.h"
#include "server/Service.h"

#include <memory>
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

/// A store with the demo data, copied afresh for every test, and a server over it.
class Backend
{
public:
    enum class Kind
    {
        Sqlite,
        Postgres
    };
    explicit Backend(Kind kind) : m_kind(kind) {}
    Kind kind() const { return m_kind; }

    /// Seeds the template once; false with \a error (or \a skip when PostgreSQL is absent).
    bool prepare(QString* error, QString* skip);
    /// A store as seeded behind a Service and Server: a fresh copy of the template, unless the last
    /// test left its store unchanged.
    bool startFresh(QString* error, ServiceOptions options = {});
    void stop();

    Service& service() { return *m_service; }
    Server& server() { return *m_server; }
    QUrl url() const { return m_server->url(); }
    DatabaseConfig config() const { return m_config; }

private:
    Kind m_kind;
    QTemporaryDir m_dir;
    std::unique_ptr<PgCluster> m_cluster;
    DatabaseConfig m_config;
    int m_copies = 0;
    QString m_seedDump;
    ServiceOptions m_options;
    std::unique_ptr<Service> m_service;
    std::unique_ptr<Server> m_server;
};

/// A WebSocket client that keeps every frame it receives, decoded, in arrival order.
class Client : public QObject
{
public:
    explicit Client(const QUrl& url);
    bool isConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    void send(const protocol::Message& message);
    void sendText(const QString& text) { m_socket.sendTextMessage(text); }
    void sendBinary(const QByteArray& bytes) { m_socket.sendBinaryMessage(bytes); }
    /// Waits for the next frame; nullopt after \a timeoutMs. Undecodable frames count as failures.
    std::optional<protocol::Message> next(int timeoutMs = 15000);
    /// Sends and waits for the answer.
    std::optional<protocol::Message> exchange(const protocol::Message& message);
    /// Signs in; the session, or nullopt.
    std::optional<protocol::Session> login(const QString& user, const QString& password);

private:
    QWebSocket m_socket;
    QList<QByteArray> m_frames;
};

/// A request with the envelope the screen sends.
protocol::Request request(int code, const QList<std::pair<QString, QString>>& criteria = {});
protocol::Request search(const QString& type, const QString& number, const QString& conf);

/// One field of a record being built.
struct Cell
{
    QString name;
    protocol::FieldType type;
    protocol::Value value;
};
protocol::DataSet record(const QList<Cell>& cells);

/// Every table but the sessions, as text: equal dumps mean an unchanged store.
QString dump(Database& database);

} // namespace tavro::server::test
