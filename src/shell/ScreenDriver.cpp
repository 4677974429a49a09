#include "shell/ScreenDriver.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QThread>

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

} // namespace tavro
