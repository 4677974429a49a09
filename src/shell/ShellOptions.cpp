#include "shell/ShellOptions.h"

#include <algorithm>
#include <QCommandLineParser>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace tavro {

void ShellOptions::addTo(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Tavro host shell: the Confirm Payment screen for daily receipt batches.\n"
                       "Without --server it runs on an embedded back end with demo data."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("server"),
                      QStringLiteral("Back end to sign in to (ws://host:port or wss://host:port); "
                                     "saved setting \"server\"."),
                      QStringLiteral("url")});
    parser.addOption(
        {QStringLiteral("user"),
         QStringLiteral("User for --server (asked when missing; the password is asked too unless "
                        "TAVRO_PASSWORD holds it)."),
         QStringLiteral("name")});
    parser.addOption(
        {QStringLiteral("db"),
         QStringLiteral("SQLite file of the embedded back end (created with demo data when new)."),
         QStringLiteral("file")});
    parser.addOption({QStringLiteral("timeout"),
                      QStringLiteral("Time-out of a request in milliseconds; saved setting \"timeoutMs\"."),
                      QStringLiteral("ms")});
    parser.addOption(
        {QStringLiteral("plugin-dir"),
         QStringLiteral("Folder holding the screen libraries (default: ../plugins from the program)."),
         QStringLiteral("dir")});
    parser.addOption({QStringLiteral("screenshot"),
                      QStringLiteral("Save a picture of the main window with a batch loaded, then quit."),
                      QStringLiteral("file")});
    parser.addOption(
        {QStringLiteral("screenshot-forms"),
         QStringLiteral("With --screenshot: also save receipt-details.png and funds-detail.png here."),
         QStringLiteral("dir")});
    parser.addOption(
        {QStringLiteral("batch"),
         QStringLiteral("Daily batch to search before --screenshot (default: the first unconfirmed)."),
         QStringLiteral("number")});
}

std::optional<QUrl> ShellOptions::parseServer(const QString& text, QString* error)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("ws") && scheme != QLatin1String("wss")) ||
        url.host().isEmpty() || url.port() <= 0) {
        if (error)
            *error = QStringLiteral("The server \"%1\" is not a WebSocket address: use ws://host:port or "
                                    "wss://host:port.")
                         .arg(text);
        return std::nullopt;
    }
    return url;
}

std::optional<ShellOptions> ShellOptions::read(const QCommandLineParser& parser, const QSettings& settings,
                                               QString* error)
{
    ShellOptions options;
    const QString server = parser.isSet(QStringLiteral("server"))
                               ? parser.value(QStringLiteral("server"))
                               : settings.value(QLatin1String(ServerKey)).toString();
    if (!server.trimmed().isEmpty()) {
        const auto url = parseServer(server, error);
        if (!url)
            return std::nullopt;
        options.server = *url;
    }
    options.user = parser.isSet(QStringLiteral("user")) ? parser.value(QStringLiteral("user"))
                                                        : settings.value(QLatin1String(UserKey)).toString();

    const QString timeout = parser.isSet(QStringLiteral("timeout"))
                                ? parser.value(QStringLiteral("timeout"))
                                : settings.value(QLatin1String(TimeoutKey), options.timeoutMs).toString();
    bool ok = false;
    const int ms = timeout.trimmed().toInt(&ok);
    if (!ok || ms <= 0) {
        if (error)
            *error =
                QStringLiteral("The time-out \"%1\" is not a positive number of milliseconds.").arg(timeout);
        return std::nullopt;
    }
    options.timeoutMs = ms;

    options.database = parser.isSet(QStringLiteral("db"))
                           ? parser.value(QStringLiteral("db"))
                           : settings.value(QLatin1String(DatabaseKey)).toString();
    if (!options.isEmbedded() && parser.isSet(QStringLiteral("db"))) {
        if (error)
            *error =
                QStringLiteral("--db names the embedded back end's file; it cannot be used with --server.");
        return std::nullopt;
    }
    options.pluginDir = parser.value(QStringLiteral("plugin-dir"));
    options.screenshot = parser.value(QStringLiteral("screenshot"));
    options.formScreenshots = parser.value(QStringLiteral("screenshot-forms"));
    if (!options.formScreenshots.isEmpty() && options.screenshot.isEmpty()) {
        if (error)
            *error = QStringLiteral("--screenshot-forms goes with --screenshot.");
        return std::nullopt;
    }
    options.batch = parser.value(QStringLiteral("batch")).trimmed();
    if (!options.batch.isEmpty() &&
        !std::all_of(options.batch.cbegin(), options.batch.cend(), [](QChar c) { return c.isDigit(); })) {
        if (error)
            *error = QStringLiteral("The batch \"%1\" is not a batch number.").arg(options.batch);
        return std::nullopt;
    }
    return options;
}

QString ShellOptions::defaultDatabase()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return QDir(folder).absoluteFilePath(QStringLiteral("tavro-demo.sqlite"));
}

} // namespace tavro
