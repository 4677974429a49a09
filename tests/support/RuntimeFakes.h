#pragma once

#include "CallLog.h"
#include "runtime/Beeper.h"
#include "runtime/EventPump.h"
#include "runtime/MessageBox.h"
#include "runtime/ScreenPointer.h"

#include <functional>
#include <QList>
#include <QQueue>
#include <stdexcept>

namespace tavro::test {

/// Answers message boxes from a queue and records each one. With the queue empty a box is answered with its
/// first button (OK, Yes, Abort, Retry).
class ScriptedMessageBox final : public MessageBox
{
public:
    explicit ScriptedMessageBox(CallLog& log) : m_log(log) {}

    int MsgBox(const QString& prompt, int style = vb::vbOKOnly, const QString& title = {}) override
    {
        // The first button of each button set, by the style's lowest three bits.
        static constexpr int first[] = {vb::vbOK,  vb::vbOK,    vb::vbAbort, vb::vbYes,
                                        vb::vbYes, vb::vbRetry, vb::vbOK,    vb::vbOK};
        const int answer = answers.isEmpty() ? first[style & 7] : answers.dequeue();
        shown.append({prompt, style, title, answer});
        m_log.add("MsgBox", {prompt, CallLog::arg(style), title});
        return answer;
    }

    struct Shown
    {
        QString prompt;
        int style = 0;
        QString title;
        int answer = 0;
    };
    QQueue<int> answers;
    QList<Shown> shown;

private:
    CallLog& m_log;
};

/// Records every pointer change ("MousePointer(11)") and holds the current pointer.
class RecordingPointer final : public ScreenPointer
{
public:
    explicit RecordingPointer(CallLog& log) : m_log(log) {}

    void setMousePointer(int pointer) override
    {
        history.append(m_pointer = pointer);
        m_log.add("MousePointer", {CallLog::arg(pointer)});
    }
    int mousePointer() const override { return m_pointer; }

    QList<int> history;

private:
    CallLog& m_log;
    int m_pointer = vb::vbDefault;
};

class RecordingBeeper final : public Beeper
{
public:
    explicit RecordingBeeper(CallLog& log) : m_log(log) {}
    void Beep() override { ++beeps, m_log.add("Beep", {}); }
    int beeps = 0;

private:
    CallLog& m_log;
};

/// Records DoEvents and Sleep and runs a callback on each, so a test can deliver a reply while the
/// document waits. Nothing really sleeps. A document that waits forever would hang the test: after maxWaits
/// calls the pump throws, which the document's trap turns into a reported error the test can see.
class FakeEventPump final : public EventPump
{
public:
    explicit FakeEventPump(CallLog& log) : m_log(log) {}

    void DoEvents() override
    {
        count();
        ++doEventsCalls;
        m_log.add("DoEvents", {});
        if (onDoEvents)
            onDoEvents();
    }
    void Sleep(int milliseconds) override
    {
        count();
        sleeps.append(milliseconds);
        m_log.add("Sleep", {CallLog::arg(milliseconds)});
        if (onSleep)
            onSleep(milliseconds);
    }

    std::function<void()> onDoEvents;
    std::function<void(int milliseconds)> onSleep;
    int doEventsCalls = 0;
    QList<int> sleeps;
    int maxWaits = 10000;

private:
    void count()
    {
        if (doEventsCalls + sleeps.size() >= maxWaits)
            throw std::runtime_error("FakeEventPump: the document is still waiting after maxWaits calls");
    }
    CallLog& m_log;
};

} // namespace tavro::test
