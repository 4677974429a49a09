#pragma once

#include "common/VeskMessage.h"
#include "shell/DocumentWindow.h"
#include "shell/MainWindow.h"
#include "shell/ScreenDriver.h"
#include "shell/Shell.h"

#include <memory>
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace tavro::test {

/// What a message box showed before the test answered it.
struct SeenBox
{
    QString text, title;
    bool answered = false;
};

/// Answers the next modal message box by clicking the button captioned \a button; gives up after
/// \a patienceMs (so a box that never comes cannot catch a later one). Check the result after
/// the box's exec() has returned.
inline std::shared_ptr<SeenBox> answerNextBox(const QString& button, int patienceMs = 10000)
{
    auto seen = std::make_shared<SeenBox>();
    auto* timer = new QTimer;
    const QDeadlineTimer patience(patienceMs);
    QObject::connect(timer, &QTimer::timeout, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box && !patience.hasExpired())
            return;
        timer->stop();
        timer->deleteLater();
        if (!box)
            return;
        *seen = {box->text(), box->windowTitle(), false};
        for (QAbstractButton* b : box->buttons())
            if (b->text().remove(u'&') == button)
                return seen->answered = true, b->click();
        box->reject();
    });
    timer->start(20);
    return seen;
}

/// The whole shell under test, its active document driven by the controls' object names.
class LiveShellTest : public QObject
{
protected:
    QTemporaryDir m_dir;
    std::unique_ptr<Shell> m_shell;

    MainWindow* main() const { return m_shell->mainWindow(); }
    QWidget* document() const { return main()->activeDocumentWindow()->widget(); }
    template <class T> T* control(const char* name) const { return document()->findChild<T*>(name); }
    int rows() const { return ScreenDriver(document()).rowCount(); }
    static void clickLeftEdge(QWidget* box)
    {
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    }
    // Ticks "take a number" and waits for it; the seven digits of the number, empty on a time-out.
    QString takeNumber()
    {
        auto* label = control<QLabel>("mLblDataCnfrmPymt_4");
        clickLeftEdge(control<QAbstractButton>("mChkNbr"));
        const QRegularExpression numberShape(QStringLiteral("^\\d{7}-\\d$"));
        const auto taken = [&] {
            return numberShape.match(label->text()).hasMatch() && label->text() != "0000000-0";
        };
        return QTest::qWaitFor(taken, 20000) ? label->text().left(7) : QString();
    }
};

} // namespace tavro::test
