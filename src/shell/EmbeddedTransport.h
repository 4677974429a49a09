#pragma once

#include "common/MessageTransport.h"
#include "protocol/Messages.h"

#include <functional>
#include <memory>
#include <optional>
#include <QThread>

namespace tavro {

/// \brief A back end that answers requests in this process (runs on the transport's worker thread).
class EmbeddedBackend
{
public:
    virtual ~EmbeddedBackend();
    /// Opens the store, creating and seeding it when it is new; false with \a error on failure.
    virtual bool open(QString* error) = 0;
    /// Signs the local user in without a password.
    virtual std::optional<protocol::Session> signInLocal(QString* error) = 0;
    virtual protocol::Reference reference() = 0;
    virtual protocol::Reply handle(const protocol::Request& request) = 0;
    /// A daily batch with unconfirmed receipts, to show something at once; empty when none.
    virtual QString firstUnconfirmedBatch() = 0;
};

/// \brief The embedded default transport: the back end's request handling on a worker thread.
///
/// The back end is created, used and destroyed on the worker thread (its database connection
/// belongs to that thread). Replies are handed to the UI thread queued, so a reply never
/// arrives inside send().
/// \code
/// auto transport = std::make_unique<EmbeddedTransport>([] { return makeBackend(path); });
/// if (!transport->start(&error)) ...
/// auto session = transport->signInLocal(&error);
/// \endcode
class EmbeddedTransport final : public MessageTransport
{
    Q_OBJECT
public:
    using BackendFactory = std::function<std::unique_ptr<EmbeddedBackend>()>;

    explicit EmbeddedTransport(BackendFactory factory, QObject* parent = nullptr);
    ~EmbeddedTransport() override;

    /// Starts the worker and opens the back end there; waits until it is open.
    bool start(QString* error);
    /// The local user's session, asked on the worker (waits for the answer).
    std::optional<protocol::Session> signInLocal(QString* error);
    protocol::Reference reference();
    QString firstUnconfirmedBatch();

    void send(const protocol::Request& request) override;

    /// Requests handed to the worker and not yet answered on the UI thread.
    int pending() const { return m_pending; }

private:
    template <class F> auto onWorker(F&& f);

    BackendFactory m_factory;
    QThread m_thread;
    QObject* m_worker = nullptr;                // lives on m_thread
    std::unique_ptr<EmbeddedBackend> m_backend; // used only on m_thread
    int m_pending = 0;
    bool m_started = false; // the worker runs
    bool m_open = false;    // the back end opened and takes requests
};

} // namespace tavro
