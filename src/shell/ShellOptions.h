#pragma once

#include <optional>
#include <QString>
#include <QUrl>

class QCommandLineParser;
class QSettings;

namespace tavro {

/// \brief How the shell was asked to run: from the command line over the saved settings.
struct ShellOptions
{
    /// The back end: empty for the embedded one, else ws://host:port or wss://host:port.
    QUrl server;
    /// User for a remote sign-in; empty asks.
    QString user;
    /// The embedded back end's SQLite file; empty for the default in the user's data folder.
    QString database;
    QString pluginDir;
    /// Saves a picture of the main window here once a batch is shown, then quits.
    QString screenshot;
    /// Saves pictures of the Receipt Details and Funds Detail forms into this folder too.
    QString formScreenshots;
    /// The batch searched before the picture is taken; empty picks the first unconfirmed one.
    QString batch;
    int timeoutMs = 30000;

    bool isEmbedded() const { return server.isEmpty(); }

    /// Settings keys, shared by the shell and its documentation.
    static constexpr char ServerKey[] = "server";
    static constexpr char UserKey[] = "user";
    static constexpr char TimeoutKey[] = "timeoutMs";
    static constexpr char DatabaseKey[] = "database";

    /// Adds the shell's options to \a parser (with --help and --version).
    static void addTo(QCommandLineParser& parser);
    /// Reads \a parser (already parsed) over \a settings; nullopt with \a error on a bad value.
    static std::optional<ShellOptions> read(const QCommandLineParser& parser, const QSettings& settings,
                                            QString* error);
    /// Checks that \a text names a WebSocket server; the URL or nullopt with \a error.
    static std::optional<QUrl> parseServer(const QString& text, QString* error);
    /// The SQLite file used when none is named.
    static QString defaultDatabase();
};

} // namespace tavro
