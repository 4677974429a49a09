#include "controls/CheckBox.h"
#include "controls/CodeListProvider.h"
#include "controls/CodesCombo.h"
#include "controls/DTPicker.h"
#include "controls/SSCommand.h"
#include "controls/SSFrame.h"
#include "controls/SSOption.h"
#include "controls/SSResizer.h"
#include "controls/TextBox.h"
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

    // Clicks, keys and picks raise their events with the new value in place (and the control's
    // array index); the program's assignments before them raised none.
    void officerActionsShouldRaiseEventsThatAssignmentsDoNot()
    {
        QWidget window;
        auto* confirmed = new SSOption("Confirmed Receipts", &window);
        auto* unconfirmed = new SSOption("Unconfirmed Receipts", &window);
        auto* box = new CheckBox("(to Unconfirm)", &window);
        auto* combo = new CodesCombo(&window);
        combo->setIndex(3);
        combo->setCodetype("CNFRMDOC"); // the default provider has no codes yet
        QCOMPARE(combo->count(), 0);
        FakeCodes codes;
        ScopedSeam<CodeListProvider> seam(codes);
        const QList<QWidget*> controls{confirmed, unconfirmed, box, combo};
        for (int i = 0; i < controls.size(); ++i)
            controls[i]->setGeometry(0, 40 * i, 250, 30);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));

        QStringList seen;
        connect(confirmed, &SSOption::Click, this, [&] { seen << u"option %1"_qs.arg(confirmed->Value()); });
        connect(unconfirmed, &SSOption::Click, this, [&] { seen << u"other option"_qs; });
        connect(box, &CheckBox::Click, this, [&] { seen << u"box %1"_qs.arg(box->Value()); });
        connect(combo, &CodesCombo::Change, this,
                [&](int index) { seen << u"combo %1 %2"_qs.arg(index).arg(combo->SelectedCode()); });
        unconfirmed->setValue(true);
        confirmed->setValue(false); // false on another option leaves the group as it is
        QVERIFY(unconfirmed->Value() && !confirmed->Value());
        unconfirmed->setValue(false);
        QVERIFY(!unconfirmed->Value() && !confirmed->Value());
        unconfirmed->setValue(true);
        box->setValue(1);
        box->setValue(0);
        combo->setSelectedCode(" A");
        QVERIFY(seen.isEmpty());

        const auto nearLeftEdge = [](QWidget* w) { return QPoint(6, w->height() / 2); };
        QTest::mouseClick(confirmed, Qt::LeftButton, {}, nearLeftEdge(confirmed));
        QTest::mouseClick(box, Qt::LeftButton, {}, nearLeftEdge(box));
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Space);
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Down);
        QCOMPARE(seen, (QStringList{"option 1", "box 1", "box 0", "combo 3 D"}));
        QCOMPARE(unconfirmed->Value(), false);
        QCOMPARE(combo->SelectedDescription(), QStringLiteral("Daily Receipt"));
    }

    void datePickerShouldKeepValueInsideRange()
    {
        DTPicker picker;
        picker.setMaxDate(QDate(2005, 1, 26));
        picker.setValue(QDate(2005, 1, 20));
        QSignalSpy change(&picker, &DTPicker::Change);
        picker.setMinDate(QDate(2005, 1, 24)); // raising it above the value moves the value up
        QCOMPARE(picker.Value(), QDate(2005, 1, 24));
        for (const auto& refused :
             std::initializer_list<std::function<void()>>{[&] { picker.setValue(QDate(2005, 1, 27)); },
                                                          [&] { picker.setMinDate(QDate(2005, 2, 1)); }}) {
            const auto raised = captureError(refused);
            QCOMPARE(raised ? raised->number() : 0, int(err::InvalidPropertyValue));
        }
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
        QCOMPARE(command->geometry(), QRect(80, 60, 200, 40));
        QCOMPARE(command->font().pointSizeF(), 10.0); // the handler kept the font
        disconnect(&resizer, nullptr, this, nullptr);
        form.resize(200, 600); // narrower than designed, but taller: never below the design
        resizer.resizeControls();
        QCOMPARE(command->geometry(), QRect(40, 60, 100, 40));
    }
};

QTEST_MAIN(TestBasicControls)
#include "tst_basic.moc"
