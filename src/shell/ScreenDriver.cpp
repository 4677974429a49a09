#include "shell/ScreenDriver.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QThread>
#include <QTimer>

namespace tavro {

ScreenDriver::ScreenDriver(QWidget* document, QObject* parent) : QObject(parent), m_document(document) {}

bool ScreenDriver::search(const QString& number)
{
    if (!m_document)
        return false;
    auto* field = m_document->findChild<QWidget*>(QStringLiteral("mTxtCnfrmPymt"));
    auto* edit = field ? field->findChild<QLineEdit*>() : nullptr;
    auto* searchButton = m_document->findChild<QAbstractButton*>(QStringLiteral("mCmdCnfrmPymt_0"));
    if (!edit || !searchButton)
        return false;
    edit->setFocus();
    edit->selectAll();
    // Typed key by key, so the field's own key filtering and change handling run.
    for (const QChar c : number) {
        const int key = c.unicode();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(edit, &press);
        QCoreApplication::sendEvent(edit, &release);
    }
    searchButton->click();
    return true;
}

int ScreenDriver::rowCount() const
{
    if (!m_document)
        return 0;
    auto* grid = m_document->findChild<QWidget*>(QStringLiteral("mSdgCnfrmPymt"));
    auto* view = grid ? grid->findChild<QAbstractItemView*>() : nullptr;
    return view && view->model() ? view->model()->rowCount() : 0;
}

int ScreenDriver::waitForRows(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (rowCount() == 0 && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
    // Let the reply handling finish (totals, status) before anyone looks.
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
    return rowCount();
}

bool ScreenDriver::selectRow(int row)
{
    if (!m_document || row < 0 || row >= rowCount())
        return false;
    auto* view =
        m_document->findChild<QWidget*>(QStringLiteral("mSdgCnfrmPymt"))->findChild<QAbstractItemView*>();
    const QPoint at = view->visualRect(view->model()->index(row, 0)).center();
    QMouseEvent press(QEvent::MouseButtonPress, at, view->viewport()->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, view->viewport()->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view->viewport(), &press);
    QCoreApplication::sendEvent(view->viewport(), &release);
    return true;
}

bool ScreenDriver::captureForm(const QString& buttonName, const QString& file, int timeoutMs)
{
    auto* button = m_document ? m_document->findChild<QAbstractButton*>(buttonName) : nullptr;
    if (!button || !button->isEnabled())
        return false;
    // The form runs its own event loop inside the reply handling, so it is taken from a timer
    // that fires inside that loop.
    bool saved = false;
    bool done = false;
    int seenTicks = 0;
    QTimer timer;
    timer.setInterval(30);
    connect(&timer, &QTimer::timeout, this, [&] {
        auto* form = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!form || qobject_cast<QMessageBox*>(form))
            return;
        if (++seenTicks < 4)
            return; // let it lay out and paint its rows first
        saved = form->grab().save(file);
        done = true;
        timer.stop();
        form->close();
    });
    timer.start();
    button->click();
    QDeadlineTimer deadline(timeoutMs);
    while (!done && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(10);
    }
    return saved;
}

} // namespace tavro
