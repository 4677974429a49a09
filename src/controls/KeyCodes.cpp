#include "controls/KeyCodes.h"

#include <QKeyEvent>

namespace tavro {

namespace {

// Punctuation keys of a US keyboard, unshifted and shifted, and their key codes.
struct PunctuationKey
{
    int plain;
    int shifted;
    int code;
};
constexpr PunctuationKey kPunctuation[] = {
    {Qt::Key_Semicolon, Qt::Key_Colon, 186},      {Qt::Key_Equal, Qt::Key_Plus, 187},
    {Qt::Key_Comma, Qt::Key_Less, 188},           {Qt::Key_Minus, Qt::Key_Underscore, 189},
    {Qt::Key_Period, Qt::Key_Greater, 190},       {Qt::Key_Slash, Qt::Key_Question, 191},
    {Qt::Key_QuoteLeft, Qt::Key_AsciiTilde, 192}, {Qt::Key_BracketLeft, Qt::Key_BraceLeft, 219},
    {Qt::Key_Backslash, Qt::Key_Bar, 220},        {Qt::Key_BracketRight, Qt::Key_BraceRight, 221},
    {Qt::Key_Apostrophe, Qt::Key_QuoteDbl, 222},
};

// Shifted digits of a US keyboard: ")!@#$%^&*(" are Shift+0 ... Shift+9.
constexpr int kShiftedDigits[] = {
    Qt::Key_ParenRight, Qt::Key_Exclam,      Qt::Key_At,        Qt::Key_NumberSign, Qt::Key_Dollar,
    Qt::Key_Percent,    Qt::Key_AsciiCircum, Qt::Key_Ampersand, Qt::Key_Asterisk,   Qt::Key_ParenLeft};

} // namespace

int classicKeyCode(int qtKey, bool keypad)
{
    if (keypad) {
        if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
            return 96 + (qtKey - Qt::Key_0);
        switch (qtKey) {
        case Qt::Key_Asterisk:
            return 106;
        case Qt::Key_Plus:
            return 107;
        case Qt::Key_Minus:
            return 109;
        case Qt::Key_Period:
        case Qt::Key_Comma:
            return 110;
        case Qt::Key_Slash:
            return 111;
        default:
            break; // Enter, arrows, Insert ... on the keypad have their usual codes
        }
    }
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return 65 + (qtKey - Qt::Key_A);
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return 48 + (qtKey - Qt::Key_0);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return 112 + (qtKey - Qt::Key_F1);
    for (int digit = 0; digit < 10; ++digit) {
        if (kShiftedDigits[digit] == qtKey)
            return 48 + digit;
    }
    for (const PunctuationKey& key : kPunctuation) {
        if (key.plain == qtKey || key.shifted == qtKey)
            return key.code;
    }
    switch (qtKey) {
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 9;
    case Qt::Key_Clear:
        return 12;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Shift:
        return 16;
    case Qt::Key_Control:
        return 17;
    case Qt::Key_Alt:
        return 18;
    case Qt::Key_Pause:
        return 19;
    case Qt::Key_CapsLock:
        return 20;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Space:
        return 32;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_End:
        return 35;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Up:
        return 38;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_Down:
        return 40;
    case Qt::Key_Print:
        return 42;
    case Qt::Key_Insert:
        return 45;
    case Qt::Key_Delete:
        return 46;
    case Qt::Key_Help:
        return 47;
    case Qt::Key_Meta:
        return 91;
    case Qt::Key_Menu:
        return 93;
    case Qt::Key_NumLock:
        return 144;
    case Qt::Key_ScrollLock:
        return 145;
    default:
        return 0;
    }
}

int classicKeyCode(const QKeyEvent* event)
{
    return classicKeyCode(event->key(), event->modifiers().testFlag(Qt::KeypadModifier));
}

int classicShiftState(Qt::KeyboardModifiers modifiers)
{
    int shift = 0;
    if (modifiers.testFlag(Qt::ShiftModifier))
        shift |= ShiftMask;
    if (modifiers.testFlag(Qt::ControlModifier))
        shift |= CtrlMask;
    if (modifiers.testFlag(Qt::AltModifier))
        shift |= AltMask;
    return shift;
}

int classicMouseButton(Qt::MouseButtons buttons)
{
    int bits = 0;
    if (buttons.testFlag(Qt::LeftButton))
        bits |= LeftButtonBit;
    if (buttons.testFlag(Qt::RightButton))
        bits |= RightButtonBit;
    if (buttons.testFlag(Qt::MiddleButton))
        bits |= MiddleButtonBit;
    return bits;
}

} // namespace tavro
