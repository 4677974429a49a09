#include "shell/MainWindow.h"

#include "common/HostedDocument.h"
#include "shell/DocumentWindow.h"
#include "shell/ShellStatusService.h"
#include "shell/StatusArea.h"
#include "shell/ToolbarButtons.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

namespace tavro {

MainWindow::MainWindow(ShellStatusService& status, DocumentFactory factory, const QString& caption,
                       QWidget* parent)
    : QMainWindow(parent), m_status(status), m_factory(std::move(factory)), m_caption(caption),
      m_mdi(new QMdiArea(this)), m_statusArea(new StatusArea(this))
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(tr("Tavro"));
    m_mdi->setObjectName(QStringLiteral("documentArea"));
    // Tabs show each window's caption and let the officer move between windows at a glance.
    m_mdi->setViewMode(QMdiArea::TabbedView);
    m_mdi->setTabsClosable(true);
    m_mdi->setTabsMovable(true);
    m_mdi->setDocumentMode(true);
    setCentralWidget(m_mdi);
    statusBar()->addWidget(m_statusArea, 1);
    createActions();

    connect(m_mdi, &QMdiArea::subWindowActivated, this, &MainWindow::onWindowActivated);
    connect(&m_status, &ShellStatusService::buttonChanged, this, &MainWindow::onButtonChanged);
    connect(&m_status, &ShellStatusService::statusChanged, m_statusArea, &StatusArea::showText);
    connect(&m_status, &ShellStatusService::readyChanged, m_statusArea, &StatusArea::setReady);
    m_statusArea->showText(m_status.statusText(), m_status.isWarning());
    m_statusArea->setReady(m_status.isReady());
    showButtonsOf({});
}

MainWindow::~MainWindow()
{
    // Windows go first so that each document's BeforeUnload runs while the shell still stands.
    const auto windows = documentWindows();
    for (DocumentWindow* window : windows)
        delete window;
}

void MainWindow::createActions()
{
    QToolBar* bar = addToolBar(tr("Document"));
    bar->setObjectName(QStringLiteral("documentToolbar"));
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    QMenu* fileMenu = menuBar()->addMenu(tr("&File"));

    QAction* open =
        fileMenu->addAction(tr("&Open %1 window").arg(m_caption), this, [this] { openDocument(); });
    open->setObjectName(QStringLiteral("openDocumentAction"));
    open->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+N")));
    fileMenu->addSeparator();

    for (const ToolbarButton& button : toolbar::Buttons) {
        auto* action = new QAction(style()->standardIcon(button.icon), tr(button.text), this);
        action->setObjectName(QStringLiteral("toolbarButton%1").arg(button.number));
        action->setData(button.number);
        action->setToolTip(tr(button.toolTip));
        action->setStatusTip(tr(button.toolTip));
        action->setShortcut(button.standardKey != QKeySequence::UnknownKey
                                ? QKeySequence(button.standardKey)
                                : QKeySequence(QString::fromLatin1(button.shortcut)));
        const int number = button.number;
        connect(action, &QAction::triggered, this, [this, number] { onButton(number); });
        m_buttons.insert(number, action);
        bar->addAction(action);
        fileMenu->addAction(action);
        if (number == toolbar::Close)
            bar->addSeparator();
    }
    fileMenu->addSeparator();
    QAction* quit = fileMenu->addAction(tr("&Quit"), this, &QWidget::close);
    quit->setObjectName(QStringLiteral("quitAction"));
    quit->setShortcut(QKeySequence::Quit);

    QMenu* windowMenu = menuBar()->addMenu(tr("&Window"));
    windowMenu->addAction(tr("&Tile"), m_mdi, &QMdiArea::tileSubWindows);
    windowMenu->addAction(tr("&Cascade"), m_mdi, &QMdiArea::cascadeSubWindows);
    windowMenu->addSeparator();
    windowMenu->addAction(tr("Ne&xt"), QKeySequence::NextChild, m_mdi, &QMdiArea::activateNextSubWindow);
    windowMenu->addAction(tr("Pre&vious"), QKeySequence::PreviousChild, m_mdi,
                          &QMdiArea::activatePreviousSubWindow);

    QMenu* helpMenu = menuBar()->addMenu(tr("&Help"));
    helpMenu->addAction(tr("&About"), this, &MainWindow::about);
}

