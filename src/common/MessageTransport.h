#pragma once

#include "protocol/Messages.h"

#include <QObject>

namespace tavro {

/// \brief Carries requests to a back end and brings its replies back.
///
/// VeskMessage owns one transport. A transport may emit its signals on any thread:
/// VeskMessage receives them on its own (the UI) thread. Reconnecting after a
/// lost connection is the transport's business; VeskMessage only ends the
/// requests that were outstanding when connectionLost() came.
class MessageTransport : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~MessageTransport() override;

    /// Sends \a request; its answer comes back later through replyReceived().
    /// A request that cannot be sent is reported with connectionLost().
    virtual void send(const protocol::Request& request) = 0;

signals:
    /// A reply arrived (matched to its request by key).
    void replyReceived(const tavro::protocol::Reply& reply);
    /// The connection broke: no reply of a request sent so far will come.
    void connectionLost();
};

} // namespace tavro
