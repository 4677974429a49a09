#pragma once

#include <Qt>

class QKeyEvent;

namespace tavro {

/// Shift-state bits of the key and mouse events.
enum ShiftBits
{
    ShiftMask = 1,
    CtrlMask = 2,
    AltMask = 4
};

/// Mouse button bits of MouseDown/MouseUp.
enum MouseButtonBits
{
    LeftButtonBit = 1,
    RightButtonBit = 2,
    MiddleButtonBit = 4
};

/// \brief The classic virtual-key code of a Qt key: letters 65-90, digits 48-57, Backspace 8,
/// Tab 9, Enter 13, Shift 16, Ctrl 17, Alt 18, Esc 27, Space 32, PageUp 33 ... Down 40,
/// Insert 45, Delete 46, keypad digits 96-105 (with \a keypad), F1-F24 112-135, punctuation as
/// on a US keyboard (shifted symbols give their key's code: '!' is 49). 0 when there is none.
int classicKeyCode(int qtKey, bool keypad = false);
int classicKeyCode(const QKeyEvent* event);

/// Shift-state bits (1 Shift, 2 Ctrl, 4 Alt) of Qt's modifiers.
int classicShiftState(Qt::KeyboardModifiers modifiers);

/// Mouse button bits (1 left, 2 right, 4 middle) of Qt's buttons.
int classicMouseButton(Qt::MouseButtons buttons);

} // namespace tavro
