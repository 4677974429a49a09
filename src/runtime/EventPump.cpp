#include "runtime/EventPump.h"

#include "runtime/Seam.h"

#include <memory>
#include <QCoreApplication>
#include <QThread>

namespace tavro {

namespace {

class ApplicationEventPump final : public EventPump
{
public:
    void DoEvents() override { QCoreApplication::processEvents(QEventLoop::AllEvents); }
    void Sleep(int milliseconds) override
    {
        if (milliseconds > 0)
            QThread::msleep(static_cast<unsigned long>(milliseconds));
    }
};

SeamSlot<EventPump>& slot()
{
    static SeamSlot<EventPump> s(
        []() -> std::unique_ptr<EventPump> { return std::make_unique<ApplicationEventPump>(); });
    return s;
}

} // namespace

EventPump& EventPump::instance()
{
    return slot().get();
}
void EventPump::setInstance(EventPump* replacement)
{
    slot().set(replacement);
}

} // namespace tavro
