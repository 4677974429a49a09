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
struct Probe
{
    QWidget* widget;
    std::function<bool()> visible, enabled;
};
using MakeProbe = std::function<Probe(QWidget*)>;

// The parent's and the control's own states; the form is shown first unless notShown.
struct Flags
{
    bool notShown, parentHidden, parentDisabled, childHidden, childDisabled;
};

template <class Control> void addFlagRows(const char* kind)
{
    const MakeProbe make = [](QWidget* parent) {
        auto* control = new Control(parent);
        return Probe{control, [control] { return control->Visible(); },
                     [control] { return control->Enabled(); }};
    };
    const QByteArray k(kind);
    QTest::newRow(k + " on a form not shown yet") << make << Flags{true, false, false, false, false};
    QTest::newRow(k + " in a hidden, disabled frame") << make << Flags{false, true, true, false, false};
    QTest::newRow(k + " hidden, disabled, in a hidden frame")
        << make << Flags{false, true, false, true, true};
}

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
        QTest::addColumn<MakeProbe>("make");
        QTest::addColumn<Flags>("flags");
        addFlagRows<SSFrame>("SSFrame");
        addFlagRows<SSOption>("SSOption");
        addFlagRows<SSCommand>("SSCommand");
        addFlagRows<CheckBox>("CheckBox");
        addFlagRows<Label>("Label");
        addFlagRows<TextBox>("TextBox");
        addFlagRows<CodesCombo>("CodesCombo");
        addFlagRows<DTPicker>("DTPicker");
    }

    void shouldKeepOwnFlagsWhateverTheParent()
    {
        QFETCH(MakeProbe, make);
        QFETCH(Flags, flags);
        const auto [notShown, parentHidden, parentDisabled, childHidden, childDisabled] = flags;
        QWidget window;
        auto* frame = new SSFrame(&window);
        const Probe control = make(frame);
        if (!notShown)
            window.show();
        frame->setVisible(!parentHidden);
        frame->setEnabled(!parentDisabled);
        control.widget->setVisible(!childHidden);
        control.widget->setEnabled(!childDisabled);

        QCOMPARE(control.visible(), !childHidden);
        QCOMPARE(control.enabled(), !childDisabled);
        QCOMPARE(ownVisible(control.widget), !childHidden);
        QCOMPARE(ownEnabled(control.widget), !childDisabled);
        // Re-enabling the frame gives the child back exactly its own state.
        frame->setEnabled(true);
        QCOMPARE(control.widget->isEnabled(), !childDisabled);
    }

    void optionAssignmentShouldClearSiblingsWithoutClick_data()
    {
        QTest::addColumn<int>("initiallyOn");
        QTest::addColumn<int>("assigned");
        QTest::addColumn<bool>("value");
        QTest::addColumn<QList<bool>>("expected");
        QTest::newRow("true clears the selected sibling")
            << 0 << 2 << true << QList<bool>{false, false, true};
        QTest::newRow("false unchecks the selected one")
            << 1 << 1 << false << QList<bool>{false, false, false};
        QTest::newRow("false on another leaves the group")
            << 0 << 2 << false << QList<bool>{true, false, false};
    }

    void optionAssignmentShouldClearSiblingsWithoutClick()
    {
        QFETCH(int, initiallyOn);
        QFETCH(int, assigned);
        QFETCH(bool, value);
        QFETCH(QList<bool>, expected);

        SSFrame frame;
        QList<SSOption*> options;
        int clicks = 0;
        for (int i = 0; i < 3; ++i) {
            options.append(new SSOption(QStringLiteral("Option %1").arg(i), &frame));
            options.last()->setIndex(i);
        }
        options[initiallyOn]->setValue(true);
        for (SSOption* option : options)
            connect(option, &SSOption::Click, this, [&] { ++clicks; });

        options[assigned]->setValue(value);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(options[i]->Value(), expected[i]);
        QCOMPARE(clicks, 0);
        // The group still works as a group afterwards.
        options[1]->setValue(true);
        QCOMPARE(options[0]->Value() || options[2]->Value(), false);
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

    void checkBoxShouldRefuseValuesOutsideItsStates_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("grayed") << 2 << true;
        QTest::newRow("True as -1") << -1 << false;
        QTest::newRow("three") << 3 << false;
    }

    void checkBoxShouldRefuseValuesOutsideItsStates()
    {
        QFETCH(int, value);
        QFETCH(bool, accepted);
        CheckBox box;
        box.setValue(1);
        const auto error = captureError([&] { box.setValue(value); });
        QCOMPARE(error ? error->number() : 0, accepted ? 0 : int(err::InvalidPropertyValue));
        QCOMPARE(box.Value(), accepted ? value : 1);
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

    void comboAssignmentShouldSelectByCodeWithoutEvent_data()
    {
        QTest::addColumn<QString>("assigned");
        QTest::addColumn<QString>("description");
        QTest::newRow("known code") << "D" << u"Daily Receipt"_qs;
        QTest::newRow("blanks around are kept") << " N  " << u"Notice"_qs;
        QTest::newRow("empty selects nothing") << "" << u""_qs;
        QTest::newRow("case matters") << "d" << u""_qs;
    }

    void comboAssignmentShouldSelectByCodeWithoutEvent()
    {
        QFETCH(QString, assigned);
        QFETCH(QString, description);
        FakeCodes codes;
        ScopedSeam<CodeListProvider> seam(codes);
        CodesCombo combo;
        combo.setCodetype("CNFRMDOC");
        combo.setSelectedCode("A");
        QSignalSpy change(&combo, &CodesCombo::Change);

        combo.setSelectedCode(assigned);
        QCOMPARE(combo.SelectedCode(), assigned);
        QCOMPARE(combo.SelectedDescription(), description);
        QCOMPARE(combo.currentIndex() >= 0, !description.isEmpty());
        QCOMPARE(change.count(), 0);
    }

    void datePickerShouldKeepValueInsideRange_data()
    {
        QTest::addColumn<QString>("property");
        QTest::addColumn<QDate>("assigned");
        QTest::addColumn<QDate>("value"); // invalid: the assignment is refused and nothing changes

        // Every row starts from the range 1900-01-01 .. 2005-01-26 and the value 2005-01-20.
        const QDate kept(2005, 1, 20);
        QTest::newRow("raising MinDate above the value moves it up")
            << "MinDate" << QDate(2005, 1, 24) << QDate(2005, 1, 24);
        QTest::newRow("MinDate at date value 0") << "MinDate" << QDate(1899, 12, 30) << kept;
        QTest::newRow("MinDate after MaxDate") << "MinDate" << QDate(2005, 2, 1) << QDate();
        QTest::newRow("lowering MaxDate below the value moves it down")
            << "MaxDate" << QDate(2005, 1, 10) << QDate(2005, 1, 10);
        QTest::newRow("value on MaxDate") << "Value" << QDate(2005, 1, 26) << QDate(2005, 1, 26);
        QTest::newRow("value after MaxDate") << "Value" << QDate(2005, 1, 27) << QDate();
        QTest::newRow("invalid date") << "Value" << QDate() << QDate();
    }

    void datePickerShouldKeepValueInsideRange()
    {
        QFETCH(QString, property);
        QFETCH(QDate, assigned);
        QFETCH(QDate, value);
        DTPicker picker;
        picker.setCustomFormat("MM/dd/yyyy");
        picker.setMinDate(QDate(1900, 1, 1));
        picker.setMaxDate(QDate(2005, 1, 26));
        picker.setValue(QDate(2005, 1, 20));
        QSignalSpy change(&picker, &DTPicker::Change);
        const auto error = captureError([&] {
            if (property == u"MinDate")
                picker.setMinDate(assigned);
            else if (property == u"MaxDate")
                picker.setMaxDate(assigned);
            else
                picker.setValue(assigned);
        });
        const bool refused = !value.isValid();
        QCOMPARE(error ? error->number() : 0, refused ? int(err::InvalidPropertyValue) : 0);
        QCOMPARE(picker.Value(), refused ? QDate(2005, 1, 20) : value);
        QCOMPARE(picker.MinDate(), !refused && property == u"MinDate" ? assigned : QDate(1900, 1, 1));
        QCOMPARE(picker.MaxDate(), !refused && property == u"MaxDate" ? assigned : QDate(2005, 1, 26));
        QCOMPARE(change.count(), 0);
    }

    void datePickerShouldTranslateClassicFormats_data()
    {
        QTest::addColumn<QString>("classic");
        QTest::addColumn<QString>("shown"); // of 6 January 2005
        QTest::newRow("short parts") << "M/d/yy" << u"1/6/05"_qs;
        QTest::newRow("names") << "dddd, MMM d" << u"Thursday, Jan 6"_qs;
        QTest::newRow("quoted literal") << "'Due' MM/dd" << u"Due 01/06"_qs;
        QTest::newRow("one-digit year widened") << "M/y" << u"1/05"_qs;
        QTest::newRow("letters only Qt would read") << "yyyy.MM.dd az" << u"2005.01.06 az"_qs;
        QTest::newRow("AM/PM marker") << "MM/dd tt" << u"01/06 AM"_qs;
    }

    void datePickerShouldTranslateClassicFormats()
    {
        QFETCH(QString, classic);
        QFETCH(QString, shown);
        DTPicker picker;
        picker.setLocale(QLocale::c());
        picker.setCustomFormat(classic);
        picker.setValue(QDate(2005, 1, 6));
        QCOMPARE(picker.CustomFormat(), classic);
        QCOMPARE(picker.text(), shown);
    }

    void resizerShouldHonourTheSwitches_data()
    {
        QTest::addColumn<bool>("resizeControl");
        QTest::addColumn<bool>("scaleFont");
        QTest::addColumn<QSize>("newSize");
        QTest::addColumn<double>("fontSize");
        // Design: form 400x300, control at (40,30) 100x20, font 10 pt; the form doubles.
        QTest::newRow("both switches on") << true << true << QSize(200, 40) << 20.0;
        QTest::newRow("keep the size") << false << true << QSize(100, 20) << 20.0;
        QTest::newRow("keep the font") << true << false << QSize(200, 40) << 10.0;
    }

    void resizerShouldHonourTheSwitches()
    {
        QFETCH(bool, resizeControl);
        QFETCH(bool, scaleFont);
        QFETCH(QSize, newSize);
        QFETCH(double, fontSize);

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
                request.ResizeControl = resizeControl;
                request.ScaleFont = scaleFont;
            }
        });
        form.resize(800, 600);
        resizer.resizeControls();

        QCOMPARE(asked, (QList<QWidget*>{frame, command}));
        QCOMPARE(frame->geometry(), QRect(0, 0, 400, 300));
        QCOMPARE(command->pos(), QPoint(80, 60));
        QCOMPARE(command->size(), newSize);
        QCOMPARE(command->font().pointSizeF(), fontSize);
    }

    void resizerShouldNeverShrinkBelowDesign()
    {
        QWidget form;
        form.resize(400, 300);
        auto* label = new Label("Confirmation Date", &form);
        label->setGeometry(100, 100, 120, 20);
        SSResizer resizer(&form);
        resizer.captureDesignLayout();

        form.resize(200, 600); // narrower, but taller
        resizer.resizeControls();
        QCOMPARE(label->geometry(), QRect(100, 200, 120, 40));
        form.resize(100, 100);
        resizer.resizeControls();
        QCOMPARE(label->geometry(), QRect(100, 100, 120, 20));
    }

    void keyCodesShouldBeClassic_data()
    {
        QTest::addColumn<int>("qtKey");
        QTest::addColumn<bool>("keypad");
        QTest::addColumn<int>("code");
        QTest::newRow("keypad minus") << int(Qt::Key_Minus) << true << 109;
        QTest::newRow("minus key") << int(Qt::Key_Minus) << false << 189;
        QTest::newRow("shifted 0 is the 0 key") << int(Qt::Key_ParenRight) << false << 48;
        QTest::newRow("underscore is the minus key") << int(Qt::Key_Underscore) << false << 189;
        QTest::newRow("unknown") << int(Qt::Key_VolumeUp) << false << 0;
    }

    void keyCodesShouldBeClassic()
    {
        QFETCH(int, qtKey);
        QFETCH(bool, keypad);
        QFETCH(int, code);
        QCOMPARE(classicKeyCode(qtKey, keypad), code);
    }

    void twipsAndShiftStatesShouldBeClassic()
    {
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
