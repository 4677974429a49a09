// The shell as an officer meets it, offscreen on the embedded SQLite back end: how long from
// starting to "Ready", how long from clicking Search to "Displaying" for a batch of 20, 10,000
// and 100,000 receipts, and the peak memory of the whole shell with the largest batch listed.
//
//   build/release/bin/bench_shell [--runs N] [--counts 20,10000,100000] [--dir DIR] [--retain N]
//
// Every figure is measured in a fresh shell process (this program run again as a child), so
// that one measurement's memory and caches do not flatter the next. The stores are made once in
// DIR (default /tmp/tavro-bench-shell): default.db is the embedded default (the demo data the
// shell seeds on first use), shell-N.db the same plus one generated batch of N receipts.
#include "common/ReplyStore.h"
#include "common/StatusService.h"
#include "server/DatabaseConfig.h"
#include "server/Service.h"
#include "shell/DocumentWindow.h"
#include "shell/MainWindow.h"
#include "shell/Shell.h"
#include "shell/ShellStatusService.h"
#include "shell/StatusArea.h"

#include <algorithm>
#include <cstdio>
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>

using namespace tavro;

namespace {

QElapsedTimer g_sinceMain;

double ms(qint64 nanoseconds)
{
    return nanoseconds / 1e6;
}

double median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

/// "VmHWM" or "VmRSS" of this process in kB, from /proc.
qint64 memoryKb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QString text = QString::fromLatin1(status.readAll());
    const QRegularExpression line(QStringLiteral("^%1:\\s+(\\d+) kB").arg(QLatin1String(field)),
                                  QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = line.match(text);
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

/// Handles events until \a done holds or \a timeoutMs passes; false on time-out.
template <typename Done> bool waitUntil(Done done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    }
    return true;
}

// ---- the child: one shell --------------------------------------------------------------

struct StartedShell
{
    std::unique_ptr<Shell> shell;
    double readyMs = 0;
};

/// Starts the shell on \a database and waits for "Ready"; the time counts from main().
StartedShell startShell(const QString& database)
{
    ShellOptions options;
    options.database = database;
    StartedShell started;
    started.shell = std::make_unique<Shell>(options);
    QString error;
    if (!started.shell->start(&error)) {
        std::fprintf(stderr, "bench_shell: the shell did not start: %s\n", qPrintable(error));
        std::exit(2);
    }
    StatusArea* status = started.shell->mainWindow()->statusArea();
    if (!waitUntil([&] { return status->text() == QLatin1String("Ready"); }, 30000)) {
        std::fprintf(stderr, "bench_shell: no \"Ready\" (status: %s)\n", qPrintable(status->text()));
        std::exit(2);
    }
    started.readyMs = ms(g_sinceMain.nsecsElapsed());
    return started;
}

int childStart(const QString& database)
{
    const StartedShell started = startShell(database);
    // The officer sees it once the window has painted.
    QCoreApplication::processEvents();
    std::printf("ready_ms %.3f painted_ms %.3f\n", started.readyMs, ms(g_sinceMain.nsecsElapsed()));
    return 0;
}

int childSearch(const QString& database, const QString& batch, int runs, int retain)
{
    const StartedShell started = startShell(database);
    if (retain > 0)
        ReplyStore::instance().setRetainPerDocument(retain);
    auto* status = dynamic_cast<ShellStatusService*>(&StatusService::instance());
    QWidget* document = started.shell->mainWindow()->activeDocumentWindow()->widget();
    auto* field = document->findChild<QWidget*>(QStringLiteral("mTxtCnfrmPymt"));
    auto* edit = field ? field->findChild<QLineEdit*>() : nullptr;
    auto* search = document->findChild<QAbstractButton*>(QStringLiteral("mCmdCnfrmPymt_0"));
    auto* grid = document->findChild<QWidget*>(QStringLiteral("mSdgCnfrmPymt"));
    if (!status || !edit || !search || !grid) {
        std::fprintf(stderr, "bench_shell: the document's number field, Search button or grid is missing\n");
        return 2;
    }

    // Typed key by key, as the officer does, so the field's own handling runs.
    edit->setFocus();
    edit->selectAll();
    for (const QChar c : batch) {
        QKeyEvent press(QEvent::KeyPress, c.unicode(), Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, c.unicode(), Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(edit, &press);
        QCoreApplication::sendEvent(edit, &release);
    }

    QString shown;
    qint64 displayedAt = -1;
    QElapsedTimer clock;
    QObject::connect(status, &ShellStatusService::statusChanged, status, [&](const QString& text, bool) {
        shown = text;
        if (text.startsWith(QLatin1String("Displaying")) && displayedAt < 0)
            displayedAt = clock.nsecsElapsed();
    });
    std::printf("ready_ms %.3f\n", started.readyMs);
    for (int run = 0; run < runs; ++run) {
        if (!search->isEnabled()) {
            std::fprintf(stderr, "bench_shell: Search is disabled (status: %s)\n", qPrintable(shown));
            return 2;
        }
        displayedAt = -1;
        clock.start();
        search->click();
        if (!waitUntil([&] { return displayedAt >= 0; }, 120000)) {
            std::fprintf(stderr, "bench_shell: no \"Displaying\" (status: %s)\n", qPrintable(shown));
            return 2;
        }
        // Then the rows reach the view and it paints: what is left of the click's work.
        QCoreApplication::processEvents();
        grid->repaint();
        const qint64 paintedAt = clock.nsecsElapsed();
        const auto* view = grid->findChild<QAbstractItemView*>();
        std::printf("search_ms %.3f painted_ms %.3f rows %d status %s\n", ms(displayedAt), ms(paintedAt),
                    view && view->model() ? view->model()->rowCount() : -1, qPrintable(shown));
        // The peak with one batch listed, then what later searches of the same batch add.
        if (run == 0)
            std::printf("first_vmhwm_kb %lld\n", memoryKb("VmHWM"));
        std::fflush(stdout);
    }
    std::printf("vmhwm_kb %lld vmrss_kb %lld\n", memoryKb("VmHWM"), memoryKb("VmRSS"));
    return 0;
}

// ---- the parent: stores, children, figures ------------------------------------------------

/// A store with the demo data, and one generated batch of \a receipts when it is above 0;
/// the generated batch's number (empty without one).
QString makeStore(const QString& path, int receipts)
{
    if (!QFileInfo::exists(path)) {
        server::Service service(server::DatabaseConfig::sqlite(path));
        QString error;
        if (!service.initialize(&error) || !service.seedDemo(&error) ||
            (receipts > 0 && !service.generate(1, receipts, &error))) {
            std::fprintf(stderr, "bench_shell: %s: %s\n", qPrintable(path), qPrintable(error));
            std::exit(2);
        }
    }
    if (receipts <= 0)
        return {};
    QString batch;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench"));
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(QStringLiteral("SELECT MAX(dly_rcpt_nbr) FROM dly_rcpt")) && query.next())
                batch = QStringLiteral("%1").arg(query.value(0).toLongLong(), 7, 10, QLatin1Char('0'));
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench"));
    return batch;
}

/// Runs this program as a child with \a arguments; its standard output, and the time from
/// starting the process to its first line naming "ready_ms".
QString runChild(const QStringList& arguments, double* spawnToReadyMs)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    child.start(QCoreApplication::applicationFilePath(), arguments);
    QString output;
    double ready = -1;
    while (child.state() != QProcess::NotRunning || child.bytesAvailable() > 0) {
        if (!child.canReadLine() && !child.waitForReadyRead(600000) &&
            child.state() == QProcess::NotRunning && !child.canReadLine()) {
            output += QString::fromLocal8Bit(child.readAll());
            break;
        }
        while (child.canReadLine()) {
            const QString line = QString::fromLocal8Bit(child.readLine());
            if (ready < 0 && line.startsWith(QLatin1String("ready_ms")))
                ready = ms(timer.nsecsElapsed());
            output += line;
        }
    }
    child.waitForFinished(-1);
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        std::fprintf(stderr, "bench_shell: child %s failed:\n%s\n", qPrintable(arguments.join(u' ')),
                     qPrintable(output));
        std::exit(2);
    }
    if (spawnToReadyMs)
        *spawnToReadyMs = ready;
    return output;
}

