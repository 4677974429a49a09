#include "shell/Shell.h"

#include "common/HostedDocument.h"
#include "common/ReferenceData.h"
#include "common/UserProfile.h"
#include "common/VeskMessage.h"
#include "common/WebSocketTransport.h"
#include "runtime/ScreenPointer.h"
#include "shell/DocumentWindow.h"
#include "shell/EmbeddedTransport.h"
#include "shell/MainWindow.h"
#include "shell/ScreenDriver.h"
#include "shell/ServerBackend.h"
#include "shell/ShellStatusService.h"
#include "shell/StatusArea.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QFormLayout>
#include <QImageWriter>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QTimer>

namespace tavro {

namespace {
Q_LOGGING_CATEGORY(lcShell, "tavro.shell")
}

Shell::Shell(ShellOptions options, QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_registration(confirmPaymentRegistration())
{
}

Shell::~Shell()
{
    // Documents unload first (BeforeUnload disconnects them), then the back end goes, then the
    // services they used.
    m_window.reset();
    VeskMessage* service = VeskMessage::GetInstance();
    service->discardOutstanding();
    service->setTransport(nullptr);
    m_status.reset();
}

bool Shell::start(QString* error)
{
    if (!loadScreen(error))
        return false;
    // Opening (and on first use seeding) the store or reaching the server takes a moment.
    ScreenPointer::instance().setMousePointer(vb::vbHourglass);
    const bool connected = m_options.isEmbedded() ? connectEmbedded(error) : connectRemote(error);
    ScreenPointer::instance().setMousePointer(vb::vbDefault);
    if (!connected)
        return false;
    installServices();

    m_window = std::make_unique<MainWindow>(
        *m_status, [this](QWidget* parent) { return m_plugin->createDocument(parent); },
        m_registration.caption);
    m_window->setSource(m_sourceText, m_options.isEmbedded() ? MainWindow::SourceState::Demo
                                                             : MainWindow::SourceState::Live);
    m_window->resize(1180, 760);
    m_window->show();
    if (!m_window->openDocument()) {
        if (error)
            *error =
                QStringLiteral("The screen library \"%1\" made no document.").arg(m_registration.library);
        return false;
    }
    return true;
}

bool Shell::loadScreen(QString* error)
{
    const QString folder =
        m_options.pluginDir.isEmpty() ? DocumentRegistry::defaultFolder() : m_options.pluginDir;
    const PluginLookup found = DocumentRegistry::find(folder, m_registration);
    if (!found.ok()) {
        if (error)
            *error = found.error;
        return false;
    }
    qCInfo(lcShell) << "screen library" << found.path << "version"
                    << found.metaData.value("version").toString();
    m_plugin = DocumentRegistry::load(found.path, error);
    return m_plugin != nullptr;
}

bool Shell::connectEmbedded(QString* error)
{
    if (!hasEmbeddedBackend()) {
        if (error)
            *error = QStringLiteral("This build of the shell has no embedded back end; start it with "
                                    "--server ws://host:port.");
        return false;
    }
    m_databasePath = m_options.database.isEmpty() ? ShellOptions::defaultDatabase() : m_options.database;
    m_databasePath = QFileInfo(m_databasePath).absoluteFilePath();
    if (!QDir().mkpath(QFileInfo(m_databasePath).absolutePath())) {
        if (error)
            *error = QStringLiteral("The folder of %1 cannot be created.")
                         .arg(QDir::toNativeSeparators(m_databasePath));
        return false;
    }
    const QString path = m_databasePath;
    auto transport = std::make_unique<EmbeddedTransport>([path] { return makeEmbeddedBackend(path); });
    QString why;
    if (!transport->start(&why)) {
        if (error)
            *error = QStringLiteral("The embedded back end on %1 could not start: %2")
                         .arg(QDir::toNativeSeparators(path), why);
        return false;
    }
    const auto session = transport->signInLocal(&why);
    if (!session) {
        if (error)
            *error = QStringLiteral("The local user could not be signed in: %1").arg(why);
        return false;
    }
    m_session = *session;
    m_reference = transport->reference();
    m_sampleBatch = transport->firstUnconfirmedBatch();
    m_sourceText = tr("DEMO DATA — embedded back end (%1) — signed in as %2")
                       .arg(QFileInfo(path).fileName(), m_session.profile.userId);
    m_transport = std::move(transport);
    return true;
}

bool Shell::connectRemote(QString* error)
{
    QString user = m_options.user;
    QString password = qEnvironmentVariable("TAVRO_PASSWORD");
    if (user.isEmpty() || password.isEmpty()) {
        if (!askCredentials(&user, &password)) {
            if (error)
                *error = QStringLiteral("Sign-in to %1 was cancelled.").arg(m_options.server.toString());
            return false;
        }
    }
    auto transport = std::make_unique<WebSocketTransport>(m_options.server);
    // A request held through a reconnect must end before the message service gives up on it.
    transport->setHoldTimeoutMs(std::max(500, m_options.timeoutMs / 2));
    transport->setReconnectDelays(250, 5000);

    // Sign-in is answered by events; the shell has nothing to show before it, so it waits here.
    QEventLoop loop;
    QString failure;
    bool signedIn = false;
    const auto c1 = connect(transport.get(), &WebSocketTransport::signedIn, &loop, [&] {
        signedIn = true;
        loop.quit();
    });
    const auto c2 =
        connect(transport.get(), &WebSocketTransport::signInFailed, &loop, [&](const QString& reason) {
            failure = reason;
            loop.quit();
        });
    QTimer::singleShot(std::max(m_options.timeoutMs, 5000), &loop, &QEventLoop::quit);
    transport->signIn(user, password);
    if (!signedIn && failure.isEmpty())
        loop.exec();
    disconnect(c1);
    disconnect(c2);
    if (!signedIn) {
        if (error)
            *error =
                failure.isEmpty()
                    ? QStringLiteral("%1 did not answer the sign-in in time.")
                          .arg(m_options.server.toString())
                    : QStringLiteral("Sign-in to %1 failed: %2").arg(m_options.server.toString(), failure);
        return false;
    }
    // The transport has given the profile and the reference data to the common services.
    m_session.profile = transport->profile();
    m_sourceText = tr("%1 — signed in as %2").arg(m_options.server.toString(), m_session.profile.userId);
    connect(transport.get(), &WebSocketTransport::connectionStateChanged, this,
            [this](WebSocketTransport::State state) {
                if (!m_window)
                    return;
                if (state == WebSocketTransport::State::SignedIn)
                    m_window->setSource(m_sourceText, MainWindow::SourceState::Live);
                else if (state == WebSocketTransport::State::SignInRequired)
                    m_window->setSource(
                        tr("SIGNED OUT — the server ended the session; start the shell again"),
                        MainWindow::SourceState::Offline);
                else
                    m_window->setSource(tr("OFFLINE — reconnecting to %1").arg(m_options.server.toString()),
                                        MainWindow::SourceState::Offline);
            });
    m_transport = std::move(transport);
    return true;
}

bool Shell::askCredentials(QString* user, QString* password) const
{
    QDialog dialog;
    dialog.setWindowTitle(tr("Sign in to %1").arg(m_options.server.toString()));
    auto* userEdit = new QLineEdit(*user, &dialog);
    userEdit->setObjectName(QStringLiteral("signInUser"));
    auto* passwordEdit = new QLineEdit(&dialog);
    passwordEdit->setObjectName(QStringLiteral("signInPassword"));
    passwordEdit->setEchoMode(QLineEdit::Password);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    auto* form = new QFormLayout(&dialog);
    form->addRow(tr("&User:"), userEdit);
    form->addRow(tr("&Password:"), passwordEdit);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    (user->isEmpty() ? userEdit : passwordEdit)->setFocus();
    if (dialog.exec() != QDialog::Accepted)
        return false;
    *user = userEdit->text().trimmed();
    *password = passwordEdit->text();
    return !user->isEmpty();
}

void Shell::installServices()
{
    m_status = std::make_unique<ShellStatusService>();
    StatusService::setInstance(m_status.get());
    if (m_options.isEmbedded()) {
        // (The WebSocket transport sets both itself at each sign-in.)
        UserProfile::instance().setProfile(m_session.profile);
        ReferenceData::instance().setReference(m_reference);
    }
    VeskMessage* service = VeskMessage::GetInstance();
    service->setTimeoutMs(m_options.timeoutMs);
    service->setTransport(std::move(m_transport));
}

bool Shell::takeScreenshot(const QString& file, QString* error)
{
    DocumentWindow* window = m_window ? m_window->activeDocumentWindow() : nullptr;
    if (!window || !window->widget()) {
        if (error)
            *error = QStringLiteral("No document is open.");
        return false;
    }
    const QString batch = m_options.batch.isEmpty() ? m_sampleBatch : m_options.batch;
    ScreenDriver driver(window->widget());
    if (!driver.search(batch)) {
        if (error)
            *error = QStringLiteral("The document has no number field or Search button to drive.");
        return false;
    }
    if (driver.waitForRows(m_options.timeoutMs + 2000) == 0)
        qCWarning(lcShell) << "batch" << batch << "listed no rows; the picture shows an empty list";
    if (!m_options.formScreenshots.isEmpty()) {
        // The forms first, so the main picture shows the list as the officer left it.
        QDir().mkpath(m_options.formScreenshots);
        const QDir dir(m_options.formScreenshots);
        driver.selectRow(0);
        QCoreApplication::processEvents();
        if (!driver.captureForm(QStringLiteral("mCmdCnfrmPymt_2"),
                                dir.filePath(QStringLiteral("receipt-details.png")),
                                m_options.timeoutMs + 2000))
            qCWarning(lcShell) << "no Receipt Details picture";
        driver.selectRow(0);
        QCoreApplication::processEvents();
        if (!driver.captureForm(QStringLiteral("mCmdCnfrmPymt_3"),
                                dir.filePath(QStringLiteral("funds-detail.png")), m_options.timeoutMs + 2000))
            qCWarning(lcShell) << "no Funds Detail picture";
    }
    const QPixmap picture = m_window->grab();
    const QFileInfo info(file);
    QDir().mkpath(info.absolutePath());
    if (!picture.save(info.absoluteFilePath())) {
        if (error)
            *error =
                QStringLiteral("The picture could not be written to %1.").arg(QDir::toNativeSeparators(file));
        return false;
    }
    return true;
}

} // namespace tavro
