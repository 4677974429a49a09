#include "runtime/App.h"
#include "runtime/ClassicError.h"
#include "runtime/EventPump.h"
#include "runtime/MessageBox.h"
#include "runtime/ScreenPointer.h"
#include "runtime/Seam.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace tavro;
using Buttons = QMessageBox::StandardButtons;

namespace {
// What the box showed, recorded while it was open and compared after it closed.
struct SeenBox
{
    QString title, text;
    int icon = -1;
    Buttons buttons, defaultButton, escapeButton;
};

// Once the modal box is up, records it and then, while it stays open, presses each of \a actions:
// Qt::Key_Escape and Qt::Key_Return as keys, anything else as the standard button to click.
void answerNextBox(const QList<int>& actions, SeenBox* seen)
{
    QTimer::singleShot(50, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        *seen = {box->windowTitle(),
                 box->text(),
                 int(box->icon()),
                 box->standardButtons(),
                 box->defaultButton() ? box->standardButton(box->defaultButton()) : Buttons(),
                 box->escapeButton() ? box->standardButton(box->escapeButton()) : Buttons()};
        for (const int action : actions) {
            if (!box->isVisible())
                break;
            if (action == Qt::Key_Escape || action == Qt::Key_Return) {
                QTest::keyClick(box, Qt::Key(action));
                QTest::qWait(300); // a key clicks its button with an animation
            } else if (QAbstractButton* button = box->button(QMessageBox::StandardButton(action))) {
                button->click();
            }
        }
    });
}

class RecordingMessageBox final : public MessageBox
{
public:
    int MsgBox(const QString& prompt, int, const QString&) override
    {
        prompts.append(prompt);
        return vb::vbNo;
    }
    QStringList prompts;
};
} // namespace

class TestServices : public QObject
{
    Q_OBJECT

private slots:
    void msgBoxShouldShowTheClassicBoxAndReturnTheAnswer_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<QList<int>>("actions");
        QTest::addColumn<int>("answer");
        QTest::addColumn<Buttons>("buttons");
        QTest::addColumn<int>("icon");
        QTest::addColumn<Buttons>("defaultButton");
        QTest::addColumn<Buttons>("escapeButton");