/// Every number after \a key in \a output, in order.
QList<double> valuesOf(const QString& output, const QString& key)
{
    QList<double> values;
    const QRegularExpression pattern(QStringLiteral("\\b%1 ([0-9.]+)").arg(key));
    for (auto it = pattern.globalMatch(output); it.hasNext();)
        values.append(it.next().captured(1).toDouble());
    return values;
}

int parent(const QCommandLineParser& parser)
{
    const int runs = std::max(1, parser.value(QStringLiteral("runs")).toInt());
    const QString dir = parser.value(QStringLiteral("dir"));
    QList<int> counts;
    for (const QString& count : parser.value(QStringLiteral("counts")).split(u',', Qt::SkipEmptyParts))
        counts.append(count.toInt());
    QDir().mkpath(dir);

    // Start to "Ready" on the embedded default; the first start (which seeds the store) is not counted.
    const QString defaultStore = QDir(dir).filePath(QStringLiteral("default.db"));
    makeStore(defaultStore, 0);
    runChild({QStringLiteral("--child-start"), defaultStore}, nullptr);
    QList<double> inProcess, painted, spawned;
    for (int run = 0; run < runs; ++run) {
        double spawn = 0;
        const QString output = runChild({QStringLiteral("--child-start"), defaultStore}, &spawn);
        inProcess << valuesOf(output, QStringLiteral("ready_ms")).value(0);
        painted << valuesOf(output, QStringLiteral("painted_ms")).value(0);
        spawned << spawn;
    }
    std::printf("start to \"Ready\" (%d runs): main() to Ready median %.1f ms, to painted %.1f ms, process "
                "start to Ready %.1f ms; target 1000 ms, ratio %.2f\n",
                runs, median(inProcess), median(painted), median(spawned), median(spawned) / 1000.0);

    const QMap<int, double> targets{{20, 30.0}, {10000, 300.0}, {100000, 2000.0}};
    std::printf("%9s  %8s  %10s  %10s  %10s  %10s  %6s  %11s  %13s\n", "receipts", "rows", "first_ms",
                "median_ms", "painted_ms", "target_ms", "ratio", "peak_rss_mb", "after_runs_mb");
    for (const int count : counts) {
        const QString store = QDir(dir).filePath(QStringLiteral("shell-%1.db").arg(count));
        const QString batch = makeStore(store, count);
        const QString output =
            runChild({QStringLiteral("--child-search"), store, batch, QString::number(runs),
                      QStringLiteral("--retain"), parser.value(QStringLiteral("retain"))},
                     nullptr);
        const QList<double> searches = valuesOf(output, QStringLiteral("search_ms"));
        const double target = targets.value(count, 0);
        const double m = median(searches);
        std::printf("%9d  %8.0f  %10.1f  %10.1f  %10.1f  %10.0f  %6.2f  %11.1f  %13.1f\n", count,
                    valuesOf(output, QStringLiteral("rows")).value(0), searches.value(0), m,
                    median(valuesOf(output, QStringLiteral("painted_ms"))), target,
                    target > 0 ? m / target : 0,
                    valuesOf(output, QStringLiteral("first_vmhwm_kb")).value(0) / 1024.0,
                    valuesOf(output, QStringLiteral("vmhwm_kb")).value(0) / 1024.0);
        std::fflush(stdout);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    g_sinceMain.start();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tavro"));
    QApplication::setApplicationName(QStringLiteral("bench_shell"));

    QCommandLineParser parser;
    parser.addOption({QStringLiteral("runs"), QStringLiteral("Measurements per figure."), QStringLiteral("N"),
                      QStringLiteral("5")});
    parser.addOption({QStringLiteral("counts"), QStringLiteral("Batch sizes searched."),
                      QStringLiteral("LIST"), QStringLiteral("20,10000,100000")});
    parser.addOption({QStringLiteral("dir"), QStringLiteral("Folder of the stores."), QStringLiteral("DIR"),
                      QStringLiteral("/tmp/tavro-bench-shell")});
    parser.addOption(
        {QStringLiteral("retain"),
         QStringLiteral("Replies kept per document during the searches (0: the shell's own number); "
                        "shows what the kept replies cost."),
         QStringLiteral("N"), QStringLiteral("0")});
    parser.addOption({QStringLiteral("child-start"), QStringLiteral("(internal)")});
    parser.addOption({QStringLiteral("child-search"), QStringLiteral("(internal)")});
    parser.addPositionalArgument(QStringLiteral("args"), QStringLiteral("(internal)"));
    parser.addHelpOption();
    parser.process(app);

    const QStringList args = parser.positionalArguments();
    if (parser.isSet(QStringLiteral("child-start")) && args.size() == 1)
        return childStart(args[0]);
    if (parser.isSet(QStringLiteral("child-search")) && args.size() == 3)
        return childSearch(args[0], args[1], args[2].toInt(), parser.value(QStringLiteral("retain")).toInt());
    return parent(parser);
}
