#include "common/VeskMessage.h"

#include "common/ReplyStore.h"
#include "common/VeskRequest.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QPointer>
#include <QScopeGuard>
#include <QTimer>

namespace tavro {

namespace {
Q_LOGGING_CATEGORY(lcMessage, "tavro.message")

// Counts a Send() in progress for as long as it lasts, also when the transport throws.
class SendingGuard
{
public:
    explicit SendingGuard(int& depth) : m_depth(depth) { ++m_depth; }
    ~SendingGuard() { --m_depth; }
    SendingGuard(const SendingGuard&) = delete;
    SendingGuard& operator=(const SendingGuard&) = delete;

private:
    int& m_depth;
};
} // namespace

VeskMessage::VeskMessage()
{
    qRegisterMetaType<protocol::Reply>();
}

VeskMessage* VeskMessage::GetInstance()
{
    // Owned by the application object when there is one, so its timers and transport go
    // before the event dispatcher does; a later call (a new application) makes a new one.
    static QPointer<VeskMessage> service;
    if (!service) {
        service = new VeskMessage;
        if (QCoreApplication* app = QCoreApplication::instance())
            service->setParent(app);
    }
    return service;
}

void VeskMessage::Send(const VeskRequest& request)
{
    // Converting first: a data set that cannot travel fails the caller's Send, and nothing waits.
    const protocol::Request wire = request.toWire();
    const QString key = wire.key;

    const auto previous = std::find_if(m_outstanding.begin(), m_outstanding.end(),
                                       [&](const Outstanding& o) { return o.key == key; });
    if (previous != m_outstanding.end()) {
        previous->timer->deleteLater();
        m_outstanding.erase(previous);
    }

    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this, key] { expire(key); });
    timer->start(m_timeoutMs);
    m_outstanding.append({key, wire.requester, timer});

    if (!m_transport) {
        QTimer::singleShot(0, this, [this, key] {
            endWithoutReply(key, QString::fromLatin1(NotConnectedCode),
                            tr("The request could not be sent: there is no connection to the server."));
        });
        return;
    }
    SendingGuard guard(m_sending);
    m_transport->send(wire);
}

std::unique_ptr<MessageTransport> VeskMessage::setTransport(std::unique_ptr<MessageTransport> transport)
{
    if (m_transport)
        disconnect(m_transport.get(), nullptr, this, nullptr);
    std::swap(m_transport, transport);
    if (m_transport) {
        connect(m_transport.get(), &MessageTransport::replyReceived, this, &VeskMessage::onReply);
        connect(m_transport.get(), &MessageTransport::connectionLost, this, &VeskMessage::onConnectionLost);
    }
    return transport;
}

QStringList VeskMessage::outstandingKeys() const
{
    QStringList keys;
    for (const Outstanding& o : m_outstanding)
        keys.append(o.key);
    return keys;
}

bool VeskMessage::expire(const QString& key)
{
    const bool known = std::any_of(m_outstanding.cbegin(), m_outstanding.cend(),
                                   [&](const Outstanding& o) { return o.key == key; });
    if (known)
        endWithoutReply(key, QString::fromLatin1(TimeoutCode), tr("The server did not answer in time."));
    return known;
}

void VeskMessage::discardOutstanding()
{
    for (const Outstanding& o : std::as_const(m_outstanding))
        o.timer->deleteLater();
    m_outstanding.clear();
}

void VeskMessage::onReply(const protocol::Reply& reply)
{
    if (m_sending > 0) {
        // A transport answered from inside send(): the document has not finished sending yet.
        QMetaObject::invokeMethod(
            this, [this, reply] { onReply(reply); }, Qt::QueuedConnection);
        return;
    }
    const auto it = std::find_if(m_outstanding.begin(), m_outstanding.end(),
                                 [&](const Outstanding& o) { return o.key == reply.key; });
    if (it == m_outstanding.end()) {
        qCInfo(lcMessage) << "dropped a reply for a request that is not outstanding:" << reply.key;
        return;
    }
    const Outstanding request = *it;
    m_outstanding.erase(it);
    request.timer->deleteLater();

    ReplyStore::instance().store(request.requester, request.key, reply.dataSets, reply.errors);
    announce(request.requester, request.key, false);
}

void VeskMessage::onConnectionLost()
{
    if (m_sending > 0) {
        QMetaObject::invokeMethod(this, &VeskMessage::onConnectionLost, Qt::QueuedConnection);
        return;
    }
    // A snapshot: handlers may send new requests, which belong to the next connection.
    const QStringList keys = outstandingKeys();
    for (const QString& key : keys)
        endWithoutReply(key, QString::fromLatin1(ConnectionLostCode),
                        tr("The connection to the server was lost."));
}

void VeskMessage::endWithoutReply(const QString& key, const QString& code, const QString& text)
{
    const auto it = std::find_if(m_outstanding.begin(), m_outstanding.end(),
                                 [&](const Outstanding& o) { return o.key == key; });
    if (it == m_outstanding.end())
        return;
    const Outstanding request = *it;
    m_outstanding.erase(it);
    request.timer->deleteLater();

    qCInfo(lcMessage) << "request" << key << "of" << request.requester << "ended without a reply:" << code;
    ReplyStore::instance().store(request.requester, request.key, {}, {protocol::ReplyError{code, text}});
    announce(request.requester, request.key, true);
}

void VeskMessage::announce(const QString& requester, const QString& key, bool timedOut)
{
    // Restored afterwards: a handler may run a nested event loop that announces other replies.
    const QString outer = std::exchange(m_announcedKey, key);
    const auto restore = qScopeGuard([&] { m_announcedKey = outer; });
    if (timedOut) {
        QString name = requester;
        emit MsgTimeout(name);
    }
    QVariant name(requester);
    emit DataReady(name);
}

} // namespace tavro
