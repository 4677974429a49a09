#include "shell/DocumentWindow.h"

#include "common/HostedDocument.h"

#include <QCloseEvent>
#include <QPointer>

namespace tavro {

DocumentWindow::DocumentWindow(const QString& tag, const QString& caption, QWidget* parent)
    : QMdiSubWindow(parent), m_tag(tag)
{
    setObjectName(QStringLiteral("window_") + tag);
    setProperty("Tag", tag);
    setWindowTitle(caption);
    setAttribute(Qt::WA_DeleteOnClose);
}

DocumentWindow::~DocumentWindow()
{
    unload();
}

void DocumentWindow::setDocument(HostedDocument* document)
{
    m_document = document;
    if (document)
        setWidget(document->documentWidget());
}

void DocumentWindow::unload()
{
    if (m_unloaded || !m_document)
        return;
    m_unloaded = true;
    m_document->BeforeUnload();
}

void DocumentWindow::closeEvent(QCloseEvent* event)
{
    if (m_closeApproved) {
        QMdiSubWindow::closeEvent(event);
        return;
    }
    // The document may wait for its save's reply inside CloseDocument(), handling events;
    // a second close arriving meanwhile must not ask it again.
    if (m_closing) {
        event->ignore();
        return;
    }
    bool mayClose = true;
    if (m_document) {
        QPointer<DocumentWindow> self(this);
        m_closing = true;
        mayClose = m_document->CloseDocument();
        if (!self)
            return;
        m_closing = false;
    }
    if (!mayClose) {
        event->ignore();
        return;
    }
    m_closeApproved = true;
    emit closeApproved(m_tag);
    unload();
    QMdiSubWindow::closeEvent(event);
}

} // namespace tavro
