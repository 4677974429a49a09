#pragma once

namespace tavro {

/// \brief The classic Beep, a process-wide service that tests can replace.
/// The default implementation sounds QApplication::beep().
class Beeper
{
public:
    virtual ~Beeper() = default;
    virtual void Beep() = 0;

    static Beeper& instance();
    /// Replaces the service; nullptr restores the default.
    static void setInstance(Beeper* replacement);
};

} // namespace tavro
