#pragma once

#include <QString>

namespace tavro {

namespace vb {
// Buttons.
inline constexpr int vbOKOnly = 0;
inline constexpr int vbOKCancel = 1;
inline constexpr int vbAbortRetryIgnore = 2;
inline constexpr int vbYesNoCancel = 3;
inline constexpr int vbYesNo = 4;
inline constexpr int vbRetryCancel = 5;
// Icons.
inline constexpr int vbCritical = 16;
inline constexpr int vbQuestion = 32;
inline constexpr int vbExclamation = 48;
inline constexpr int vbInformation = 64;
// Default button.
inline constexpr int vbDefaultButton1 = 0;
inline constexpr int vbDefaultButton2 = 256;
inline constexpr int vbDefaultButton3 = 512;
// Answers.
inline constexpr int vbOK = 1;
inline constexpr int vbCancel = 2;
inline constexpr int vbAbort = 3;
inline constexpr int vbRetry = 4;
inline constexpr int vbIgnore = 5;
inline constexpr int vbYes = 6;
inline constexpr int vbNo = 7;
} // namespace vb

/// \brief The modal message box, a process-wide service that tests can replace.
///
/// The style is the classic sum of buttons, icon and default button; the answer is the
/// classic number of the button pressed.
/// \code
/// if (MessageBox::instance().MsgBox(text, vb::vbYesNoCancel + vb::vbQuestion, title) == vb::vbYes) ...
/// \endcode
/// The default implementation shows a modal QMessageBox over the active window and runs a
/// nested event loop until it is answered. Escape answers Cancel where there is a Cancel
/// button and OK in a box with OK alone; a Yes/No or Abort/Retry/Ignore box must be answered
/// with one of its buttons. An empty title shows App::Title().
class MessageBox
{
public:
    virtual ~MessageBox() = default;
    virtual int MsgBox(const QString& prompt, int style = vb::vbOKOnly, const QString& title = {}) = 0;

    static MessageBox& instance();
    /// Replaces the service; nullptr restores the default.
    static void setInstance(MessageBox* replacement);
};

} // namespace tavro
