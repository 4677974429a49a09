#include "runtime/App.h"
#include "runtime/ClassicError.h"
#include "runtime/MessageBox.h"
#include "runtime/ScreenPointer.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace tavro;

class TestServices : public QObject
{
    Q_OBJECT

private slots:
    // A Yes/No box has no escape button: Escape leaves it open until the officer picks an answer.
    void msgBoxShouldShowTheClassicBoxAndReturnTheAnswer()
    {
        QString title, text;
        QList<int> shown; // buttons, icon, default button, escape button
        QTimer::singleShot(50, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            title = box->windowTitle();
            text = box->text();
            const auto standard = [box](QAbstractButton* b) { return b ? int(box->standardButton(b)) : 0; };
            shown = {int(box->standardButtons()), int(box->icon()), standard(box->defaultButton()),
                     standard(box->escapeButton())};
            QTest::keyClick(box, Qt::Key_Escape);
            QTest::qWait(300); // a key clicks its button with an animation
            if (box->isVisible())
                box->button(QMessageBox::Yes)->click();
        });
        const QString prompt = u"Confirm Payment data has changed.  Do you wish to save these changes?"_qs;
        QCOMPARE(MessageBox::instance().MsgBox(prompt, vb::vbYesNo + vb::vbExclamation), int(vb::vbYes));
        QCOMPARE(text, prompt);
        QCOMPARE(title, App::Title()); // without a title of its own the box shows the application's
        QCOMPARE(shown,
                 (QList<int>{QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning, QMessageBox::Yes, 0}));
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
        QCOMPARE(e ? e->number() : 0, int(err::InvalidPropertyValue));
        QCOMPARE(screen.mousePointer(), int(vb::vbHourglass));
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);

        screen.setMousePointer(vb::vbDefault);
        QCOMPARE(screen.mousePointer(), int(vb::vbDefault));
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::PointingHandCursor);
        QGuiApplication::restoreOverrideCursor();
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }
};

QTEST_MAIN(TestServices)
#include "tst_services.moc"
