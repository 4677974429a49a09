#include "RuntimeFakes.h"

#include <stdexcept>

namespace tavro::test {

namespace {
int firstButton(int style)
{
    switch (style & 7) {
    case vb::vbAbortRetryIgnore:
        return vb::vbAbort;
    case vb::vbYesNoCancel:
    case vb::vbYesNo:
        return vb::vbYes;
    case vb::vbRetryCancel:
        return vb::vbRetry;
    default:
        return vb::vbOK;
    }
}
} // namespace

int ScriptedMessageBox::MsgBox(const QString& prompt, int style, const QString& title)
{
    const int answer = answers.isEmpty() ? firstButton(style) : answers.dequeue();
    shown.append({prompt, style, title, answer});
    m_log.add("MsgBox", {prompt, CallLog::arg(style), title});
    return answer;
}

void RecordingPointer::setMousePointer(int pointer)
{
    m_pointer = pointer;
    history.append(pointer);
    m_log.add("MousePointer", {CallLog::arg(pointer)});
}

void RecordingBeeper::Beep()
{
    ++beeps;
    m_log.add("Beep", {});
}

void FakeEventPump::count()
{
    if (doEventsCalls + sleeps.size() >= maxWaits)
        throw std::runtime_error("FakeEventPump: the document is still waiting after maxWaits calls");
}

void FakeEventPump::DoEvents()
{
    count();
    ++doEventsCalls;
    m_log.add("DoEvents", {});
    if (onDoEvents)
        onDoEvents();
}

void FakeEventPump::Sleep(int milliseconds)
{
    count();
    sleeps.append(milliseconds);
    m_log.add("Sleep", {CallLog::arg(milliseconds)});
    if (onSleep)
        onSleep(milliseconds);
}

} // namespace tavro::test
