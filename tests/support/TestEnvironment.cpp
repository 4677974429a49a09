#include "TestEnvironment.h"

#include "common/VeskMessage.h"

namespace tavro::test {

TestEnvironment::TestEnvironment()
{
    VeskMessage* service = VeskMessage::GetInstance();
    // Requests of an earlier test must not end (and announce themselves) during this one.
    service->discardOutstanding();
    auto transport = std::make_unique<FakeTransport>(&log);
    m_transport = transport.get();
    m_previousTransport = service->setTransport(std::move(transport));
    m_previousTimeoutMs = service->timeoutMs();
}

TestEnvironment::~TestEnvironment()
{
    VeskMessage* service = VeskMessage::GetInstance();
    service->discardOutstanding();
    service->setTransport(std::move(m_previousTransport));
    service->setTimeoutMs(m_previousTimeoutMs);
}

} // namespace tavro::test
