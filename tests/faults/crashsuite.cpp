// tavro-crashsuite: kills tavro-server with SIGKILL at random moments under a load of
// confirmations and unconfirmations, restarts it, and checks the store after every restart.

#include "LoadRun.h"
#include "ServerTestSupport.h"
#include "StoreCheck.h"

#include <cstdio>
#include <memory>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

using namespace tavro;

namespace {

void say(const QString& text)
{
    std::fprintf(stdout, "%s\n", qPrintable(text));
    std::fflush(stdout);
}

struct Settings
{
    QString store;
    int kills = 20;
    int batches = 10000;
    int receipts = 2;
    int clients = 4;
    int maxDelayMs = 1000;
    quint64 seed = 0;
    QString server;
    QString loadgen;
    bool resend = false;
};

class Suite
{
public:
    explicit Suite(const Settings& settings) : m_settings(settings), m_random(settings.seed) {}
    ~Suite()
    {
        stopServer();
        QSqlDatabase::removeDatabase(QStringLiteral("crashsuite"));
    }

    bool run();

private:
    bool fail(const QString& why)
    {
        m_dir.setAutoRemove(false);
        say(QStringLiteral("FAILED: %1\n(store, journal and logs kept in %2)").arg(why, m_dir.path()));
        return false;
    }
    // Runs tavro-server once for administration, \a input on its standard input.
    bool administer(const QStringList& arguments, const QByteArray& input = {})
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(m_settings.server, QStringList{QStringLiteral("--db"), m_url} + arguments);
        process.write(input);
        process.closeWriteChannel();
        if (!process.waitForFinished(120000) || process.exitCode() != 0) {
            m_problem = QString::fromLocal8Bit(process.readAll()).right(2000);
            return false;
        }
        return true;
    }
    bool prepareStore();
    bool startServer();
    void stopServer()
    {
        if (m_server && m_server->state() != QProcess::NotRunning) {
            m_server->kill();
            m_server->waitForFinished();
        }
    }
    bool round(int kill);
    // What every load client run is given: the server, the user, the clients and the journal.
    QStringList loadArguments(const QString& journal) const
    {
        return {QStringLiteral("--url"),        QStringLiteral("ws://127.0.0.1:%1").arg(m_port),
                QStringLiteral("--user"),       QStringLiteral("crash"),
                QStringLiteral("--password"),   QStringLiteral("crash"),
                QStringLiteral("--clients"),    QString::number(m_settings.clients),
                QStringLiteral("--timeout-ms"), QStringLiteral("10000"),
                QStringLiteral("--journal"),    journal};
    }
    // Reads the journal and checks the store with a connection of its own, opened after the restart.
    bool check(const QString& journal, faults::StoreReport* report, QList<loadgen::JournalEntry>* entries)
    {
        QString why;
        const auto read = loadgen::readJournal(journal, &why);
        if (!read)
            return fail(why);
        *entries = *read;
        QSqlDatabase db = QSqlDatabase::database(QStringLiteral("crashsuite"));
        *report = faults::checkStore(db, m_config.dialect, *entries, 2000001, 2000000 + m_settings.batches);
        db.close();
        return true;
    }

    Settings m_settings;
    QRandomGenerator m_random;
    QTemporaryDir m_dir;
    std::unique_ptr<server::test::PgCluster> m_cluster;
    server::DatabaseConfig m_config;
    QString m_url;
    QString m_serviceUrl;
    quint16 m_port = 0;
    std::unique_ptr<QProcess> m_server;
    QString m_problem;
    qint64 m_nextBatch = 2000001;
    qint64 m_mostPerRound = 0;
    qint64 m_unanswered = 0;
    qint64 m_landed = 0;
    qint64 m_resent = 0;
    faults::StoreReport m_last;
};

