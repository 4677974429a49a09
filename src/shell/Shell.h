#pragma once

#include "protocol/Messages.h"
#include "shell/DocumentRegistry.h"
#include "shell/ShellOptions.h"

#include <memory>
#include <QObject>
#include <QPointer>

namespace tavro {

class DocumentPlugin;
class DocumentWindow;
class EmbeddedTransport;
class MainWindow;
class MessageTransport;
class ShellStatusService;

/// \brief The host shell as a whole: finds the screen, connects and signs in to the back end,
/// installs the real services and opens the main window.
///
/// \code
/// Shell shell(options);
/// QString error;
/// if (!shell.start(&error)) { report(error); return 2; }
/// shell.mainWindow()->show();
/// \endcode
class Shell final : public QObject
{
    Q_OBJECT
public:
    explicit Shell(ShellOptions options, QObject* parent = nullptr);
    ~Shell() override;

    /// Everything up to a shown main window with one document; false with \a error when the
    /// screen library or the back end is not usable.
    bool start(QString* error);

    MainWindow* mainWindow() const { return m_window.get(); }
    const ShellOptions& options() const { return m_options; }
    const protocol::Session& session() const { return m_session; }
    /// The embedded back end's SQLite file; empty in remote mode.
    QString databasePath() const { return m_databasePath; }
    /// A batch that can be searched right away (embedded mode), empty when none is known.
    QString sampleBatch() const { return m_sampleBatch; }

    /// Searches options().batch (or sampleBatch()) in the active document, waits for its rows
    /// and saves a picture of the main window to \a file; false with \a error.
    bool takeScreenshot(const QString& file, QString* error);

private:
    bool loadScreen(QString* error);
    bool connectEmbedded(QString* error);
    bool connectRemote(QString* error);
    /// Asks for user and password (user pre-filled); false when the officer cancels.
    bool askCredentials(QString* user, QString* password) const;
    void installServices();

    ShellOptions m_options;
    DocumentRegistration m_registration;
    DocumentPlugin* m_plugin = nullptr;
    std::unique_ptr<ShellStatusService> m_status;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<MessageTransport> m_transport; // until handed to the message service
    protocol::Session m_session;
    protocol::Reference m_reference;
    QString m_databasePath;
    QString m_sampleBatch;
    QString m_sourceText;
};

} // namespace tavro
