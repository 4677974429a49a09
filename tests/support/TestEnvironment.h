#pragma once

#include "CallLog.h"
#include "common/ReferenceData.h"
#include "common/ReplyStore.h"
#include "common/VeskMessage.h"
#include "CommonFakes.h"
#include "FakeTransport.h"
#include "runtime/Seam.h"
#include "RuntimeFakes.h"

#include <memory>
#include <tuple>

namespace tavro::test {

/// \brief Every process-wide service replaced by a fake for one test function, all recording into
/// one call log. The message service gets a FakeTransport; the reply store and reference data are
/// fresh and empty. Everything is put back when the environment goes out of scope.
class TestEnvironment
{
public:
    TestEnvironment()
    {
        VeskMessage* service = VeskMessage::GetInstance();
        // Requests of an earlier test must not end (and announce themselves) during this one.
        service->discardOutstanding();
        auto transport = std::make_unique<FakeTransport>(&log);
        m_transport = transport.get();
        m_previousTransport = service->setTransport(std::move(transport));
        m_previousTimeoutMs = service->timeoutMs();
    }
    ~TestEnvironment()
    {
        VeskMessage* service = VeskMessage::GetInstance();
        service->discardOutstanding();
        service->setTransport(std::move(m_previousTransport));
        service->setTimeoutMs(m_previousTimeoutMs);
    }
    TestEnvironment(const TestEnvironment&) = delete;
    TestEnvironment& operator=(const TestEnvironment&) = delete;

    FakeTransport& transport() { return *m_transport; }

    CallLog log;
    RecordingStatusService status{log};
    RecordingFieldUtility fields{log};
    FakeUserProfile profile;
    RecordingErrorReporter errors{log};
    ScriptedMessageBox messageBox{log};
    RecordingPointer pointer{log};
    RecordingBeeper beeper{log};
    FakeEventPump events{log};
    ReplyStore replies;
    ReferenceData reference;

private:
    std::tuple<ScopedSeam<StatusService>, ScopedSeam<FieldUtility>, ScopedSeam<UserProfile>,
               ScopedSeam<ErrorReporter>, ScopedSeam<MessageBox>, ScopedSeam<ScreenPointer>,
               ScopedSeam<Beeper>, ScopedSeam<EventPump>, ScopedSeam<ReplyStore>, ScopedSeam<ReferenceData>>
        m_seams{status, fields, profile, errors, messageBox, pointer, beeper, events, replies, reference};
    FakeTransport* m_transport = nullptr;
    std::unique_ptr<MessageTransport> m_previousTransport;
    int m_previousTimeoutMs = 0;
};

} // namespace tavro::test
