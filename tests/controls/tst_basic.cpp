#include "controls/Adodc.h"
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
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

using namespace tavro;

namespace {

struct Probe
{
    QWidget* widget;
    std::function<bool()> visible;
    std::function<bool()> enabled;
};

template <class Control> Probe probe(QWidget* parent)
{
    auto* control = new Control(parent);
    return {control, [control] { return control->Visible(); }, [control] { return control->Enabled(); }};
}

Probe makeControl(const QString& kind, QWidget* parent)
{
    if (kind == u"SSFrame")
        return probe<SSFrame>(parent);
    if (kind == u"SSOption")
        return probe<SSOption>(parent);
    if (kind == u"SSCommand")
        return probe<SSCommand>(parent);
    if (kind == u"CheckBox")
        return probe<CheckBox>(parent);
    if (kind == u"Label")
        return probe<Label>(parent);
    if (kind == u"TextBox")
        return probe<TextBox>(parent);
    if (kind == u"CodesCombo")
        return probe<CodesCombo>(parent);
    return probe<DTPicker>(parent);
}

class FakeCodes : public CodeListProvider
{
public:
    QList<std::pair<QString, QString>> codes(const QString& codetype) override
    {
        ++calls;
        if (codetype != u"CNFRMDOC")
            return {};
        return {{"A", "Assessment"}, {"D", "Daily Receipt"}, {"N", "Notice"}};
    }
    int calls = 0;
};

QPoint nearLeftEdge(const QWidget* w)
{
    return QPoint(6, w->height() / 2);
}

} // namespace

class TestBasicControls : public QObject
{
    Q_OBJECT

private slots:
    void shouldKeepOwnFlagsWhateverTheParent_data();
    void shouldKeepOwnFlagsWhateverTheParent();
    void optionAssignmentShouldClearSiblingsWithoutClick_data();
    void optionAssignmentShouldClearSiblingsWithoutClick();
    void optionShouldRaiseClickOnlyForTheOfficer();
    void checkBoxShouldRaiseClickOnlyForTheOfficer();
    void checkBoxShouldRefuseValuesOutsideItsStates_data();
    void checkBoxShouldRefuseValuesOutsideItsStates();
    void labelShouldRaiseChangeOncePerDifferentCaption();
    void labelHandlerRewritingItsCaptionShouldNotLoop();
    void comboAssignmentShouldSelectByTrimmedCodeWithoutEvent_data();
    void comboAssignmentShouldSelectByTrimmedCodeWithoutEvent();
    void comboShouldRaiseChangeWithItsArrayIndexWhenTheOfficerPicks();
    void comboShouldLoadCodesInstalledAfterItWasBuilt();
    void datePickerShouldKeepValueInsideRange_data();
    void datePickerShouldKeepValueInsideRange();
    void datePickerShouldRaiseChangeOnlyForTheOfficer();
    void datePickerShouldTranslateClassicFormats_data();
    void datePickerShouldTranslateClassicFormats();
    void resizerShouldHonourTheSwitches_data();
    void resizerShouldHonourTheSwitches();
    void resizerShouldNeverShrinkBelowDesign();
    void keyCodesShouldBeClassic_data();
    void keyCodesShouldBeClassic();
    void twipsShouldFollowTheLogicalDpi();
};

void TestBasicControls::shouldKeepOwnFlagsWhateverTheParent_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("windowShown");
    QTest::addColumn<bool>("parentHidden");
    QTest::addColumn<bool>("parentDisabled");
    QTest::addColumn<bool>("childHidden");
    QTest::addColumn<bool>("childDisabled");

    const QStringList kinds = {"SSFrame", "SSOption", "SSCommand",  "CheckBox",
                               "Label",   "TextBox",  "CodesCombo", "DTPicker"};
    for (const QString& kind : kinds) {
        const QByteArray k = kind.toLatin1();
        QTest::newRow(k + " on a form not shown yet") << kind << false << false << false << false << false;
        QTest::newRow(k + " in a hidden, disabled frame") << kind << true << true << true << false << false;
        QTest::newRow(k + " hidden and disabled itself") << kind << true << false << false << true << true;
        QTest::newRow(k + " hidden in a hidden frame") << kind << true << true << false << true << false;
    }
}

