#pragma once

#include <functional>
#include <QHash>
#include <QMainWindow>
#include <QPointer>

class QAction;
class QMdiArea;
class QMdiSubWindow;

namespace tavro {

class DocumentWindow;
class HostedDocument;
class ShellStatusService;
class StatusArea;

/// \brief The host shell's main window: document windows, the numbered toolbar, a menu and
/// the status area.
///
/// Documents are driven only through HostedDocument: button 7 saves, button 6 asks
/// NeedSave() and starts FileNew() when nothing is left to answer, leaving a window asks
/// NeedSave(), closing a window or the shell asks CloseDocument().
class MainWindow final : public QMainWindow
{
    Q_OBJECT
public:
    /// Creates a document for a window that is its parent; null when none can be made.
    using DocumentFactory = std::function<HostedDocument*(QWidget* parent)>;

    MainWindow(ShellStatusService& status, DocumentFactory factory, const QString& caption,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    /// Opens one more document window and shows it; null when the factory gave no document.
    DocumentWindow* openDocument();
    DocumentWindow* activeDocumentWindow() const;
    QList<DocumentWindow*> documentWindows() const;

    QAction* toolbarAction(int button) const { return m_buttons.value(button); }
    QMdiArea* mdiArea() const { return m_mdi; }
    StatusArea* statusArea() const { return m_statusArea; }

    enum class SourceState
    {
        Live,   ///< a real back end, connected
        Demo,   ///< demo data: marked in the status area and the title
        Offline ///< the connection is lost and being restored
    };
    /// Names the data source in the status area (and the title for demo data).
    void setSource(const QString& description, SourceState state);

signals:
    void documentOpened(tavro::DocumentWindow* window);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createActions();
    void onButton(int button);
    void onWindowActivated(QMdiSubWindow* window);
    void showButtonsOf(const QString& tag);
    void onButtonChanged(const QString& tag, int button, bool enabled);
    void about();

    ShellStatusService& m_status;
    DocumentFactory m_factory;
    QString m_caption;
    QMdiArea* m_mdi;
    StatusArea* m_statusArea;
    QHash<int, QAction*> m_buttons;
    QPointer<DocumentWindow> m_lastActive;
    int m_nextTag = 1;
    bool m_askingNeedSave = false;
};

} // namespace tavro
