#pragma once

#include "CallLog.h"
#include "common/MessageTransport.h"
#include "common/VeskMessage.h"
#include "runtime/ClassicError.h"

#include <QList>
#include <QMap>

namespace tavro::test {

/// A transport that captures what is sent and lets the test answer by hand. Replies are delivered at once (on
/// the calling thread), so the document's DataReady handler has run when deliverReply() returns.
class FakeTransport final : public MessageTransport
{
    Q_OBJECT
public:
    explicit FakeTransport(CallLog* log = nullptr) : m_log(log) {}

    void send(const protocol::Request& request) override
    {
        sent.append(request);
        if (m_log)
            m_log->add("Send", {CallLog::arg(request.requestCode), request.requester});
    }

    QList<protocol::Request> sent;
    /// The last request sent; fails a QVERIFY-less test loudly when nothing was sent.
    const protocol::Request& lastRequest() const
    {
        if (sent.isEmpty())
            raiseError(err::InvalidProcedureCall, QStringLiteral("FakeTransport: nothing was sent"));
        return sent.constLast();
    }
    /// The last request with \a requestCode, nullptr when none.
    const protocol::Request* lastRequest(int requestCode) const
    {
        for (auto it = sent.crbegin(); it != sent.crend(); ++it)
            if (it->requestCode == requestCode)
                return &*it;
        return nullptr;
    }

    void deliverReply(const protocol::Reply& reply) { emit replyReceived(reply); }
    /// Delivers a reply to the sent request \a key (its requester filled in).
    void deliverReply(const QString& key, const QMap<QString, protocol::DataSet>& dataSets,
                      const QList<protocol::ReplyError>& errors = {})
    {
        protocol::Reply reply{key, {}, errors, dataSets};
        for (const protocol::Request& request : std::as_const(sent))
            if (request.key == key)
                reply.requester = request.requester;
        deliverReply(reply);
    }
    /// Ends request \a key now as a time-out would; false when it is not outstanding.
    bool deliverTimeout(const QString& key) { return VeskMessage::GetInstance()->expire(key); }
    /// The connection breaks: every outstanding request ends.
    void loseConnection() { emit connectionLost(); }

private:
    CallLog* m_log;
};

} // namespace tavro::test
