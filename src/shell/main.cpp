#include "shell/MainWindow.h"
#include "shell/Shell.h"
#include "shell/ShellOptions.h"

#include <cstdio>
#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <QSettings>
#include <QTimer>

namespace {

// With a screen, the officer sees why the shell cannot start; without one (a picture run,
// offscreen) standard error is the only place.
void reportStartFailure(const QString& text, bool quiet)
{
    std::fprintf(stderr, "tavro-shell: %s\n", qPrintable(text));
    if (!quiet)
        QMessageBox::critical(nullptr, QStringLiteral("Tavro"), text);
}

} // namespace

// --help and --version answer on a machine without a display too, and --screenshot needs none.
static void useOffscreenWhenNoDisplay(int argc, char* argv[])
{
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qEnvironmentVariableIsSet("DISPLAY") ||
        qEnvironmentVariableIsSet("WAYLAND_DISPLAY"))
        return;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "-h" || arg == "--help" || arg == "--help-all" || arg == "-v" || arg == "--version" ||
            arg.startsWith("--screenshot")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            return;
        }
    }
}

int main(int argc, char* argv[])
{
    useOffscreenWhenNoDisplay(argc, argv);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tavro"));
    QApplication::setApplicationName(QStringLiteral("tavro-shell"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tavro"));
    QApplication::setApplicationVersion(QStringLiteral(TAVRO_VERSION));

    QCommandLineParser parser;
    tavro::ShellOptions::addTo(parser);
    parser.process(app); // --help and --version end here

    QSettings settings;
    QString error;
    const auto options = tavro::ShellOptions::read(parser, settings, &error);
    const bool quiet = parser.isSet(QStringLiteral("screenshot")) ||
                       QGuiApplication::platformName() == QLatin1String("offscreen");
    if (!options) {
        reportStartFailure(error, quiet);
        return 2;
    }

    tavro::Shell shell(*options);
    if (!shell.start(&error)) {
        reportStartFailure(error, quiet);
        return 2;
    }

    if (!options->screenshot.isEmpty()) {
        int status = 0;
        QTimer::singleShot(0, &app, [&] {
            if (!shell.takeScreenshot(options->screenshot, &error)) {
                std::fprintf(stderr, "tavro-shell: %s\n", qPrintable(error));
                status = 1;
            }
            app.exit(status);
        });
        app.exec();
        return status;
    }
    return app.exec();
}
