#include "runtime/App.h"
#include "runtime/ClassicError.h"
#include "runtime/EventPump.h"
#include "runtime/MessageBox.h"
#include "runtime/ScreenPointer.h"
#include "runtime/Seam.h"

#include <algorithm>
#include <memory>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace tavro;

namespace {

QString nameOf(QMessageBox::StandardButton button)
{
    switch (button) {
    case QMessageBox::Ok:
        return QStringLiteral("Ok");
    case QMessageBox::Cancel:
        return QStringLiteral("Cancel");
    case QMessageBox::Yes:
        return QStringLiteral("Yes");
    case QMessageBox::No:
        return QStringLiteral("No");
    case QMessageBox::Abort:
        return QStringLiteral("Abort");
    case QMessageBox::Retry:
        return QStringLiteral("Retry");
    case QMessageBox::Ignore:
        return QStringLiteral("Ignore");
    default:
        return QStringLiteral("?");
    }
}

// What the box showed, recorded while it was open and compared after it closed.
struct SeenBox
{
    bool shown = false;
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    QString defaultButton, escapeButton;
};

// Waits for the modal box, records it, then performs the actions while it stays open: a
// button's name is a click on that button, "Escape" and "Return" are key presses.
void answerNextBox(const QStringList& actions, SeenBox* seen)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) {
            if (++*tries > 500)
                timer->deleteLater();
            return;
        }
        timer->stop();
        timer->deleteLater();
        seen->shown = true;
        seen->title = box->windowTitle();
        seen->text = box->text();
        seen->icon = box->icon();
        for (QAbstractButton* button : box->buttons())
            seen->buttons.append(nameOf(box->standardButton(button)));
        seen->buttons.sort();
        if (box->defaultButton())
            seen->defaultButton = nameOf(box->standardButton(box->defaultButton()));
        if (box->escapeButton())
            seen->escapeButton = nameOf(box->standardButton(box->escapeButton()));
        for (const QString& action : actions) {
            if (!box->isVisible())
                break;
            if (action == u"Escape" || action == u"Return") {
                // A key clicks its button with an animation: give it time to finish.
                QTest::keyClick(box, action == u"Escape" ? Qt::Key_Escape : Qt::Key_Return);
                QTest::qWait(300);
            } else
                for (QAbstractButton* button : box->buttons())
                    if (nameOf(box->standardButton(button)) == action)
                        button->click();
        }
    });
    timer->start();
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
    void appVersionShouldBeTheProjectVersion();
    void msgBoxShouldShowTheClassicBoxAndReturnTheAnswer_data();
    void msgBoxShouldShowTheClassicBoxAndReturnTheAnswer();
    void replacedServiceShouldServeUntilTheGuardEnds();
    void pointerShouldKeepOneOverrideWhateverTheSequence_data();
    void pointerShouldKeepOneOverrideWhateverTheSequence();
    void doEventsShouldDeliverPendingEvents();
    void sleepShouldBlockWithoutHandlingEvents_data();
    void sleepShouldBlockWithoutHandlingEvents();
};

void TestServices::appVersionShouldBeTheProjectVersion()
{
    const QStringList parts = QStringLiteral(TAVRO_PROJECT_VERSION).split(u'.');
    QCOMPARE(App::Major(), parts.value(0).toInt());
    QCOMPARE(App::Minor(), parts.value(1).toInt());
    QCOMPARE(App::versionText(), parts.value(0) + u'.' + parts.value(1));
}

