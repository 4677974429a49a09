#pragma once

#include "CallLog.h"
#include "runtime/Beeper.h"
#include "runtime/EventPump.h"
#include "runtime/MessageBox.h"
#include "runtime/ScreenPointer.h"

#include <functional>
#include <QList>
#include <QQueue>

namespace tavro::test {

/// Answers message boxes from a queue and records each one. With the queue empty a box is answered with its
/// first button (OK, Yes, Abort, Retry).
class ScriptedMessageBox final : public MessageBox
{
public:
    explicit ScriptedMessageBox(CallLog& log) : m_log(log) {}

    int MsgBox(const QString& prompt, int style = vb::vbOKOnly, const QString& title = {}) override;

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

    void setMousePointer(int pointer) override;
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
    void Beep() override;
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

    void DoEvents() override;
    void Sleep(int milliseconds) override;

    std::function<void()> onDoEvents;
    std::function<void(int milliseconds)> onSleep;
    int doEventsCalls = 0;
    QList<int> sleeps;
    int maxWaits = 10000;

private:
    void count();
    CallLog& m_log;
};

} // namespace tavro::test