DocumentWindow* MainWindow::openDocument()
{
    const QString tag = QStringLiteral("CNFRMPYMT-%1").arg(m_nextTag++);
    auto* window = new DocumentWindow(tag, m_caption);
    m_status.addWindow(tag);
    m_status.setOpeningWindow(tag);
    HostedDocument* document = m_factory ? m_factory(window) : nullptr;
    m_status.setOpeningWindow({});
    if (!document) {
        m_status.removeWindow(tag);
        delete window;
        return nullptr;
    }
    window->setDocument(document);
    // Queued: while destroyed() is raised the window is half gone, and the weak pointer to the
    // last active window is only cleared after it.
    connect(
        window, &QObject::destroyed, this,
        [this, tag] {
            m_status.removeWindow(tag);
            if (!activeDocumentWindow())
                showButtonsOf({});
        },
        Qt::QueuedConnection);
    m_mdi->addSubWindow(window);
    window->resize(m_mdi->size().boundedTo(window->sizeHint().expandedTo(QSize(900, 600))));
    window->showMaximized();
    m_mdi->setActiveSubWindow(window);
    emit documentOpened(window);
    return window;
}

DocumentWindow* MainWindow::activeDocumentWindow() const
{
    if (auto* active = qobject_cast<DocumentWindow*>(m_mdi->activeSubWindow()))
        return active;
    // With a modal box or another top-level window active, QMdiArea reports no active window;
    // the toolbar still belongs to the one the officer last worked in.
    return m_lastActive && !m_lastActive->isClosing() ? m_lastActive.data() : nullptr;
}

QList<DocumentWindow*> MainWindow::documentWindows() const
{
    QList<DocumentWindow*> windows;
    const auto subWindows = m_mdi->subWindowList(QMdiArea::CreationOrder);
    for (QMdiSubWindow* w : subWindows)
        if (auto* window = qobject_cast<DocumentWindow*>(w))
            windows.append(window);
    return windows;
}

void MainWindow::setSource(const QString& description, SourceState state)
{
    m_statusArea->setSource(description, state != SourceState::Live);
    setWindowTitle(state == SourceState::Demo ? tr("Tavro — %1 [demo data]").arg(m_caption)
                                              : tr("Tavro — %1").arg(m_caption));
}

void MainWindow::onButton(int button)
{
    DocumentWindow* window = activeDocumentWindow();
    if (!window || !window->document()) {
        if (button == toolbar::New)
            openDocument();
        return;
    }
    HostedDocument* document = window->document();
    switch (button) {
    case toolbar::Save:
        document->SaveData();
        break;
    case toolbar::New:
        // True means the officer chose to save or cancelled: either way the entry stays.
        if (!document->NeedSave())
            document->FileNew();
        break;
    case toolbar::Close:
        window->close();
        break;
    default: {
        const ToolbarButton* info = toolbar::find(button);
        QString name = info ? tr(info->text) : QString::number(button);
        name.remove(QLatin1Char('&'));
        m_statusArea->showText(tr("%1 is not offered by %2.").arg(name, window->windowTitle()), true);
        break;
    }
    }
}

void MainWindow::onWindowActivated(QMdiSubWindow* subWindow)
{
    auto* window = qobject_cast<DocumentWindow*>(subWindow);
    if (!window)
        return; // the shell lost the focus to a box or another program; nothing was left
    if (window == m_lastActive) {
        showButtonsOf(window->tag());
        return;
    }
    QPointer<DocumentWindow> left = m_lastActive;
    m_lastActive = window;
    showButtonsOf(window->tag());
    if (left && left->document() && !left->isClosing() && !m_askingNeedSave) {
        m_askingNeedSave = true;
        left->document()->NeedSave();
        m_askingNeedSave = false;
    }
}

void MainWindow::showButtonsOf(const QString& tag)
{
    for (auto it = m_buttons.cbegin(); it != m_buttons.cend(); ++it) {
        const bool enabled =
            tag.isEmpty() ? it.key() == toolbar::New : m_status.isButtonEnabled(tag, it.key());
        it.value()->setEnabled(enabled);
    }
}

void MainWindow::onButtonChanged(const QString& tag, int button, bool enabled)
{
    DocumentWindow* active = activeDocumentWindow();
    if (active && active->tag() == tag)
        if (QAction* action = m_buttons.value(button))
            action->setEnabled(enabled);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Each window is brought forward before its document is asked, so the officer sees which
    // one the question is about; that is not "leaving" the other window, so no NeedSave.
    const auto windows = documentWindows();
    // A document still waiting for the reply to the save its close started cannot be asked
    // again (Qt would report that window closed); the shell stays until it has decided.
    for (DocumentWindow* window : windows) {
        if (window->isClosing() && window->isVisible()) {
            event->ignore();
            return;
        }
    }
    m_askingNeedSave = true;
    for (DocumentWindow* window : windows) {
        m_mdi->setActiveSubWindow(window);
        if (!window->close()) {
            m_askingNeedSave = false;
            event->ignore();
            return;
        }
    }
    m_askingNeedSave = false;
    event->accept();
}

void MainWindow::about()
{
    QMessageBox::about(this, tr("About Tavro"),
                       tr("<b>Tavro — %1</b><br>Version %2<br>Daily receipt batch confirmation for revenue "
                          "officers.")
                           .arg(m_caption, QApplication::applicationVersion()));
}

} // namespace tavro
