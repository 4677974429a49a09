#pragma once

#include <QMdiSubWindow>
#include <QString>

namespace tavro {

class HostedDocument;

/// \brief One host window holding one document.
///
/// The window carries the dynamic property "Tag" (unique in the shell) and its caption; the
/// document reads both when it is shown. Closing asks the document's CloseDocument(), and a
/// refusal keeps the window open; the document's BeforeUnload() runs when the window goes.
class DocumentWindow final : public QMdiSubWindow
{
    Q_OBJECT
public:
    DocumentWindow(const QString& tag, const QString& caption, QWidget* parent = nullptr);
    ~DocumentWindow() override;

    QString tag() const { return m_tag; }
    /// Places \a document's widget in this window; the window owns it from now on.
    void setDocument(HostedDocument* document);
    HostedDocument* document() const { return m_document; }
    /// True while the document is being asked whether it may close, and once it agreed.
    bool isClosing() const { return m_closing || m_closeApproved; }

signals:
    /// The document agreed to close; the window is about to go.
    void closeApproved(const QString& tag);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void unload();

    QString m_tag;
    HostedDocument* m_document = nullptr;
    bool m_closing = false;
    bool m_closeApproved = false;
    bool m_unloaded = false;
};

} // namespace tavro
