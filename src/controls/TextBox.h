#pragma once

#include "controls/ControlState.h"

#include <QWidget>

class QLineEdit;
class QPlainTextEdit;

namespace tavro {

/// \brief A text box: one line (QLineEdit) or several (QPlainTextEdit), with the classic
/// Text, changed flag and key and mouse events.
///
/// - setText() with a different text raises Change() once and sets DataChanged; the same
///   text raises nothing. Every change typed by the officer raises Change() and sets
///   DataChanged too; only the program resets it (setDataChanged(false)).
/// - Multi-line text keeps CR LF line breaks: setText("a\r\nb") shows two lines and Text()
///   returns "a\r\nb"; lines the officer types come back with CR LF breaks.
/// - KeyDown(KeyCode, Shift) comes first for every key pressed in the box. Setting KeyCode
///   to 0 discards the key (the box does not see it and no KeyPress follows).
/// - KeyPress(KeyAscii) follows for printable characters and Backspace (8). Setting KeyAscii
///   to 0 discards the character; setting it to another character types that one instead.
/// - KeyUp(KeyCode, Shift) when the key is released.
/// - MouseDown/MouseUp(Button, Shift, X, Y) with X and Y in twips from the box's top left.
/// - LostFocus() when the focus moves elsewhere in the application (not when a context menu
///   opens or the window is deactivated).
/// - isPasting() is true while the change caused by a paste (Ctrl+V, Shift+Insert, the
///   context menu, a middle-button paste or a drop) is being handled. Shift+Insert raises
///   KeyDown(45, 1) before the paste happens.
///
/// Key codes are classic virtual-key codes (KeyCodes.h); Shift is 1 Shift, 2 Ctrl, 4 Alt.
class TextBox : public ClassicControl<QWidget>
{
    Q_OBJECT
public:
    explicit TextBox(QWidget* parent = nullptr, bool multiLine = false);
    ~TextBox() override;

    QString Text() const;
    void setText(const QString& text);

    bool DataChanged() const { return m_dataChanged; }
    void setDataChanged(bool changed) { m_dataChanged = changed; }

    bool MultiLine() const { return m_plain != nullptr; }
    /// Switches the editor and keeps the text; raises no Change.
    void setMultiLine(bool multiLine);

    /// Most characters the officer can type; 0 means no limit. Program assignments are not cut.
    int MaxLength() const { return m_maxLength; }
    void setMaxLength(int maxLength);

    bool isPasting() const { return m_pasting > 0; }

    /// The editor inside (QLineEdit or QPlainTextEdit), for focus handling and tests.
    QWidget* editor() const;

signals:
    void Change();
    void KeyDown(int& KeyCode, int Shift);
    void KeyPress(int& KeyAscii);
    void KeyUp(int& KeyCode, int Shift);
    void MouseDown(int Button, int Shift, float X, float Y);
    void MouseUp(int Button, int Shift, float X, float Y);
    void LostFocus();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    class PlainEdit;
    class LineEdit;
    friend class PlainEdit;
    friend class LineEdit;
    class PasteScope;

    void createEditor(bool multiLine, const QString& text);
    QString editorText() const;
    void editorTextChanged();
    void beginPaste() { ++m_pasting; }
    void endPaste() { --m_pasting; }
    /// Raises KeyDown and KeyPress; false when the editor must not see the key.
    bool handleKeyPress(QKeyEvent* event);
    void handleKeyRelease(QKeyEvent* event);
    void handleMouse(QMouseEvent* event, bool down);
    /// Raises the MouseUp owed for buttons that went up while a context menu had the mouse.
    void finishMouseAfterMenu(const QPoint& globalPos);
    void forwardKey(QKeyEvent* event);

    QLineEdit* m_line = nullptr;
    QPlainTextEdit* m_plain = nullptr;
    QString m_text;      // the Text as the program or the officer last set it
    int m_assigning = 0; // > 0 while setText() updates the editor
    int m_pasting = 0;   // > 0 while a paste is inserted
    int m_maxLength = 0;
    int m_buttonsDown = 0; // classic button bits of MouseDowns not yet followed by a MouseUp
    int m_forwarding = 0;  // > 0 while a key sent to the box is with its editor
    bool m_dataChanged = false;
};

} // namespace tavro
