#pragma once

#include "server/Service.h"

#include <memory>
#include <QHostAddress>
#include <QObject>
#include <QThreadPool>
#include <QUrl>

class QTcpServer;
class QWebSocketServer;

namespace tavro::server {

class Connection;

/// \brief The WebSocket face of a Service: one JSON message per text frame.
///
/// Frames are decoded on the server's thread; sign-ins, requests and reference look-ups run on a
/// pool of worker threads (each with its own database connection), and their answers are sent
/// back from the server's thread. Before a session exists only "login" and "resume" are served.
/// \code
/// Server server(service);
/// if (!server.listen(QHostAddress::LocalHost, 0, &why)) ...
/// qInfo() << "listening on" << server.url();
/// \endcode
class Server : public QObject
{
    Q_OBJECT
public:
    explicit Server(Service& service, QObject* parent = nullptr);
    ~Server() override;

    /// Serves wss:// with this certificate and key (PEM files); call before listen().
    bool useTls(const QString& certificatePath, const QString& keyPath, QString* error);
    bool listen(const QHostAddress& address, quint16 port, QString* error);
    quint16 port() const;
    QUrl url() const;
    void setWorkerThreads(int count);
    int connectionCount() const;

private:
    friend class Connection;
    void accept();
    void run(std::function<void()> job) { m_pool.start(std::move(job)); }

    Service& m_service;
    QThreadPool m_pool;
    QTcpServer* m_listener = nullptr;
    QWebSocketServer* m_server = nullptr;
    struct Tls;
    std::unique_ptr<Tls> m_tls;
    int m_connections = 0;
};

} // namespace tavro::server