void TestBasicControls::shouldKeepOwnFlagsWhateverTheParent()
{
    QFETCH(QString, kind);
    QFETCH(bool, windowShown);
    QFETCH(bool, parentHidden);
    QFETCH(bool, parentDisabled);
    QFETCH(bool, childHidden);
    QFETCH(bool, childDisabled);

    QWidget window;
    auto* frame = new SSFrame(&window);
    const Probe control = makeControl(kind, frame);
    if (windowShown)
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

void TestBasicControls::optionAssignmentShouldClearSiblingsWithoutClick_data()
{
    QTest::addColumn<int>("initiallyOn");
    QTest::addColumn<int>("assigned");
    QTest::addColumn<bool>("value");
    QTest::addColumn<QList<bool>>("expected");

    QTest::newRow("true clears the selected sibling") << 0 << 2 << true << QList<bool>{false, false, true};
    QTest::newRow("true on the selected one keeps it") << 1 << 1 << true << QList<bool>{false, true, false};
    QTest::newRow("false unchecks the selected one") << 1 << 1 << false << QList<bool>{false, false, false};
    QTest::newRow("false on another leaves the group") << 0 << 2 << false << QList<bool>{true, false, false};
    QTest::newRow("true with none selected") << -1 << 0 << true << QList<bool>{true, false, false};
}

void TestBasicControls::optionAssignmentShouldClearSiblingsWithoutClick()
{
    QFETCH(int, initiallyOn);
    QFETCH(int, assigned);
    QFETCH(bool, value);
    QFETCH(QList<bool>, expected);

    SSFrame frame;
    QList<SSOption*> options;
    QList<QSignalSpy*> clicks;
    for (int i = 0; i < 3; ++i) {
        options.append(new SSOption(QStringLiteral("Option %1").arg(i), &frame));
        options.last()->setIndex(i);
    }
    if (initiallyOn >= 0)
        options[initiallyOn]->setValue(true);
    QSignalSpy click0(options[0], &SSOption::Click);
    QSignalSpy click1(options[1], &SSOption::Click);
    QSignalSpy click2(options[2], &SSOption::Click);

    options[assigned]->setValue(value);

    for (int i = 0; i < 3; ++i)
        QCOMPARE(options[i]->Value(), expected[i]);
    QCOMPARE(click0.count() + click1.count() + click2.count(), 0);

    // The group still works as a group afterwards.
    options[1]->setValue(true);
    QCOMPARE(options[0]->Value(), false);
    QCOMPARE(options[2]->Value(), false);
}

void TestBasicControls::optionShouldRaiseClickOnlyForTheOfficer()
{
    QWidget window;
    window.resize(300, 100);
    auto* confirmed = new SSOption("Confirmed Receipts", &window);
    auto* unconfirmed = new SSOption("Unconfirmed Receipts", &window);
    confirmed->setGeometry(0, 0, 250, 30);
    unconfirmed->setGeometry(0, 40, 250, 30);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    unconfirmed->setValue(true);

    QList<bool> valueSeenByHandler;
    connect(confirmed, &SSOption::Click, this, [&] { valueSeenByHandler.append(confirmed->Value()); });
    QTest::mouseClick(confirmed, Qt::LeftButton, {}, nearLeftEdge(confirmed));

    QCOMPARE(valueSeenByHandler, QList<bool>{true});
    QCOMPARE(unconfirmed->Value(), false);
}

void TestBasicControls::checkBoxShouldRaiseClickOnlyForTheOfficer()
{
    QWidget window;
    window.resize(300, 60);
    auto* box = new CheckBox("(to Unconfirm)", &window);
    box->setGeometry(0, 0, 250, 30);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QList<int> valueSeenByHandler;
    connect(box, &CheckBox::Click, this, [&] { valueSeenByHandler.append(box->Value()); });
    box->setValue(1);
    box->setValue(0);
    QVERIFY(valueSeenByHandler.isEmpty());

    QTest::mouseClick(box, Qt::LeftButton, {}, nearLeftEdge(box));
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Space);
    QCOMPARE(valueSeenByHandler, (QList<int>{1, 0}));
}

void TestBasicControls::checkBoxShouldRefuseValuesOutsideItsStates_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("clear") << 0 << true;
    QTest::newRow("ticked") << 1 << true;
    QTest::newRow("grayed") << 2 << true;
    QTest::newRow("True as -1") << -1 << false;
    QTest::newRow("three") << 3 << false;
}

void TestBasicControls::checkBoxShouldRefuseValuesOutsideItsStates()
{
    QFETCH(int, value);
    QFETCH(bool, accepted);
    CheckBox box;
    box.setValue(1);
    const auto error = captureError([&] { box.setValue(value); });
    QCOMPARE(!error.has_value(), accepted);
    if (error)
        QCOMPARE(error->number(), err::InvalidPropertyValue);
    QCOMPARE(box.Value(), accepted ? value : 1);
}