bool Suite::prepareStore()
{
    if (m_settings.store == u"sqlite") {
        m_config = server::DatabaseConfig::sqlite(m_dir.filePath(QStringLiteral("store.db")));
        m_url = m_serviceUrl = QStringLiteral("sqlite:") + m_config.path;
    } else {
        m_cluster = std::make_unique<server::test::PgCluster>();
        if (!m_cluster->start(&m_problem) ||
            !m_cluster->execute(QStringLiteral("CREATE DATABASE crash"), &m_problem))
            return false;
        m_config = m_cluster->config(QStringLiteral("crash"));
        const QString url = QStringLiteral("postgresql://%1@/%2?host=%3&port=%4");
        m_url = url.arg(m_config.user, m_config.name, m_config.host).arg(m_config.port);
        // The server runs as the service role --init creates, as in production; the store's
        // owner only prepares it.
        m_serviceUrl =
            url.arg(QStringLiteral("tavro_service"), m_config.name, m_config.host).arg(m_config.port);
    }
    if (!administer({QStringLiteral("--init"), QStringLiteral("--generate"),
                     QString::number(m_settings.batches), QString::number(m_settings.receipts)}) ||
        !administer({QStringLiteral("--add-user"), QStringLiteral("crash"), QStringLiteral("--role"),
                     QStringLiteral("confirm"), QStringLiteral("--officer"), QStringLiteral("9000"),
                     QStringLiteral("--trp"), QStringLiteral("TRP01"), QStringLiteral("--district"),
                     QStringLiteral("D01")},
                    "crash\n"))
        return false;

    QSqlDatabase db = QSqlDatabase::addDatabase(
        m_config.dialect == server::Dialect::Sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"),
        QStringLiteral("crashsuite"));
    if (m_config.dialect == server::Dialect::Sqlite) {
        db.setDatabaseName(m_config.path);
    } else {
        db.setHostName(m_config.host);
        db.setPort(m_config.port);
        db.setDatabaseName(m_config.name);
        db.setUserName(m_config.user);
    }
    QTcpServer probe; // a free port for the server, the same one after every restart
    m_port = probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
    return m_port != 0;
}

bool Suite::startServer()
{
    m_server = std::make_unique<QProcess>();
    m_server->setStandardOutputFile(m_dir.filePath(QStringLiteral("server.log")), QIODevice::Append);
    m_server->setStandardErrorFile(m_dir.filePath(QStringLiteral("server.log")), QIODevice::Append);
    m_server->start(m_settings.server, {QStringLiteral("--db"), m_serviceUrl, QStringLiteral("--listen"),
                                        QStringLiteral("127.0.0.1:%1").arg(m_port)});
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 20000 && m_server->state() != QProcess::NotRunning) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        if (probe.waitForConnected(200))
            return true;
        QThread::msleep(20);
    }
    m_problem = QStringLiteral("the server did not start listening (see server.log)");
    return false;
}

