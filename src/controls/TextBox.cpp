#include "controls/TextBox.h"

#include "controls/KeyCodes.h"
#include "controls/Twips.h"

#include <memory>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <utility>

namespace tavro {

namespace {

constexpr int kBackspace = 8;

bool isFocusLoss(Qt::FocusReason reason)
{
    // A context menu or another window taking the focus leaves the box the focus of its form.
    return reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason;
}

// The standard menu's paste entry: the one that shows the paste shortcut (its text is translated).
QAction* findPasteAction(const QMenu* menu)
{
    const QString shortcut =
        QLatin1Char('\t') + QKeySequence(QKeySequence::Paste).toString(QKeySequence::NativeText);
    const QList<QAction*> actions = menu->actions();
    for (QAction* action : actions) {
        if (action->text().endsWith(shortcut))
            return action;
    }
    return nullptr;
}

} // namespace

// Marks a paste for the length of a scope, so that the Change it causes reports isPasting().
class TextBox::PasteScope
{
public:
    explicit PasteScope(TextBox* box) : m_box(box) { m_box->beginPaste(); }
    ~PasteScope() { m_box->endPaste(); }
    PasteScope(const PasteScope&) = delete;
    PasteScope& operator=(const PasteScope&) = delete;

private:
    TextBox* m_box;
};

// The single-line editor: forwards keys, mouse and focus to the box before acting on them.
class TextBox::LineEdit : public QLineEdit
{
public:
    explicit LineEdit(TextBox* box) : QLineEdit(box), m_box(box) {}

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (!m_box->handleKeyPress(event))
            return;
        if (event->matches(QKeySequence::Paste)) {
            PasteScope scope(m_box);
            QLineEdit::keyPressEvent(event);
            return;
        }
        QLineEdit::keyPressEvent(event);
    }
    void keyReleaseEvent(QKeyEvent* event) override
    {
        m_box->handleKeyRelease(event);
        QLineEdit::keyReleaseEvent(event);
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        m_box->handleMouse(event, true);
        QLineEdit::mousePressEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::MiddleButton) {
            PasteScope scope(m_box);
            QLineEdit::mouseReleaseEvent(event);
        } else {
            QLineEdit::mouseReleaseEvent(event);
        }
        m_box->handleMouse(event, false);
    }
    void contextMenuEvent(QContextMenuEvent* event) override
    {
        // The standard menu's paste action is rewired so that its paste is marked as one.
        std::unique_ptr<QMenu> menu(createStandardContextMenu());
        if (QAction* pasteAction = findPasteAction(menu.get())) {
            disconnect(pasteAction, &QAction::triggered, nullptr, nullptr);
            connect(pasteAction, &QAction::triggered, this, [this]() {
                PasteScope scope(m_box);
                paste();
            });
        }
        menu->exec(event->globalPos());
        m_box->finishMouseAfterMenu(event->globalPos());
    }
    void dropEvent(QDropEvent* event) override
    {
        PasteScope scope(m_box);
        QLineEdit::dropEvent(event);
    }
    void focusOutEvent(QFocusEvent* event) override
    {
        QLineEdit::focusOutEvent(event);
        if (isFocusLoss(event->reason()))
            emit m_box->LostFocus();
    }

private:
    TextBox* m_box;
};

// The multi-line editor. Every paste route ends in insertFromMimeData, so that is where a
// paste is marked.
class TextBox::PlainEdit : public QPlainTextEdit
{
public:
    explicit PlainEdit(TextBox* box) : QPlainTextEdit(box), m_box(box) { setTabChangesFocus(true); }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (m_box->handleKeyPress(event))
            QPlainTextEdit::keyPressEvent(event);
    }
    void keyReleaseEvent(QKeyEvent* event) override
    {
        m_box->handleKeyRelease(event);
        QPlainTextEdit::keyReleaseEvent(event);
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        m_box->handleMouse(event, true);
        QPlainTextEdit::mousePressEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        QPlainTextEdit::mouseReleaseEvent(event);
        m_box->handleMouse(event, false);
    }
    void contextMenuEvent(QContextMenuEvent* event) override
    {
        QPlainTextEdit::contextMenuEvent(event);
        m_box->finishMouseAfterMenu(event->globalPos());
    }
    void insertFromMimeData(const QMimeData* source) override
    {
        PasteScope scope(m_box);
        QPlainTextEdit::insertFromMimeData(source);
    }
    void focusOutEvent(QFocusEvent* event) override
    {
        QPlainTextEdit::focusOutEvent(event);
        if (isFocusLoss(event->reason()))
            emit m_box->LostFocus();
    }

private:
    TextBox* m_box;
};

TextBox::TextBox(QWidget* parent, bool multiLine) : ClassicControl<QWidget>(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    createEditor(multiLine, QString());
}

TextBox::~TextBox()
{
    // Destroying a box whose editor has the focus takes the focus away from the editor: that is
    // no LostFocus, and no handler may see the box then. The editor goes first, while the box is
    // still whole, so that its focus-out handling never reaches a half-destroyed box.
    blockSignals(true);
    delete std::exchange(m_line, nullptr);
    delete std::exchange(m_plain, nullptr);
}

QWidget* TextBox::editor() const
{
    if (m_plain)
        return m_plain;
    return m_line;
}