void TestBasicControls::labelShouldRaiseChangeOncePerDifferentCaption()
{
    Label label;
    QSignalSpy change(&label, &Label::Change);
    const QStringList captions = {"", "0012345-7", "0012345-7", "", "", "0000000-0"};
    for (const QString& caption : captions)
        label.setCaption(caption);
    QCOMPARE(change.count(), 3);
    label.setText("through QLabel's name");
    QCOMPARE(change.count(), 4);
    QCOMPARE(label.Caption(), QStringLiteral("through QLabel's name"));
}

void TestBasicControls::labelHandlerRewritingItsCaptionShouldNotLoop()
{
    Label label;
    int calls = 0;
    connect(&label, &Label::Change, this, [&] {
        ++calls;
        if (calls > 10)
            return; // a loop would be caught here instead of overflowing the stack
        const QString caption = label.Caption();
        if (!caption.startsWith('$'))
            label.setCaption('$' + caption);
    });
    label.setCaption("12.50");
    QCOMPARE(label.Caption(), QStringLiteral("$12.50"));
    QCOMPARE(calls, 2);
}

void TestBasicControls::comboAssignmentShouldSelectByTrimmedCodeWithoutEvent_data()
{
    QTest::addColumn<QString>("assigned");
    QTest::addColumn<QString>("selectedCode");
    QTest::addColumn<QString>("description");

    QTest::newRow("known code") << "D"
                                << "D"
                                << "Daily Receipt";
    QTest::newRow("blanks around are kept") << " N  "
                                            << " N  "
                                            << "Notice";
    QTest::newRow("empty selects nothing") << ""
                                           << ""
                                           << "";
    QTest::newRow("unknown selects nothing") << "Q"
                                             << "Q"
                                             << "";
    QTest::newRow("case matters") << "d"
                                  << "d"
                                  << "";
}

void TestBasicControls::comboAssignmentShouldSelectByTrimmedCodeWithoutEvent()
{
    QFETCH(QString, assigned);
    QFETCH(QString, selectedCode);
    QFETCH(QString, description);

    FakeCodes codes;
    ScopedSeam<CodeListProvider> seam(codes);
    CodesCombo combo;
    combo.setCodetype("CNFRMDOC");
    combo.setSelectedCode("A");
    QSignalSpy change(&combo, &CodesCombo::Change);

    combo.setSelectedCode(assigned);

    QCOMPARE(combo.SelectedCode(), selectedCode);
    QCOMPARE(combo.SelectedDescription(), description);
    QCOMPARE(combo.currentIndex() >= 0, !description.isEmpty());
    QCOMPARE(change.count(), 0);
}

void TestBasicControls::comboShouldRaiseChangeWithItsArrayIndexWhenTheOfficerPicks()
{
    FakeCodes codes;
    ScopedSeam<CodeListProvider> seam(codes);
    QWidget window;
    auto* combo = new CodesCombo(&window);
    combo->setIndex(3);
    combo->setCodetype("CNFRMDOC");
    combo->setSelectedCode(" A");
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QList<std::pair<int, QString>> seen;
    connect(combo, &CodesCombo::Change, this, [&](int index) {
        seen.append({index, combo->SelectedCode()});
    });
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);

    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen.first().first, 3);
    QCOMPARE(seen.first().second, QStringLiteral("D"));
    QCOMPARE(combo->SelectedDescription(), QStringLiteral("Daily Receipt"));
}

void TestBasicControls::comboShouldLoadCodesInstalledAfterItWasBuilt()
{
    CodesCombo combo;
    combo.setCodetype("CNFRMDOC"); // the default provider has no codes
    QCOMPARE(combo.count(), 0);

    FakeCodes codes;
    ScopedSeam<CodeListProvider> seam(codes);
    combo.setSelectedCode("D");
    QCOMPARE(combo.count(), 3);
    QCOMPARE(combo.SelectedDescription(), QStringLiteral("Daily Receipt"));
}

