#include "controls/CheckBox.h"
#include "controls/CodeListProvider.h"
#include "controls/CodesCombo.h"
#include "controls/DTPicker.h"
#include "controls/KeyCodes.h"
#include "controls/Label.h"
#include "controls/SSCommand.h"
#include "controls/SSFrame.h"
#include "controls/SSOption.h"
#include "controls/SSResizer.h"
#include "controls/TextBox.h"
#include "controls/Twips.h"
#include "runtime/ClassicError.h"
#include "runtime/Seam.h"

#include <functional>
#include <QSignalSpy>
#include <QTest>

using namespace tavro;

namespace {
// The parent's and the control's own states; the form is shown first unless notShown.
struct Flags
{
    bool notShown, parentHidden, parentDisabled, childHidden, childDisabled;
};

class FakeCodes : public CodeListProvider
{
public:
    QList<std::pair<QString, QString>> codes(const QString& codetype) override
    {
        if (codetype != u"CNFRMDOC")
            return {};
        return {{"A", "Assessment"}, {"D", "Daily Receipt"}, {"N", "Notice"}};
    }
};

int errorOf(const std::function<void()>& body)
{
    const auto raised = captureError(body);
    return raised ? raised->number() : 0;
}

QPoint nearLeftEdge(const QWidget* w)
{
    return QPoint(6, w->height() / 2);
}

// Shows \a window with \a controls stacked 40 pixels apart, 250 wide.
bool showStacked(QWidget& window, const QList<QWidget*>& controls)
{
    for (int i = 0; i < controls.size(); ++i)
        controls[i]->setGeometry(0, 40 * i, 250, 30);
    window.resize(300, 40 * controls.size() + 20);
    window.show();
    return QTest::qWaitForWindowExposed(&window);
}
} // namespace

Q_DECLARE_METATYPE(Flags)

class TestBasicControls : public QObject
{
    Q_OBJECT

private slots:
    void shouldKeepOwnFlagsWhateverTheParent_data()
    {
        QTest::addColumn<Flags>("flags");
        QTest::newRow("on a form not shown yet") << Flags{true, false, false, false, false};
        QTest::newRow("in a hidden, disabled frame") << Flags{false, true, true, false, false};
        QTest::newRow("hidden, disabled, in a hidden frame") << Flags{false, true, false, true, true};
    }

    void shouldKeepOwnFlagsWhateverTheParent()
    {
        QFETCH(Flags, flags);
        const auto [notShown, parentHidden, parentDisabled, childHidden, childDisabled] = flags;
        QWidget window;
        auto* frame = new SSFrame(&window);
        auto* control = new TextBox(frame);
        if (!notShown)
            window.show();
        frame->setVisible(!parentHidden);
        frame->setEnabled(!parentDisabled);
        control->setVisible(!childHidden);
        control->setEnabled(!childDisabled);

        QCOMPARE(control->Visible(), !childHidden);
        QCOMPARE(control->Enabled(), !childDisabled);
        QCOMPARE(ownVisible(control), !childHidden);
        QCOMPARE(ownEnabled(control), !childDisabled);
        // Re-enabling the frame gives the child back exactly its own state.
        frame->setEnabled(true);
        QCOMPARE(control->isEnabled(), !childDisabled);
    }

    void optionAssignmentShouldClearSiblingsWithoutClick()
    {
        SSFrame frame;
        QList<SSOption*> options;
        int clicks = 0;
        for (int i = 0; i < 3; ++i) {
            options.append(new SSOption(QStringLiteral("Option %1").arg(i), &frame));
            options.last()->setIndex(i);
            connect(options.last(), &SSOption::Click, this, [&] { ++clicks; });
        }
        const auto values = [&] {
            return QList<bool>{options[0]->Value(), options[1]->Value(), options[2]->Value()};
        };
        options[0]->setValue(true);
        options[2]->setValue(false); // false on another leaves the group as it is
        QCOMPARE(values(), (QList<bool>{true, false, false}));
        options[2]->setValue(true);
        QCOMPARE(values(), (QList<bool>{false, false, true}));
        options[2]->setValue(false);
        QCOMPARE(values(), (QList<bool>{false, false, false}));
        options[1]->setValue(true);
        QCOMPARE(values(), (QList<bool>{false, true, false}));
        QCOMPARE(clicks, 0);
    }

