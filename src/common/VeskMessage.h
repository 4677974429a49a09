#pragma once

#include "common/MessageTransport.h"
#include "protocol/Messages.h"

#include <memory>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

class QTimer;

namespace tavro {

class VeskRequest;

/// \brief The process's message service: sends requests and announces their replies.
///
/// Send() hands the request to the transport. When the reply arrives its data
/// sets and errors go into ReplyStore under (requester, key) and DataReady names
/// the requester. A request without a reply within timeoutMs(), or outstanding
/// when the connection is lost, gets a stored error instead, MsgTimeout and then
/// DataReady; a reply that arrives after that is dropped. Neither event is ever
/// raised from inside Send(): a document may set its state after sending.
class VeskMessage : public QObject
{
    Q_OBJECT
public:
    /// The one service of the process, created on first use (no transport yet).
    static VeskMessage* GetInstance();

    void Send(const VeskRequest& request);

    /// Installs \a transport and returns the previous one. Outstanding requests
    /// keep waiting for their replies (or their time-outs).
    std::unique_ptr<MessageTransport> setTransport(std::unique_ptr<MessageTransport> transport);
    MessageTransport* transport() const { return m_transport.get(); }

    /// Time-out of requests sent from now on, in milliseconds (default 30000).
    void setTimeoutMs(int milliseconds) { m_timeoutMs = milliseconds; }
    int timeoutMs() const { return m_timeoutMs; }

    /// The key of the request whose MsgTimeout or DataReady is being raised; empty outside them.
    /// Documents that share a name tell their own replies apart by it.
    QString announcedKey() const { return m_announcedKey; }

    /// Keys of the requests still waiting for a reply, in the order they were sent.
    QStringList outstandingKeys() const;
    /// Ends request \a key now as if its time-out had passed; false when it is not outstanding.
    bool expire(const QString& key);
    /// Forgets every outstanding request without announcing anything (sign-out, end of a test).
    void discardOutstanding();

    /// Error codes stored for requests that ended without a reply.
    static constexpr char TimeoutCode[] = "TIMEOUT";
    static constexpr char ConnectionLostCode[] = "CONNECTION_LOST";
    static constexpr char NotConnectedCode[] = "NOT_CONNECTED";

signals:
    /// The outstanding request of \a documentName ended without a reply.
    void MsgTimeout(QString& documentName);
    /// The reply for \a documentName (a QString in a variant) can be fetched from ReplyStore.
    void DataReady(QVariant& documentName);

private:
    VeskMessage();
    void onReply(const protocol::Reply& reply);
    void onConnectionLost();
    void endWithoutReply(const QString& key, const QString& code, const QString& text);
    void announce(const QString& requester, const QString& key, bool timedOut);

    struct Outstanding
    {
        QString key;
        QString requester;
        QTimer* timer = nullptr;
    };
    std::unique_ptr<MessageTransport> m_transport;
    QList<Outstanding> m_outstanding; // in sending order
    int m_timeoutMs = 30000;
    int m_sending = 0;
    QString m_announcedKey;
};

} // namespace tavro
