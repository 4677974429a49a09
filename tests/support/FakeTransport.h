#pragma once

#include "CallLog.h"
#include "common/MessageTransport.h"

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

    void send(const protocol::Request& request) override;

    QList<protocol::Request> sent;
    /// The last request sent; fails a QVERIFY-less test loudly when nothing was sent.
    const protocol::Request& lastRequest() const;
    /// The last request with \a requestCode, nullptr when none.
    const protocol::Request* lastRequest(int requestCode) const;

    void deliverReply(const protocol::Reply& reply);
    /// Delivers a reply to the sent request \a key (its requester filled in).
    void deliverReply(const QString& key, const QMap<QString, protocol::DataSet>& dataSets,
                      const QList<protocol::ReplyError>& errors = {});
    /// Ends request \a key now as a time-out would; false when it is not outstanding.
    bool deliverTimeout(const QString& key);
    /// The connection breaks: every outstanding request ends.
    void loseConnection();

private:
    CallLog* m_log;
};

} // namespace tavro::test