void TestServices::msgBoxShouldShowTheClassicBoxAndReturnTheAnswer_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QStringList>("buttons"); // sorted
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("defaultButton");
    QTest::addColumn<QString>("escapeButton");

    using namespace vb;
    // Lists are written comma-separated; buttons sorted by name.
    const auto row = [](const char* name, int style, const char* actions, int answer, const char* buttons,
                        QMessageBox::Icon icon, const char* defaultButton, const char* escapeButton) {
        const auto list = [](const char* text) { return QString::fromLatin1(text).split(u','); };
        QTest::newRow(name) << style << u"T"_qs << list(actions) << answer << list(buttons) << int(icon)
                            << QString::fromLatin1(defaultButton) << QString::fromLatin1(escapeButton);
    };
    const auto none = QMessageBox::NoIcon;
    row("OK alone", vbOKOnly, "Ok", vbOK, "Ok", none, "Ok", "Ok");
    row("OK alone answers Escape with OK", vbOKOnly + vbInformation, "Escape", vbOK, "Ok",
        QMessageBox::Information, "Ok", "Ok");
    row("critical OK", vbCritical, "Ok", vbOK, "Ok", QMessageBox::Critical, "Ok", "Ok");
    row("OK Cancel, Cancel default, OK clicked", vbOKCancel + vbDefaultButton2, "Ok", vbOK, "Cancel,Ok", none,
        "Cancel", "Cancel");
    row("OK Cancel, Return presses the default", vbOKCancel + vbDefaultButton2, "Return", vbCancel,
        "Cancel,Ok", none, "Cancel", "Cancel");
    row("OK Cancel, Escape", vbOKCancel, "Escape", vbCancel, "Cancel,Ok", none, "Ok", "Cancel");
    row("Yes No Cancel, Yes", vbYesNoCancel + vbQuestion, "Yes", vbYes, "Cancel,No,Yes",
        QMessageBox::Question, "Yes", "Cancel");
    row("Yes No Cancel, No", vbYesNoCancel + vbQuestion, "No", vbNo, "Cancel,No,Yes", QMessageBox::Question,
        "Yes", "Cancel");
    row("Yes No Cancel, Escape", vbYesNoCancel + vbQuestion, "Escape", vbCancel, "Cancel,No,Yes",
        QMessageBox::Question, "Yes", "Cancel");
    row("Yes No Cancel, third default", vbYesNoCancel + vbDefaultButton3, "Return", vbCancel, "Cancel,No,Yes",
        none, "Cancel", "Cancel");
    row("Yes No ignores Escape", vbYesNo + vbExclamation, "Escape,Yes", vbYes, "No,Yes", QMessageBox::Warning,
        "Yes", "");
    row("Abort Retry Ignore", vbAbortRetryIgnore, "Retry", vbRetry, "Abort,Ignore,Retry", none, "Abort", "");
    row("Retry Cancel, default past the last button", vbRetryCancel + vbDefaultButton3, "Return", vbCancel,
        "Cancel,Retry", none, "Cancel", "Cancel");
    QTest::newRow("no title shows the application's")
        << vbOKOnly << QString() << QStringList{u"Ok"_qs} << vbOK << QStringList{u"Ok"_qs} << int(none)
        << u"Ok"_qs << u"Ok"_qs;
}

void TestServices::msgBoxShouldShowTheClassicBoxAndReturnTheAnswer()
{
    QFETCH(int, style);
    QFETCH(QString, title);
    QFETCH(QStringList, actions);
    QFETCH(int, answer);
    QFETCH(QStringList, buttons);
    QFETCH(int, icon);
    QFETCH(QString, defaultButton);
    QFETCH(QString, escapeButton);

    SeenBox seen;
    answerNextBox(actions, &seen);
    const QString prompt =
        QStringLiteral("Confirm Payment data has changed.  Do you wish to save these changes?");
    const int result = MessageBox::instance().MsgBox(prompt, style, title);

    QVERIFY(seen.shown);
    QCOMPARE(result, answer);
    QCOMPARE(seen.text, prompt);
    QCOMPARE(seen.title, title.isEmpty() ? App::Title() : title);
    QCOMPARE(seen.buttons, buttons);
    QCOMPARE(int(seen.icon), icon);
    QCOMPARE(seen.defaultButton, defaultButton);
    QCOMPARE(seen.escapeButton, escapeButton);
    QVERIFY(!QApplication::activeModalWidget());
}