bool Suite::round(int kill)
{
    const QString journal = m_dir.filePath(QStringLiteral("journal.txt"));
    const qint64 before = QFileInfo(journal).size();
    QProcess load;
    load.setStandardOutputFile(m_dir.filePath(QStringLiteral("load%1.txt").arg(kill)));
    load.setStandardErrorFile(m_dir.filePath(QStringLiteral("load%1.txt").arg(kill)), QIODevice::Append);
    load.start(m_settings.loadgen,
               loadArguments(journal) +
                   QStringList{QStringLiteral("--seconds"), QStringLiteral("600"), QStringLiteral("--warmup"),
                               QStringLiteral("0"), QStringLiteral("--mix"),
                               QStringLiteral("confirm:2,unconfirm"), QStringLiteral("--batches"),
                               QString::number(m_settings.batches), QStringLiteral("--receipts-per-batch"),
                               QString::number(m_settings.receipts), QStringLiteral("--confirm-from"),
                               QString::number(m_nextBatch)});

    // The kill comes at a random moment after the first save of this round went out.
    QElapsedTimer clock;
    clock.start();
    while (QFileInfo(journal).size() == before) {
        if (load.state() == QProcess::NotRunning || clock.elapsed() > 30000)
            return fail(QStringLiteral("round %1: the load client sent no save (see load%1.txt)").arg(kill));
        QThread::msleep(5);
    }
    const qint64 firstSave = clock.elapsed();
    const int delay = int(m_random.bounded(m_settings.maxDelayMs + 1));
    QThread::msleep(ulong(delay));
    m_server->kill();
    m_server->waitForFinished();
    clock.restart();
    if (!load.waitForFinished(20000)) {
        load.kill();
        load.waitForFinished();
        return fail(QStringLiteral("round %1: the load client did not end when the server died").arg(kill));
    }

    const qint64 loadEnded = clock.restart();
    if (!startServer())
        return fail(QStringLiteral("round %1: %2").arg(kill).arg(m_problem));
    const qint64 restarted = clock.restart();
    faults::StoreReport report;
    QList<loadgen::JournalEntry> entries;
    if (!check(journal, &report, &entries))
        return false;
    const qint64 checked = clock.restart();
    const qint64 firstOfRound = m_nextBatch;
    for (const loadgen::JournalEntry& entry : std::as_const(entries))
        m_nextBatch = std::max(m_nextBatch, entry.batch + 1);
    m_mostPerRound = std::max(m_mostPerRound, m_nextBatch - firstOfRound);
    const QList<loadgen::JournalEntry> open = loadgen::unacknowledged(entries);
    // Without resending, what was open stays open: the counts are the journal's.
    m_unanswered = m_settings.resend ? m_unanswered + open.size() : open.size();
    m_landed = m_settings.resend ? m_landed + report.landedUnacknowledged : report.landedUnacknowledged;
    say(QStringLiteral("kill %1/%2 after %3 ms of saves: %4 acknowledged, %5 unanswered at the kills so far "
                       "(%6 of them landed), %7 batches confirmed; %8; %9")
            .arg(kill)
            .arg(m_settings.kills)
            .arg(delay)
            .arg(report.acknowledged)
            .arg(m_unanswered)
            .arg(m_landed)
            .arg(report.confirmedBatches)
            .arg(report.integrity, report.problems.isEmpty()
                                       ? QStringLiteral("every check held")
                                       : QStringLiteral("%1 problems").arg(report.problems.size())));
    say(QStringLiteral("  (ms: first save %1, load client ended %2 after the kill, restart %3, checks %4)")
            .arg(firstSave)
            .arg(loadEnded)
            .arg(restarted)
            .arg(checked));
    if (!report.problems.isEmpty())
        return fail(report.problems.mid(0, 20).join(u'\n'));

    if (m_settings.resend && !open.isEmpty()) {
        // The unanswered saves again, as a client retries them after reconnecting: each must be
        // answered as acknowledged and be in the audit once.
        QProcess again;
        again.setProcessChannelMode(QProcess::MergedChannels);
        again.start(m_settings.loadgen,
                    loadArguments(journal) + QStringList{QStringLiteral("--resend"), journal});
        if (!again.waitForFinished(30000) || again.exitCode() != 0)
            return fail(QStringLiteral("round %1: a resent save was not answered as acknowledged:\n%2")
                            .arg(kill)
                            .arg(QString::fromLocal8Bit(again.readAll())));
        if (!check(journal, &report, &entries))
            return false;
        if (!loadgen::unacknowledged(entries).isEmpty())
            return fail(QStringLiteral("round %1: a resent save is still unanswered").arg(kill));
        m_resent += open.size();
        say(QStringLiteral("  resent the %1 unanswered saves with their keys: each acknowledged, each in the "
                           "store once; %2")
                .arg(open.size())
                .arg(report.problems.isEmpty() ? QStringLiteral("every check held")
                                               : QStringLiteral("%1 problems").arg(report.problems.size())));
        if (!report.problems.isEmpty())
            return fail(report.problems.mid(0, 20).join(u'\n'));
    }
    m_last = report;
    // Room for the next round: twice what the busiest round so far took.
    if (m_nextBatch + 2 * std::max<qint64>(m_mostPerRound, 250) > 2000001 + m_settings.batches &&
        kill < m_settings.kills)
        return fail(QStringLiteral("too few batches for the rounds left: raise --batches"));
    return true;
}