void TestBasicControls::datePickerShouldKeepValueInsideRange_data()
{
    QTest::addColumn<QString>("property");
    QTest::addColumn<QDate>("assigned");
    QTest::addColumn<QDate>("value");
    QTest::addColumn<QDate>("minDate");
    QTest::addColumn<QDate>("maxDate");
    QTest::addColumn<bool>("refused");

    // Starting point of every row: range 1900-01-01 .. 2005-01-26, value 2005-01-20.
    const QDate min(1900, 1, 1), max(2005, 1, 26), value(2005, 1, 20);
    QTest::newRow("raising MinDate above the value moves it up")
        << "MinDate" << QDate(2005, 1, 24) << QDate(2005, 1, 24) << QDate(2005, 1, 24) << max << false;
    QTest::newRow("MinDate below the value leaves it")
        << "MinDate" << QDate(2004, 1, 1) << value << QDate(2004, 1, 1) << max << false;
    QTest::newRow("MinDate at date value 0")
        << "MinDate" << QDate(1899, 12, 30) << value << QDate(1899, 12, 30) << max << false;
    QTest::newRow("MinDate after MaxDate is refused")
        << "MinDate" << QDate(2005, 2, 1) << value << min << max << true;
    QTest::newRow("lowering MaxDate below the value moves it down")
        << "MaxDate" << QDate(2005, 1, 10) << QDate(2005, 1, 10) << min << QDate(2005, 1, 10) << false;
    QTest::newRow("MaxDate before MinDate is refused")
        << "MaxDate" << QDate(1899, 1, 1) << value << min << max << true;
    QTest::newRow("value inside") << "Value" << QDate(1950, 6, 1) << QDate(1950, 6, 1) << min << max << false;
    QTest::newRow("value on MaxDate") << "Value" << max << max << min << max << false;
    QTest::newRow("value after MaxDate is refused")
        << "Value" << QDate(2005, 1, 27) << value << min << max << true;
    QTest::newRow("value before MinDate is refused")
        << "Value" << QDate(1899, 12, 31) << value << min << max << true;
    QTest::newRow("invalid date is refused") << "Value" << QDate() << value << min << max << true;
}

void TestBasicControls::datePickerShouldKeepValueInsideRange()
{
    QFETCH(QString, property);
    QFETCH(QDate, assigned);
    QFETCH(QDate, value);
    QFETCH(QDate, minDate);
    QFETCH(QDate, maxDate);
    QFETCH(bool, refused);

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

    QCOMPARE(error.has_value(), refused);
    if (error)
        QCOMPARE(error->number(), err::InvalidPropertyValue);
    QCOMPARE(picker.Value(), value);
    QCOMPARE(picker.MinDate(), minDate);
    QCOMPARE(picker.MaxDate(), maxDate);
    QCOMPARE(change.count(), 0);
}

void TestBasicControls::datePickerShouldRaiseChangeOnlyForTheOfficer()
{
    QWidget window;
    auto* picker = new DTPicker(&window);
    picker->setCustomFormat("MM/dd/yyyy");
    picker->setMinDate(QDate(1899, 12, 30));
    picker->setMaxDate(QDate(2005, 1, 26));
    picker->setValue(QDate(1899, 12, 30));
    QCOMPARE(picker->text(), QStringLiteral("12/30/1899"));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QSignalSpy change(picker, &DTPicker::Change);

    picker->setFocus();
    QTRY_VERIFY(picker->hasFocus());
    picker->setValue(QDate(1900, 6, 15));
    QCOMPARE(change.count(), 0);
    QTest::keyClick(picker, Qt::Key_Up); // the month section has the cursor
    QCOMPARE(change.count(), 1);
    QCOMPARE(picker->Value(), QDate(1900, 7, 15));
}

void TestBasicControls::datePickerShouldTranslateClassicFormats_data()
{
    QTest::addColumn<QString>("classic");
    QTest::addColumn<QString>("shown");

    QTest::newRow("month/day/year") << "MM/dd/yyyy"
                                    << "01/06/2005";
    QTest::newRow("short parts") << "M/d/yy"
                                 << "1/6/05";
    QTest::newRow("month name") << "dd-MMM-yyyy"
                                << "06-Jan-2005";
    QTest::newRow("day name") << "dddd, MMMM d"
                              << "Thursday, January 6";
    QTest::newRow("quoted literal") << "'Due' MM/dd"
                                    << "Due 01/06";
    QTest::newRow("one-digit year widened") << "M/y"
                                            << "1/05";
    QTest::newRow("letters only Qt would read") << "yyyy.MM.dd az"
                                                << "2005.01.06 az";
    QTest::newRow("AM/PM marker") << "MM/dd tt"
                                  << "01/06 AM";
}