    // Clicks, keys and picks raise their events with the new value in place (and the control's
    // array index); the program's assignments before them raised none.
    void officerActionsShouldRaiseEventsThatAssignmentsDoNot()
    {
        QWidget window;
        auto* confirmed = new SSOption("Confirmed Receipts", &window);
        auto* unconfirmed = new SSOption("Unconfirmed Receipts", &window);
        auto* box = new CheckBox("(to Unconfirm)", &window);
        auto* combo = new CodesCombo(&window);
        auto* picker = new DTPicker(&window);
        combo->setIndex(3);
        combo->setCodetype("CNFRMDOC"); // the default provider has no codes yet
        QCOMPARE(combo->count(), 0);
        FakeCodes codes;
        ScopedSeam<CodeListProvider> seam(codes);
        picker->setCustomFormat("MM/dd/yyyy");
        picker->setMinDate(QDate(1899, 12, 30));
        picker->setValue(QDate(1899, 12, 30));
        QCOMPARE(picker->text(), QStringLiteral("12/30/1899"));
        QVERIFY(showStacked(window, {confirmed, unconfirmed, box, combo, picker}));
        QVERIFY(QTest::qWaitForWindowActive(&window));

        QStringList seen;
        connect(confirmed, &SSOption::Click, this, [&] { seen << u"option %1"_qs.arg(confirmed->Value()); });
        connect(box, &CheckBox::Click, this, [&] { seen << u"box %1"_qs.arg(box->Value()); });
        connect(combo, &CodesCombo::Change, this,
                [&](int index) { seen << u"combo %1 %2"_qs.arg(index).arg(combo->SelectedCode()); });
        connect(picker, &DTPicker::Change, this, [&] { seen << picker->Value().toString(Qt::ISODate); });
        unconfirmed->setValue(true);
        box->setValue(1);
        box->setValue(0);
        combo->setSelectedCode(" A");
        picker->setFocus();
        QTRY_VERIFY(picker->hasFocus());
        picker->setValue(QDate(1900, 6, 15));
        QVERIFY(seen.isEmpty());

        QTest::keyClick(picker, Qt::Key_Up); // the month section has the cursor
        QTest::mouseClick(confirmed, Qt::LeftButton, {}, nearLeftEdge(confirmed));
        QTest::mouseClick(box, Qt::LeftButton, {}, nearLeftEdge(box));
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Space);
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Down);
        QCOMPARE(seen, (QStringList{"1900-07-15", "option 1", "box 1", "box 0", "combo 3 D"}));
        QCOMPARE(unconfirmed->Value(), false);
        QCOMPARE(combo->SelectedDescription(), QStringLiteral("Daily Receipt"));
    }

    void labelShouldRaiseChangeOncePerDifferentCaptionWithoutLooping()
    {
        Label label;
        QSignalSpy change(&label, &Label::Change);
        for (const char* caption : {"", "0012345-7", "0012345-7", "", "", "0000000-0"})
            label.setCaption(caption);
        QCOMPARE(change.count(), 3);
        label.setText("through QLabel's name");
        QCOMPARE(change.count(), 4);

        int calls = 0;
        connect(&label, &Label::Change, this, [&] {
            if (++calls <= 10 && !label.Caption().startsWith('$')) // a loop stops here, not in the stack
                label.setCaption('$' + label.Caption());
        });
        label.setCaption("12.50");
        QCOMPARE(label.Caption(), QStringLiteral("$12.50"));
        QCOMPARE(calls, 2);
    }

    void datePickerShouldKeepValueInsideRange()
    {
        DTPicker picker;
        picker.setMinDate(QDate(1900, 1, 1));
        picker.setMaxDate(QDate(2005, 1, 26));
        picker.setValue(QDate(2005, 1, 20));
        QSignalSpy change(&picker, &DTPicker::Change);
        picker.setMinDate(QDate(2005, 1, 24)); // raising it above the value moves the value up
        QCOMPARE(picker.Value(), QDate(2005, 1, 24));
        const int refused = err::InvalidPropertyValue;
        QCOMPARE(errorOf([&] { picker.setValue(QDate(2005, 1, 27)); }), refused); // after MaxDate
        QCOMPARE(errorOf([&] { picker.setValue(QDate()); }), refused);
        QCOMPARE(errorOf([&] { picker.setMinDate(QDate(2005, 2, 1)); }), refused);
        QCOMPARE(picker.MinDate(), QDate(2005, 1, 24));
        QCOMPARE(picker.Value(), QDate(2005, 1, 24));
        QCOMPARE(change.count(), 0);
    }

    void resizerShouldHonourTheSwitches()
    {
        QWidget form;
        form.resize(400, 300);
        auto* frame = new SSFrame(&form);
        frame->setGeometry(0, 0, 200, 150);
        auto* command = new SSCommand("Search", frame);
        command->setGeometry(40, 30, 100, 20);
        QFont font = command->font();
        font.setPointSizeF(10);
        command->setFont(font);

        SSResizer resizer(&form);
        resizer.captureDesignLayout();
        QList<QWidget*> asked;
        connect(&resizer, &SSResizer::BeforeResize, this, [&](QWidget* control, ResizeRequest& request) {
            asked.append(control);
            if (control == command) {
                QCOMPARE(request.NewWidth, 200.0f);
                request.ScaleFont = false;
            }
        });
        form.resize(800, 600);
        resizer.resizeControls();

        QCOMPARE(asked, (QList<QWidget*>{frame, command}));
        QCOMPARE(frame->geometry(), QRect(0, 0, 400, 300));
        QCOMPARE(command->pos(), QPoint(80, 60));
        QCOMPARE(command->size(), QSize(200, 40));
        QCOMPARE(command->font().pointSizeF(), 10.0); // the handler kept the font
        disconnect(&resizer, nullptr, this, nullptr);
        form.resize(200, 600); // narrower than designed, but taller: never below the design
        resizer.resizeControls();
        QCOMPARE(command->geometry(), QRect(40, 60, 100, 40));
    }

    void keysAndTwipsShouldBeClassic()
    {
        QCOMPARE(classicKeyCode(Qt::Key_Minus, true), 109); // the keypad's
        QCOMPARE(classicKeyCode(Qt::Key_Minus, false), 189);
        QCOMPARE(classicKeyCode(Qt::Key_Underscore, false), 189); // shifted, still the minus key
        const double dpi = logicalDpi();
        QVERIFY(dpi > 0);
        QCOMPARE(twipsRect(0, 1440, 2880, 0), QRect(0, qRound(dpi), qRound(2 * dpi), 0));
        QCOMPARE(qRound(pixelsToTwips(dpi)), 1440);
        QCOMPARE(classicShiftState(Qt::ShiftModifier | Qt::ControlModifier), 3);
        QCOMPARE(classicShiftState(Qt::AltModifier | Qt::KeypadModifier), 4);
    }
};

QTEST_MAIN(TestBasicControls)
#include "tst_basic.moc"