bool Suite::run()
{
    QElapsedTimer clock;
    clock.start();
    if (!m_dir.isValid())
        return fail(QStringLiteral("no temporary folder"));
    if (!prepareStore())
        return fail(QStringLiteral("preparing the store: %1").arg(m_problem));
    if (!startServer())
        return fail(m_problem);
    say(QStringLiteral("crash suite on %1 (seed %2): %3 batches of %4 receipts, %5 load clients; the "
                       "server serves %6")
            .arg(m_settings.store)
            .arg(m_settings.seed)
            .arg(m_settings.batches)
            .arg(m_settings.receipts)
            .arg(m_settings.clients)
            .arg(m_serviceUrl));
    for (int kill = 1; kill <= m_settings.kills; ++kill)
        if (!round(kill))
            return false;
    stopServer();
    say(QStringLiteral("PASSED: %1 kills in %2 s; %3 saves acknowledged, all in the store; %4 sent but not "
                       "answered at the kills, %5 of which landed; %6 resent and applied once; %7 audit rows")
            .arg(m_settings.kills)
            .arg(double(clock.elapsed()) / 1000.0, 0, 'f', 1)
            .arg(m_last.acknowledged)
            .arg(m_unanswered)
            .arg(m_landed)
            .arg(m_resent)
            .arg(m_last.auditRows));
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Starts tavro-server on a fresh store, runs tavro-loadgen with confirmations and unconfirmations "
        "against it, kills the server with SIGKILL at a random moment, restarts it and checks the store: "
        "its own integrity check, every acknowledged save in the audit and in the batch, receipts that "
        "agree with their batch, numbers never given twice. Exit status 0 when every check held."));
    parser.addHelpOption();
    const QString here = QCoreApplication::applicationDirPath();
    const QCommandLineOption store(QStringLiteral("store"), QStringLiteral("sqlite (default) or postgresql."),
                                   QStringLiteral("KIND"), QStringLiteral("sqlite"));
    const QCommandLineOption kills(QStringLiteral("kills"), QStringLiteral("Kills (default 20)."),
                                   QStringLiteral("N"), QStringLiteral("20"));
    const QCommandLineOption batches(QStringLiteral("batches"),
                                     QStringLiteral("Generated batches (default 10000)."),
                                     QStringLiteral("N"), QStringLiteral("10000"));
    const QCommandLineOption clients(QStringLiteral("clients"), QStringLiteral("Load clients (default 4)."),
                                     QStringLiteral("N"), QStringLiteral("4"));
    const QCommandLineOption delay(
        QStringLiteral("max-delay-ms"),
        QStringLiteral("Longest wait from a round's first save to the kill (default "
                       "1000)."),
        QStringLiteral("MS"), QStringLiteral("1000"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Seed of the kill moments."),
                                  QStringLiteral("N"));
    const QCommandLineOption serverPath(QStringLiteral("server"), QStringLiteral("The tavro-server binary."),
                                        QStringLiteral("PATH"), here + QStringLiteral("/tavro-server"));
    const QCommandLineOption loadPath(QStringLiteral("loadgen"), QStringLiteral("The tavro-loadgen binary."),
                                      QStringLiteral("PATH"), here + QStringLiteral("/tavro-loadgen"));
    const QCommandLineOption resend(
        QStringLiteral("resend"),
        QStringLiteral("After each restart, send the saves the kill left unanswered again with their request "
                       "keys (a client's retry) and check that each is answered and applied once."));
    parser.addOptions({store, kills, batches, clients, delay, seed, serverPath, loadPath, resend});
    parser.process(app);

    Settings settings;
    settings.store = parser.value(store);
    settings.kills = parser.value(kills).toInt();
    settings.batches = parser.value(batches).toInt();
    settings.clients = parser.value(clients).toInt();
    settings.maxDelayMs = parser.value(delay).toInt();
    settings.seed =
        parser.isSet(seed) ? parser.value(seed).toULongLong() : QRandomGenerator::global()->generate();
    settings.server = parser.value(serverPath);
    settings.loadgen = parser.value(loadPath);
    settings.resend = parser.isSet(resend);
    if ((settings.store != u"sqlite" && settings.store != u"postgresql") || settings.kills < 1 ||
        settings.batches < 3000 || settings.clients < 1 || settings.maxDelayMs < 0) {
        std::fputs(
            "tavro-crashsuite: --store sqlite|postgresql, --kills >= 1, --batches >= 3000, --clients >= 1\n",
            stderr);
        return 2;
    }
    if (settings.store == u"postgresql" &&
        !QFileInfo::exists(server::test::PgCluster::binaries() + QStringLiteral("/pg_ctl"))) {
        say(QStringLiteral("SKIPPED: PostgreSQL 15 is not installed"));
        return 0;
    }
    Suite suite(settings);
    return suite.run() ? 0 : 1;
}