void TestBasicControls::datePickerShouldTranslateClassicFormats()
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

void TestBasicControls::resizerShouldHonourTheSwitches_data()
{
    QTest::addColumn<bool>("resizeControl");
    QTest::addColumn<bool>("scaleFont");
    QTest::addColumn<QSize>("newSize");
    QTest::addColumn<double>("fontSize");

    // Design: form 400x300, control at (40,30) 100x20, font 10 pt; the form doubles.
    QTest::newRow("both switches on") << true << true << QSize(200, 40) << 20.0;
    QTest::newRow("keep the size") << false << true << QSize(100, 20) << 20.0;
    QTest::newRow("keep the font") << true << false << QSize(200, 40) << 10.0;
    QTest::newRow("both off, it only moves") << false << false << QSize(100, 20) << 10.0;
}

void TestBasicControls::resizerShouldHonourTheSwitches()
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
            QCOMPARE(request.NewHeight, 40.0f);
            request.ResizeControl = resizeControl;
            request.ScaleFont = scaleFont;
        }
    });
    form.resize(800, 600);
    resizer.resizeControls();

    QCOMPARE(asked.count(frame), 1);
    QCOMPARE(asked.count(command), 1);
    QVERIFY(asked.indexOf(frame) < asked.indexOf(command));
    QCOMPARE(frame->geometry(), QRect(0, 0, 400, 300));
    QCOMPARE(command->pos(), QPoint(80, 60));
    QCOMPARE(command->size(), newSize);
    QCOMPARE(command->font().pointSizeF(), fontSize);
}

void TestBasicControls::resizerShouldNeverShrinkBelowDesign()
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

void TestBasicControls::keyCodesShouldBeClassic_data()
{
    QTest::addColumn<int>("qtKey");
    QTest::addColumn<bool>("keypad");
    QTest::addColumn<int>("code");

    QTest::newRow("Insert") << int(Qt::Key_Insert) << false << 45;
    QTest::newRow("Delete") << int(Qt::Key_Delete) << false << 46;
    QTest::newRow("Backspace") << int(Qt::Key_Backspace) << false << 8;
    QTest::newRow("Enter") << int(Qt::Key_Return) << false << 13;
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << true << 13;
    QTest::newRow("digit 0") << int(Qt::Key_0) << false << 48;
    QTest::newRow("digit 9") << int(Qt::Key_9) << false << 57;
    QTest::newRow("keypad 7") << int(Qt::Key_7) << true << 103;
    QTest::newRow("keypad minus") << int(Qt::Key_Minus) << true << 109;
    QTest::newRow("letter A") << int(Qt::Key_A) << false << 65;
    QTest::newRow("letter Z") << int(Qt::Key_Z) << false << 90;
    QTest::newRow("minus key") << int(Qt::Key_Minus) << false << 189;
    QTest::newRow("shifted 1 is the 1 key") << int(Qt::Key_Exclam) << false << 49;
    QTest::newRow("shifted 0 is the 0 key") << int(Qt::Key_ParenRight) << false << 48;
    QTest::newRow("underscore is the minus key") << int(Qt::Key_Underscore) << false << 189;
    QTest::newRow("F1") << int(Qt::Key_F1) << false << 112;
    QTest::newRow("Left") << int(Qt::Key_Left) << false << 37;
    QTest::newRow("Shift") << int(Qt::Key_Shift) << false << 16;
    QTest::newRow("unknown") << int(Qt::Key_VolumeUp) << false << 0;
}

void TestBasicControls::keyCodesShouldBeClassic()
{
    QFETCH(int, qtKey);
    QFETCH(bool, keypad);
    QFETCH(int, code);
    QCOMPARE(classicKeyCode(qtKey, keypad), code);
}

void TestBasicControls::twipsShouldFollowTheLogicalDpi()
{
    const double dpi = logicalDpi();
    QVERIFY(dpi > 0);
    QCOMPARE(twips(1440), qRound(dpi));
    QCOMPARE(twipsRect(0, 1440, 2880, 0), QRect(0, qRound(dpi), qRound(2 * dpi), 0));
    QCOMPARE(qRound(pixelsToTwips(dpi)), 1440);
    QCOMPARE(classicShiftState(Qt::ShiftModifier | Qt::ControlModifier), 3);
    QCOMPARE(classicShiftState(Qt::AltModifier | Qt::KeypadModifier), 4);
}

QTEST_MAIN(TestBasicControls)
#include "tst_basic.moc"
