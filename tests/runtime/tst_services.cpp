#include "runtime/App.h"
#include "runtime/ClassicError.h"
#include "runtime/EventPump.h"
#include "runtime/MessageBox.h"
#include "runtime/ScreenPointer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace tavro;
using Buttons = QMessageBox::StandardButtons;

class TestServices : public QObject
{
    Q_OBJECT

private slots:
    void msgBoxShouldShowTheClassicBoxAndReturnTheAnswer_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<QList<int>>("actions"); // Escape and Return as keys, others as buttons to click
        QTest::addColumn<int>("answer");
        QTest::addColumn<QList<int>>("seen"); // buttons, icon, default button, escape button

        using namespace vb;
        using B = QMessageBox;
        QTest::newRow("OK alone answers Escape with OK")
            << vbOKOnly + vbInformation << QList<int>{Qt::Key_Escape} << vbOK
            << QList<int>{B::Ok, B::Information, B::Ok, B::Ok};
        QTest::newRow("Yes No ignores Escape")
            << vbYesNo + vbExclamation << QList<int>{Qt::Key_Escape, B::Yes} << vbYes
            << QList<int>{B::Yes | B::No, B::Warning, B::Yes, 0};
    }

    void msgBoxShouldShowTheClassicBoxAndReturnTheAnswer()
    {
        QFETCH(int, style);
        QFETCH(QList<int>, actions);
        QFETCH(int, answer);
        QFETCH(QList<int>, seen);

        QString title, text;
        QList<int> shown;
        QTimer::singleShot(50, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            title = box->windowTitle();
            text = box->text();
            const auto standard = [box](QAbstractButton* b) { return b ? int(box->standardButton(b)) : 0; };
            shown = {int(box->standardButtons()), int(box->icon()), standard(box->defaultButton()),
                     standard(box->escapeButton())};
            for (const int action : actions) {
                if (!box->isVisible())
                    break;
                if (action == Qt::Key_Escape || action == Qt::Key_Return) {
                    QTest::keyClick(box, Qt::Key(action));
                    QTest::qWait(300); // a key clicks its button with an animation
                } else {
                    box->button(QMessageBox::StandardButton(action))->click();
                }
            }
        });
        const QString prompt = u"Confirm Payment data has changed.  Do you wish to save these changes?"_qs;
        // Without a title of its own the box shows the application's.
        const QString ownTitle = style == vb::vbYesNo + vb::vbExclamation ? QString() : u"T"_qs;
        QCOMPARE(MessageBox::instance().MsgBox(prompt, style, ownTitle), answer);
        QCOMPARE(text, prompt);
        QCOMPARE(title, ownTitle.isEmpty() ? App::Title() : ownTitle);
        QCOMPARE(shown, seen);
        QVERIFY(!QApplication::activeModalWidget());
    }

    void pointerShouldKeepOneOverrideWhateverTheSequence()
    {
        ScreenPointer& screen = ScreenPointer::instance();
        // An override of someone else's, which the pointer must never take away.
        QGuiApplication::setOverrideCursor(QCursor(Qt::PointingHandCursor));
        screen.setMousePointer(vb::vbHourglass);
        screen.setMousePointer(vb::vbHourglass);
        const auto e = captureError([&] { screen.setMousePointer(99); });
        QVERIFY(e);
        QCOMPARE(e->number(), int(err::InvalidPropertyValue));
        QCOMPARE(screen.mousePointer(), int(vb::vbHourglass));
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);

        screen.setMousePointer(vb::vbDefault);
        QCOMPARE(screen.mousePointer(), int(vb::vbDefault));
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::PointingHandCursor);
        QGuiApplication::restoreOverrideCursor();
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    void sleepShouldBlockWithoutHandlingEventsAndDoEventsDeliverThem()
    {
        bool delivered = false;
        QMetaObject::invokeMethod(
            this, [&] { delivered = true; }, Qt::QueuedConnection);
        QElapsedTimer clock;
        clock.start();
        EventPump::instance().Sleep(120);
        QVERIFY2(clock.elapsed() >= 120 && clock.elapsed() < 2120,
                 qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!delivered);
        EventPump::instance().DoEvents();
        QVERIFY(delivered);
    }
};

QTEST_MAIN(TestServices)
#include "tst_services.moc"
