#include "FakeTransport.h"

#include "common/VeskMessage.h"
#include "runtime/ClassicError.h"

namespace tavro::test {

void FakeTransport::send(const protocol::Request& request)
{
    sent.append(request);
    if (m_log)
        m_log->add("Send", {CallLog::arg(request.requestCode), request.requester});
}

const protocol::Request& FakeTransport::lastRequest() const
{
    if (sent.isEmpty())
        raiseError(err::InvalidProcedureCall, QStringLiteral("FakeTransport: nothing was sent"));
    return sent.constLast();
}

const protocol::Request* FakeTransport::lastRequest(int requestCode) const
{
    for (auto it = sent.crbegin(); it != sent.crend(); ++it)
        if (it->requestCode == requestCode)
            return &*it;
    return nullptr;
}

void FakeTransport::deliverReply(const protocol::Reply& reply)
{
    emit replyReceived(reply);
}

void FakeTransport::deliverReply(const QString& key, const QMap<QString, protocol::DataSet>& dataSets,
                                 const QList<protocol::ReplyError>& errors)
{
    protocol::Reply reply;
    reply.key = key;
    for (const protocol::Request& request : std::as_const(sent))
        if (request.key == key)
            reply.requester = request.requester;
    reply.dataSets = dataSets;
    reply.errors = errors;
    deliverReply(reply);
}

bool FakeTransport::deliverTimeout(const QString& key)
{
    return VeskMessage::GetInstance()->expire(key);
}

void FakeTransport::loseConnection()
{
    emit connectionLost();
}

} // namespace tavro::test
