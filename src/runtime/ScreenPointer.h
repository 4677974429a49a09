#pragma once

namespace tavro {

namespace vb {
inline constexpr int vbDefault = 0;
inline constexpr int vbArrow = 1;
inline constexpr int vbCrosshair = 2;
inline constexpr int vbIbeam = 3;
inline constexpr int vbSizeAll = 5;
inline constexpr int vbSizeNESW = 6;
inline constexpr int vbSizeNS = 7;
inline constexpr int vbSizeNWSE = 8;
inline constexpr int vbSizeWE = 9;
inline constexpr int vbUpArrow = 10;
inline constexpr int vbHourglass = 11;
inline constexpr int vbNoDrop = 12;
inline constexpr int vbArrowHourglass = 13;
inline constexpr int vbArrowQuestion = 14;
} // namespace vb

/// \brief The screen's mouse pointer, a process-wide service that tests can replace.
///
/// The default implementation puts one application-wide override cursor in place for any
/// pointer but vbDefault and removes it again for vbDefault. Setting the pointer it already
/// has changes nothing, so any sequence of calls leaves at most one override of its own
/// on Qt's override stack. An unknown pointer number raises 380 ("Invalid property value").
/// \code
/// ScreenPointer::instance().setMousePointer(vb::vbHourglass);
/// \endcode
class ScreenPointer
{
public:
    virtual ~ScreenPointer() = default;
    virtual void setMousePointer(int pointer) = 0;
    virtual int mousePointer() const = 0;

    static ScreenPointer& instance();
    /// Replaces the service; nullptr restores the default.
    static void setInstance(ScreenPointer* replacement);
};

} // namespace tavro
