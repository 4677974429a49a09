#include "shell/EmbeddedTransport.h"

#include <QMetaObject>
#include <QPointer>

namespace tavro {

EmbeddedBackend::~EmbeddedBackend() = default;

EmbeddedTransport::EmbeddedTransport(BackendFactory factory, QObject* parent)
    : MessageTransport(parent), m_factory(std::move(factory))
{
    m_thread.setObjectName(QStringLiteral("embedded back end"));
}

template <class F> auto EmbeddedTransport::onWorker(F&& f)
{
    using R = decltype(f());
    R result{};
    QMetaObject::invokeMethod(
        m_worker, [&] { result = f(); }, Qt::BlockingQueuedConnection);
    return result;
}

EmbeddedTransport::~EmbeddedTransport()
{
    if (m_started) {
        // The back end's database connection must close on the thread that opened it.
        onWorker([this] {
            m_backend.reset();
            return 0;
        });
        QMetaObject::invokeMethod(m_worker, &QObject::deleteLater);
        m_thread.quit();
        m_thread.wait();
    }
}

bool EmbeddedTransport::start(QString* error)
{
    if (m_started)
        return m_open;
    m_worker = new QObject;
    m_worker->moveToThread(&m_thread);
    m_thread.start();
    m_started = true;
    m_open = onWorker([this, error] {
        m_backend = m_factory ? m_factory() : nullptr;
        if (!m_backend) {
            if (error)
                *error = QStringLiteral("No embedded back end is available.");
            return false;
        }
        if (m_backend->open(error))
            return true;
        m_backend.reset();
        return false;
    });
    return m_open;
}

std::optional<protocol::Session> EmbeddedTransport::signInLocal(QString* error)
{
    if (!m_started)
        return std::nullopt;
    return onWorker([this, error] {
        return m_backend ? m_backend->signInLocal(error) : std::optional<protocol::Session>{};
    });
}

protocol::Reference EmbeddedTransport::reference()
{
    if (!m_started)
        return {};
    return onWorker([this] { return m_backend ? m_backend->reference() : protocol::Reference{}; });
}

QString EmbeddedTransport::firstUnconfirmedBatch()
{
    if (!m_started)
        return {};
    return onWorker([this] { return m_backend ? m_backend->firstUnconfirmedBatch() : QString(); });
}

void EmbeddedTransport::send(const protocol::Request& request)
{
    if (!m_open) {
        QMetaObject::invokeMethod(this, &MessageTransport::connectionLost, Qt::QueuedConnection);
        return;
    }
    ++m_pending;
    QPointer<EmbeddedTransport> self(this);
    QMetaObject::invokeMethod(m_worker, [this, self, request] {
        const protocol::Reply reply = m_backend->handle(request);
        // Back on the UI thread; the transport may be gone by then (shutdown).
        QMetaObject::invokeMethod(
            this,
            [self, reply] {
                if (!self)
                    return;
                --self->m_pending;
                emit self->replyReceived(reply);
            },
            Qt::QueuedConnection);
    });
}

} // namespace tavro