        using namespace vb;
        using B = QMessageBox;
        const int esc = Qt::Key_Escape, ret = Qt::Key_Return;
        const auto row = [](const char* name, int style, QList<int> actions, int answer, Buttons buttons,
                            QMessageBox::Icon icon, Buttons defaultButton, Buttons escapeButton) {
            QTest::newRow(name) << style << actions << answer << buttons << int(icon) << defaultButton
                                << escapeButton;
        };
        row("OK alone answers Escape with OK", vbOKOnly + vbInformation, {esc}, vbOK, B::Ok, B::Information,
            B::Ok, B::Ok);
        row("critical OK", vbCritical, {B::Ok}, vbOK, B::Ok, B::Critical, B::Ok, B::Ok);
        row("OK Cancel, Return presses the second", vbOKCancel + vbDefaultButton2, {ret}, vbCancel,
            B::Ok | B::Cancel, B::NoIcon, B::Cancel, B::Cancel);
        row("Yes No Cancel, Escape", vbYesNoCancel + vbQuestion, {esc}, vbCancel, B::Yes | B::No | B::Cancel,
            B::Question, B::Yes, B::Cancel);
        row("Yes No ignores Escape", vbYesNo + vbExclamation, {esc, B::Yes}, vbYes, B::Yes | B::No,
            B::Warning, B::Yes, {});
        row("Abort Retry Ignore", vbAbortRetryIgnore, {B::Retry}, vbRetry, B::Abort | B::Retry | B::Ignore,
            B::NoIcon, B::Abort, {});
        row("Retry Cancel, default past the last button", vbRetryCancel + vbDefaultButton3, {ret}, vbCancel,
            B::Retry | B::Cancel, B::NoIcon, B::Cancel, B::Cancel);
    }

    void msgBoxShouldShowTheClassicBoxAndReturnTheAnswer()
    {
        QFETCH(int, style);
        QFETCH(QList<int>, actions);
        QFETCH(int, answer);
        QFETCH(Buttons, buttons);
        QFETCH(int, icon);
        QFETCH(Buttons, defaultButton);
        QFETCH(Buttons, escapeButton);

        SeenBox seen;
        answerNextBox(actions, &seen);
        const QString prompt = u"Confirm Payment data has changed.  Do you wish to save these changes?"_qs;
        // Without a title of its own the box shows the application's.
        const QString title = style == vb::vbCritical ? QString() : u"T"_qs;
        QCOMPARE(MessageBox::instance().MsgBox(prompt, style, title), answer);
        QCOMPARE(seen.text, prompt);
        QCOMPARE(seen.title, title.isEmpty() ? App::Title() : title);
        QCOMPARE(seen.buttons, buttons);
        QCOMPARE(seen.icon, icon);
        QCOMPARE(seen.defaultButton, defaultButton);
        QCOMPARE(seen.escapeButton, escapeButton);
        QVERIFY(!QApplication::activeModalWidget());
    }

    void replacedServiceShouldServeUntilTheGuardEnds()
    {
        MessageBox* const standard = &MessageBox::instance();
        RecordingMessageBox fake;
        {
            ScopedSeam<MessageBox> guard(fake);
            QCOMPARE(MessageBox::instance().MsgBox(u"Save?"_qs, vb::vbYesNo, QString()), vb::vbNo);
        }
        QCOMPARE(fake.prompts, QStringList{u"Save?"_qs});
        QCOMPARE(&MessageBox::instance(), standard);
    }

    void pointerShouldKeepOneOverrideWhateverTheSequence_data()
    {
        QTest::addColumn<QList<int>>("sequence");
        QTest::addColumn<int>("pointer");
        QTest::addColumn<int>("shape"); // -1: only someone else's override is in place
        QTest::addColumn<int>("error");

        using namespace vb;
        QTest::newRow("hourglass twice")
            << QList<int>{vbHourglass, vbHourglass} << vbHourglass << int(Qt::WaitCursor) << 0;
        QTest::newRow("hourglass twice, default once")
            << QList<int>{vbHourglass, vbHourglass, vbDefault} << vbDefault << -1 << 0;
        QTest::newRow("hourglass, default twice")
            << QList<int>{vbHourglass, vbDefault, vbDefault} << vbDefault << -1 << 0;
        QTest::newRow("two pointers, then default")
            << QList<int>{vbHourglass, vbArrowHourglass, vbDefault} << vbDefault << -1 << 0;
        QTest::newRow("unknown pointer keeps the last")
            << QList<int>{vbHourglass, 99} << vbHourglass << int(Qt::WaitCursor)
            << int(err::InvalidPropertyValue);
    }

    void pointerShouldKeepOneOverrideWhateverTheSequence()
    {
        QFETCH(QList<int>, sequence);
        QFETCH(int, pointer);
        QFETCH(int, shape);
        QFETCH(int, error);

        ScreenPointer& screen = ScreenPointer::instance();
        // An override of someone else's, which the pointer must never take away.
        QGuiApplication::setOverrideCursor(QCursor(Qt::PointingHandCursor));
        int raised = 0;
        for (const int step : sequence)
            if (const auto e = captureError([&] { screen.setMousePointer(step); }))
                raised = e->number();
        QCOMPARE(raised, error);
        QCOMPARE(screen.mousePointer(), pointer);
        QCOMPARE(int(QGuiApplication::overrideCursor()->shape()),
                 shape < 0 ? int(Qt::PointingHandCursor) : shape);

        screen.setMousePointer(vb::vbDefault);
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::PointingHandCursor);
        QGuiApplication::restoreOverrideCursor();
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    void sleepShouldBlockWithoutHandlingEventsAndDoEventsDeliverThem_data()
    {
        QTest::addColumn<int>("milliseconds");
        QTest::addColumn<int>("atLeast");
        QTest::newRow("negative") << -50 << 0;
        QTest::newRow("a while") << 120 << 120;
    }

    void sleepShouldBlockWithoutHandlingEventsAndDoEventsDeliverThem()
    {
        QFETCH(int, milliseconds);
        QFETCH(int, atLeast);
        bool delivered = false;
        QMetaObject::invokeMethod(
            this, [&] { delivered = true; }, Qt::QueuedConnection);
        QElapsedTimer clock;
        clock.start();
        EventPump::instance().Sleep(milliseconds);
        QVERIFY2(clock.elapsed() >= atLeast && clock.elapsed() < atLeast + 2000,
                 qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!delivered);
        EventPump::instance().DoEvents();
        QVERIFY(delivered);
    }
};

QTEST_MAIN(TestServices)
#include "tst_services.moc"
