#include "runtime/MessageBox.h"

#include "runtime/App.h"
#include "runtime/Seam.h"

#include <algorithm>
#include <memory>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QList>
#include <QMessageBox>
#include <QPushButton>
#include <utility>

namespace tavro {

namespace {

struct ClassicButton
{
    QMessageBox::StandardButton button;
    int answer;
};

QList<ClassicButton> buttonsOf(int style)
{
    switch (style & 0x7) {
    case vb::vbOKCancel:
        return {{QMessageBox::Ok, vb::vbOK}, {QMessageBox::Cancel, vb::vbCancel}};
    case vb::vbAbortRetryIgnore:
        return {{QMessageBox::Abort, vb::vbAbort},
                {QMessageBox::Retry, vb::vbRetry},
                {QMessageBox::Ignore, vb::vbIgnore}};
    case vb::vbYesNoCancel:
        return {
            {QMessageBox::Yes, vb::vbYes}, {QMessageBox::No, vb::vbNo}, {QMessageBox::Cancel, vb::vbCancel}};
    case vb::vbYesNo:
        return {{QMessageBox::Yes, vb::vbYes}, {QMessageBox::No, vb::vbNo}};
    case vb::vbRetryCancel:
        return {{QMessageBox::Retry, vb::vbRetry}, {QMessageBox::Cancel, vb::vbCancel}};
    default:
        return {{QMessageBox::Ok, vb::vbOK}};
    }
}

QMessageBox::Icon iconOf(int style)
{
    switch (style & 0x70) {
    case vb::vbCritical:
        return QMessageBox::Critical;
    case vb::vbQuestion:
        return QMessageBox::Question;
    case vb::vbExclamation:
        return QMessageBox::Warning;
    case vb::vbInformation:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

// A box without an escape button ignores Escape and the window's close button, as a
// classic Yes/No box does; QMessageBox would otherwise pick a button by itself.
class ClassicMessageBox final : public QMessageBox
{
public:
    using QMessageBox::QMessageBox;
    bool escapable = true;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (!escapable && event->matches(QKeySequence::Cancel))
            return;
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override
    {
        if (!escapable && !clickedButton()) {
            event->ignore();
            return;
        }
        QMessageBox::closeEvent(event);
    }
};

class ModalMessageBox final : public MessageBox
{
public:
    int MsgBox(const QString& prompt, int style, const QString& title) override
    {
        ClassicMessageBox box(QApplication::activeWindow());
        box.setWindowTitle(title.isEmpty() ? App::Title() : title);
        box.setText(prompt);
        box.setIcon(iconOf(style));
        const QList<ClassicButton> classic = buttonsOf(style);
        QList<QPushButton*> buttons;
        int escapeAnswer = 0;
        for (const ClassicButton& b : classic) {
            buttons.append(box.addButton(b.button));
            if (b.answer == vb::vbCancel || (classic.size() == 1 && b.answer == vb::vbOK)) {
                box.setEscapeButton(buttons.back());
                escapeAnswer = b.answer;
            }
        }
        box.escapable = escapeAnswer != 0;
        const int defaultIndex = std::min<int>((style >> 8) & 0x3, static_cast<int>(buttons.size()) - 1);
        box.setDefaultButton(buttons.at(defaultIndex));
        box.exec();
        const qsizetype clicked = buttons.indexOf(qobject_cast<QPushButton*>(box.clickedButton()));
        return clicked >= 0 ? classic.at(clicked).answer : escapeAnswer;
    }
};

SeamSlot<MessageBox>& slot()
{
    static SeamSlot<MessageBox> s(
        []() -> std::unique_ptr<MessageBox> { return std::make_unique<ModalMessageBox>(); });
    return s;
}

} // namespace

MessageBox& MessageBox::instance()
{
    return slot().get();
}
void MessageBox::setInstance(MessageBox* replacement)
{
    slot().set(replacement);
}

} // namespace tavro
