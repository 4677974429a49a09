#pragma once

namespace tavro {

/// \brief Classic event processing and waiting, a process-wide service that tests can replace.
///
/// The default DoEvents handles every pending event (QCoreApplication::processEvents);
/// the default Sleep blocks the calling (user-interface) thread without handling events.
/// \code
/// while (!replied) { pump.DoEvents(); pump.Sleep(500); pump.DoEvents(); }
/// \endcode
class EventPump
{
public:
    virtual ~EventPump() = default;
    virtual void DoEvents() = 0;
    /// Sleeps \a milliseconds; a negative time sleeps not at all.
    virtual void Sleep(int milliseconds) = 0;

    static EventPump& instance();
    /// Replaces the service; nullptr restores the default.
    static void setInstance(EventPump* replacement);
};

} // namespace tavro