void TextBox::createEditor(bool multiLine, const QString& text)
{
    const bool hadFocus = editor() && editor()->hasFocus();
    delete m_line;
    delete m_plain;
    m_line = nullptr;
    m_plain = nullptr;

    ++m_assigning;
    if (multiLine) {
        m_plain = new PlainEdit(this);
        m_plain->setObjectName(QStringLiteral("editor"));
        m_plain->setPlainText(QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")));
        connect(m_plain, &QPlainTextEdit::textChanged, this, &TextBox::editorTextChanged);
    } else {
        m_line = new LineEdit(this);
        m_line->setObjectName(QStringLiteral("editor"));
        m_line->setText(text);
        connect(m_line, &QLineEdit::textChanged, this, &TextBox::editorTextChanged);
    }
    --m_assigning;
    layout()->addWidget(editor());
    setFocusProxy(editor());
    if (hadFocus)
        editor()->setFocus();
}

void TextBox::setMultiLine(bool multiLine)
{
    if (multiLine == MultiLine())
        return;
    createEditor(multiLine, m_text);
}

void TextBox::setMaxLength(int maxLength)
{
    m_maxLength = qMax(0, maxLength);
}

QString TextBox::Text() const
{
    return m_text;
}

QString TextBox::editorText() const
{
    if (m_plain)
        return m_plain->toPlainText().replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return m_line->text();
}

void TextBox::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    ++m_assigning;
    if (m_plain)
        m_plain->setPlainText(QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    else
        m_line->setText(text);
    --m_assigning;
    m_dataChanged = true;
    emit Change();
}

void TextBox::editorTextChanged()
{
    if (m_assigning > 0)
        return;
    QString text = editorText();
    if (text == m_text)
        return;
    m_text = std::move(text);
    m_dataChanged = true;
    emit Change();
}

bool TextBox::handleKeyPress(QKeyEvent* event)
{
    int keyCode = classicKeyCode(event);
    const int shift = classicShiftState(event->modifiers());
    if (keyCode != 0) {
        emit KeyDown(keyCode, shift);
        if (keyCode == 0)
            return false;
    }

    // Only typing raises KeyPress: a character, or Backspace. Ctrl and Alt combinations are
    // commands (Ctrl+V, Alt+letter), not characters.
    const QString typed = event->text();
    const bool command = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier);
    int keyAscii = 0;
    if (command)
        keyAscii = 0;
    else if (event->key() == Qt::Key_Backspace)
        keyAscii = kBackspace;
    else if (typed.size() == 1 && typed.at(0).isPrint())
        keyAscii = typed.at(0).unicode();
    if (keyAscii == 0)
        return true;

    const int original = keyAscii;
    emit KeyPress(keyAscii);
    if (keyAscii == 0)
        return false;

    const bool inserts = keyAscii != kBackspace;
    if (inserts && m_maxLength > 0) {
        const qsizetype selected =
            m_plain ? m_plain->textCursor().selectedText().size() : m_line->selectedText().size();
        if (editorText().size() - selected >= m_maxLength)
            return false;
    }
    if (keyAscii == original)
        return true;

    // The handler asked for another key than the one pressed: type that one instead.
    if (!inserts) {
        if (m_plain)
            m_plain->textCursor().deletePreviousChar();
        else
            m_line->backspace();
    } else {
        const QString replacement(QChar(static_cast<char16_t>(keyAscii)));
        if (m_plain)
            m_plain->insertPlainText(replacement);
        else
            m_line->insert(replacement);
    }
    return false;
}

void TextBox::handleKeyRelease(QKeyEvent* event)
{
    if (event->isAutoRepeat())
        return;
    int keyCode = classicKeyCode(event);
    if (keyCode != 0)
        emit KeyUp(keyCode, classicShiftState(event->modifiers()));
}

void TextBox::handleMouse(QMouseEvent* event, bool down)
{
    const int button = classicMouseButton(event->button());
    const int shift = classicShiftState(event->modifiers());
    const QPointF pos = mapFromGlobal(event->globalPosition());
    const float x = pixelsToTwips(pos.x());
    const float y = pixelsToTwips(pos.y());
    if (down) {
        m_buttonsDown |= button;
        emit MouseDown(button, shift, x, y);
    } else {
        m_buttonsDown &= ~button;
        emit MouseUp(button, shift, x, y);
    }
}

void TextBox::finishMouseAfterMenu(const QPoint& globalPos)
{
    // A menu that opens as a button goes down takes that button's release for itself; the
    // box still owes the MouseUp that ends its MouseDown.
    const int released = m_buttonsDown & ~classicMouseButton(QGuiApplication::mouseButtons());
    if (released == 0)
        return;
    m_buttonsDown &= ~released;
    const QPointF pos = mapFromGlobal(QPointF(globalPos));
    const int shift = classicShiftState(QGuiApplication::keyboardModifiers());
    for (const int button : {LeftButtonBit, RightButtonBit, MiddleButtonBit})
        if (released & button)
            emit MouseUp(button, shift, pixelsToTwips(pos.x()), pixelsToTwips(pos.y()));
}

void TextBox::forwardKey(QKeyEvent* event)
{
    // Keys sent to the box itself go to its editor, as if typed there. A key the editor ignores
    // comes back here on its way to the parents and must go on to them.
    if (m_forwarding > 0) {
        event->ignore();
        return;
    }
    ++m_forwarding;
    QCoreApplication::sendEvent(editor(), event);
    --m_forwarding;
}

void TextBox::keyPressEvent(QKeyEvent* event)
{
    forwardKey(event);
}

void TextBox::keyReleaseEvent(QKeyEvent* event)
{
    forwardKey(event);
}

} // namespace tavro