void TestServices::replacedServiceShouldServeUntilTheGuardEnds()
{
    MessageBox* const standard = &MessageBox::instance();
    RecordingMessageBox fake;
    {
        ScopedSeam<MessageBox> guard(fake);
        QCOMPARE(MessageBox::instance().MsgBox(QStringLiteral("Save?"), vb::vbYesNo, QString()), vb::vbNo);
    }
    QCOMPARE(fake.prompts, QStringList{QStringLiteral("Save?")});
    QCOMPARE(&MessageBox::instance(), standard);
}

void TestServices::pointerShouldKeepOneOverrideWhateverTheSequence_data()
{
    QTest::addColumn<QList<int>>("sequence");
    QTest::addColumn<int>("pointer");
    QTest::addColumn<int>("shape"); // -1: only the application's own override is in place
    QTest::addColumn<int>("error");

    using namespace vb;
    QTest::newRow("hourglass") << QList<int>{vbHourglass} << vbHourglass << int(Qt::WaitCursor) << 0;
    QTest::newRow("hourglass twice") << QList<int>{vbHourglass, vbHourglass} << vbHourglass
                                     << int(Qt::WaitCursor) << 0;
    QTest::newRow("hourglass twice, default once")
        << QList<int>{vbHourglass, vbHourglass, vbDefault} << vbDefault << -1 << 0;
    QTest::newRow("default twice") << QList<int>{vbDefault, vbDefault} << vbDefault << -1 << 0;
    QTest::newRow("hourglass, default twice")
        << QList<int>{vbHourglass, vbDefault, vbDefault} << vbDefault << -1 << 0;
    QTest::newRow("one pointer after another")
        << QList<int>{vbArrowHourglass, vbHourglass} << vbHourglass << int(Qt::WaitCursor) << 0;
    QTest::newRow("two pointers, then default")
        << QList<int>{vbHourglass, vbArrowHourglass, vbDefault} << vbDefault << -1 << 0;
    QTest::newRow("unknown pointer keeps the last") << QList<int>{vbHourglass, 99} << vbHourglass
                                                    << int(Qt::WaitCursor) << int(err::InvalidPropertyValue);
}

void TestServices::pointerShouldKeepOneOverrideWhateverTheSequence()
{
    QFETCH(QList<int>, sequence);
    QFETCH(int, pointer);
    QFETCH(int, shape);
    QFETCH(int, error);

    ScreenPointer& screen = ScreenPointer::instance();
    QCOMPARE(screen.mousePointer(), vb::vbDefault);
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

void TestServices::doEventsShouldDeliverPendingEvents()
{
    bool delivered = false;
    QMetaObject::invokeMethod(
        this, [&] { delivered = true; }, Qt::QueuedConnection);
    QVERIFY(!delivered);
    EventPump::instance().DoEvents();
    QVERIFY(delivered);
}

void TestServices::sleepShouldBlockWithoutHandlingEvents_data()
{
    QTest::addColumn<int>("milliseconds");
    QTest::addColumn<int>("atLeast");
    QTest::newRow("none") << 0 << 0;
    QTest::newRow("negative") << -50 << 0;
    QTest::newRow("a while") << 120 << 120;
}

void TestServices::sleepShouldBlockWithoutHandlingEvents()
{
    QFETCH(int, milliseconds);
    QFETCH(int, atLeast);
    bool delivered = false;
    QMetaObject::invokeMethod(
        this, [&] { delivered = true; }, Qt::QueuedConnection);
    QElapsedTimer clock;
    clock.start();
    EventPump::instance().Sleep(milliseconds);
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed >= atLeast, qPrintable(QString::number(elapsed)));
    QVERIFY2(elapsed < atLeast + 2000, qPrintable(QString::number(elapsed)));
    QVERIFY(!delivered);
    EventPump::instance().DoEvents();
    QVERIFY(delivered);
}

QTEST_MAIN(TestServices)
#include "tst_services.moc"
