// tavro-crashsuite: kills tavro-server with SIGKILL at random moments under a load of
// confirmations and unconfirmations, restarts it, and checks the store after every restart.

#include "LoadRun.h"
#include "ServerTestSupport.h"
#include "StoreCheck.h"

#include <cstdarg>
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
using namespace Qt::StringLiterals;

namespace {

constexpr qint64 FirstBatch = 2000001;

[[gnu::format(printf, 1, 2)]] void say(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::vprintf(format, arguments);
    va_end(arguments);
    std::putchar('\n');
    std::fflush(stdout);
}

QString verdict(const faults::StoreReport& report)
{
    return report.problems.isEmpty() ? u"every check held"_s : u"%1 problems"_s.arg(report.problems.size());
}

struct Settings
{
    QString store, server, loadgen;
    int kills = 20, batches = 10000, receipts = 2, clients = 4, maxDelayMs = 1000;
    quint64 seed = 0;
    bool resend = false;
};

class Suite
{
public:
    explicit Suite(const Settings& settings) : m_settings(settings), m_random(settings.seed) {}
    ~Suite()
    {
        stopServer();
        QSqlDatabase::removeDatabase(u"crashsuite"_s);
    }

    bool run()
    {
        QElapsedTimer clock;
        clock.start();
        if (!m_dir.isValid())
            return fail(u"no temporary folder"_s);
        if (!prepareStore())
            return fail(u"preparing the store: %1"_s.arg(m_problem));
        if (!startServer())
            return fail(m_problem);
        say("crash suite on %s (seed %llu): %d batches of %d receipts, %d load clients; the server serves %s",
            qPrintable(m_settings.store), m_settings.seed, m_settings.batches, m_settings.receipts,
            m_settings.clients, qPrintable(m_serviceUrl));
        for (int kill = 1; kill <= m_settings.kills; ++kill)
            if (!round(kill))
                return false;
        stopServer();
        say("PASSED: %d kills in %.1f s; %lld saves acknowledged, all in the store; %lld sent but not "
            "answered "
            "at the kills, %lld of which landed; %lld resent and applied once; %lld audit rows",
            m_settings.kills, double(clock.elapsed()) / 1000.0, m_report.acknowledged, m_unanswered, m_landed,
            m_resent, m_report.auditRows);
        return true;
    }

private:
    bool fail(const QString& why)
    {
        m_dir.setAutoRemove(false);
        say("FAILED: %s\n(store, journal and logs kept in %s)", qPrintable(why), qPrintable(m_dir.path()));
        return false;
    }
    // Runs tavro-server once for administration, \a input on its standard input.
    bool administer(const QString& arguments, const QByteArray& input = {})
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(m_settings.server, QStringList{u"--db"_s, m_url} + arguments.split(u' '));
        process.write(input);
        process.closeWriteChannel();
        if (process.waitForFinished(120000) && process.exitCode() == 0)
            return true;
        m_problem = QString::fromLocal8Bit(process.readAll()).right(2000);
        return false;
    }
    bool prepareStore()
    {
        if (m_settings.store == u"sqlite") {
            m_config = server::DatabaseConfig::sqlite(m_dir.filePath(u"store.db"_s));
            m_url = m_serviceUrl = u"sqlite:"_s + m_config.path;
        } else {
            m_cluster = std::make_unique<server::test::PgCluster>();
            if (!m_cluster->start(&m_problem) || !m_cluster->execute(u"CREATE DATABASE crash"_s, &m_problem))
                return false;
            m_config = m_cluster->config(u"crash"_s);
            const QString url = u"postgresql://%1@/%2?host=%3&port=%4"_s;
            m_url = url.arg(m_config.user, m_config.name, m_config.host).arg(m_config.port);
            // The server runs as the service role --init creates, as in production; the store's
            // owner only prepares it.
            m_serviceUrl = url.arg(u"tavro_service"_s, m_config.name, m_config.host).arg(m_config.port);
        }
        if (!administer(u"--init --generate %1 %2"_s.arg(m_settings.batches).arg(m_settings.receipts)) ||
            !administer(u"--add-user crash --role confirm --officer 9000 --trp TRP01 --district D01"_s,
                        "crash\n"))
            return false;

        const bool sqlite = m_config.dialect == server::Dialect::Sqlite;
        QSqlDatabase db = QSqlDatabase::addDatabase(sqlite ? u"QSQLITE"_s : u"QPSQL"_s, u"crashsuite"_s);
        db.setDatabaseName(sqlite ? m_config.path : m_config.name);
        db.setHostName(m_config.host); // SQLite ignores where and who
        db.setPort(m_config.port);
        db.setUserName(m_config.user);
        QTcpServer probe; // a free port for the server, the same one after every restart
        m_port = probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
        return m_port != 0;
    }
    bool startServer()
    {
        m_server = std::make_unique<QProcess>();
        m_server->setStandardOutputFile(m_dir.filePath(u"server.log"_s), QIODevice::Append);
        m_server->setStandardErrorFile(m_dir.filePath(u"server.log"_s), QIODevice::Append);
        m_server->start(m_settings.server,
                        {u"--db"_s, m_serviceUrl, u"--listen"_s, u"127.0.0.1:%1"_s.arg(m_port)});
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 20000 && m_server->state() != QProcess::NotRunning) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, m_port);
            if (probe.waitForConnected(200))
                return true;
            QThread::msleep(20);
        }
        m_problem = u"the server did not start listening (see server.log)"_s;
        return false;
    }
    void stopServer()
    {
        if (m_server && m_server->state() != QProcess::NotRunning) {
            m_server->kill();
            m_server->waitForFinished();
        }
    }
    bool round(int kill)
    {
        const qint64 before = QFileInfo(m_journal).size();
        const QString log = m_dir.filePath(u"load%1.txt"_s.arg(kill));
        QProcess load;
        load.setStandardOutputFile(log);
        load.setStandardErrorFile(log, QIODevice::Append);
        load.start(m_settings.loadgen,
                   loadArguments(u"--seconds 600 --warmup 0 --mix confirm:2,unconfirm --batches %1 "
                                 "--receipts-per-batch %2 --confirm-from %3"_s.arg(m_settings.batches)
                                     .arg(m_settings.receipts)
                                     .arg(m_nextBatch)));

        // The kill comes at a random moment after the first save of this round went out.
        QElapsedTimer clock;
        clock.start();
        while (QFileInfo(m_journal).size() == before) {
            if (load.state() == QProcess::NotRunning || clock.elapsed() > 30000)
                return fail(u"round %1: the load client sent no save (see load%1.txt)"_s.arg(kill));
            QThread::msleep(5);
        }
        const qint64 firstSave = clock.elapsed();
        const int delay = int(m_random.bounded(m_settings.maxDelayMs + 1));
        QThread::msleep(ulong(delay));
        stopServer();
        clock.restart();
        if (!load.waitForFinished(20000)) {
            load.kill();
            load.waitForFinished();
            return fail(u"round %1: the load client did not end when the server died"_s.arg(kill));
        }

        const qint64 loadEnded = clock.restart();
        if (!startServer())
            return fail(u"round %1: %2"_s.arg(kill).arg(m_problem));
        const qint64 restarted = clock.restart();
        if (!check())
            return false;
        const qint64 checked = clock.restart();
        const qint64 firstOfRound = m_nextBatch;
        for (const loadgen::JournalEntry& entry : std::as_const(m_entries))
            m_nextBatch = std::max(m_nextBatch, entry.batch + 1);
        m_mostPerRound = std::max(m_mostPerRound, m_nextBatch - firstOfRound);
        const QList<loadgen::JournalEntry> open = loadgen::unacknowledged(m_entries);
        // Without resending, what was open stays open: the counts are the journal's.
        m_unanswered = (m_settings.resend ? m_unanswered : 0) + open.size();
        m_landed = (m_settings.resend ? m_landed : 0) + m_report.landedUnacknowledged;
        say("kill %d/%d after %d ms of saves: %lld acknowledged, %lld unanswered at the kills so far "
            "(%lld of them landed), %lld batches confirmed; %s; %s",
            kill, m_settings.kills, delay, m_report.acknowledged, m_unanswered, m_landed,
            m_report.confirmedBatches, qPrintable(m_report.integrity), qPrintable(verdict(m_report)));
        say("  (ms: first save %lld, load client ended %lld after the kill, restart %lld, checks %lld)",
            firstSave, loadEnded, restarted, checked);
        if (!m_report.problems.isEmpty())
            return fail(m_report.problems.mid(0, 20).join(u'\n'));

        if (m_settings.resend && !open.isEmpty()) {
            // The unanswered saves again, as a client retries them after reconnecting: each must be
            // answered as acknowledged and be in the audit once.
            QProcess again;
            again.setProcessChannelMode(QProcess::MergedChannels);
            again.start(m_settings.loadgen, loadArguments({}) + QStringList{u"--resend"_s, m_journal});
            if (!again.waitForFinished(30000) || again.exitCode() != 0)
                return fail(u"round %1: a resent save was not answered as acknowledged:\n%2"_s.arg(kill).arg(
                    QString::fromLocal8Bit(again.readAll())));
            if (!check())
                return false;
            if (!loadgen::unacknowledged(m_entries).isEmpty())
                return fail(u"round %1: a resent save is still unanswered"_s.arg(kill));
            m_resent += open.size();
            say("  resent the %lld unanswered saves with their keys: each acknowledged, each in the store "
                "once; %s",
                open.size(), qPrintable(verdict(m_report)));
            if (!m_report.problems.isEmpty())
                return fail(m_report.problems.mid(0, 20).join(u'\n'));
        }
        // Room for the next round: twice what the busiest round so far took.
        if (m_nextBatch + 2 * std::max<qint64>(m_mostPerRound, 250) > FirstBatch + m_settings.batches &&
            kill < m_settings.kills)
            return fail(u"too few batches for the rounds left: raise --batches"_s);
        return true;
    }
    // What every load client run is given: the server, the user, the clients and the journal.
    QStringList loadArguments(const QString& more) const
    {
        return u"--url ws://127.0.0.1:%1 --user crash --password crash --clients %2 --timeout-ms 10000 "_s
                   .arg(m_port)
                   .arg(m_settings.clients)
                   .append(more)
                   .split(u' ', Qt::SkipEmptyParts) +
               QStringList{u"--journal"_s, m_journal};
    }
    // Reads the journal and checks the store with a connection of its own, opened after the restart.
    bool check()
    {
        QString why;
        const auto read = loadgen::readJournal(m_journal, &why);
        if (!read)
            return fail(why);
        m_entries = *read;
        QSqlDatabase db = QSqlDatabase::database(u"crashsuite"_s);
        m_report = faults::checkStore(db, m_config.dialect, m_entries, FirstBatch,
                                      FirstBatch - 1 + m_settings.batches);
        db.close();
        return true;
    }

    Settings m_settings;
    QRandomGenerator m_random;
    QTemporaryDir m_dir;
    QString m_journal = m_dir.filePath(u"journal.txt"_s);
    std::unique_ptr<server::test::PgCluster> m_cluster;
    server::DatabaseConfig m_config;
    QString m_url, m_serviceUrl, m_problem;
    quint16 m_port = 0;
    std::unique_ptr<QProcess> m_server;
    qint64 m_nextBatch = FirstBatch, m_mostPerRound = 0, m_unanswered = 0, m_landed = 0, m_resent = 0;
    faults::StoreReport m_report; // of the last check
    QList<loadgen::JournalEntry> m_entries;
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Starts tavro-server on a fresh store, runs tavro-loadgen with confirmations and unconfirmations "
        "against it, kills the server with SIGKILL at a random moment, restarts it and checks the store: "
        "its own integrity check, every acknowledged save in the audit and in the batch, receipts that "
        "agree with their batch, numbers never given twice. Exit status 0 when every check held."_s);
    parser.addHelpOption();
    const QString here = QCoreApplication::applicationDirPath();
    parser.addOptions({
        {u"store"_s, u"sqlite (default) or postgresql."_s, u"KIND"_s, u"sqlite"_s},
        {u"kills"_s, u"Kills (default 20)."_s, u"N"_s, u"20"_s},
        {u"batches"_s, u"Generated batches (default 10000)."_s, u"N"_s, u"10000"_s},
        {u"clients"_s, u"Load clients (default 4)."_s, u"N"_s, u"4"_s},
        {u"max-delay-ms"_s, u"Longest wait from a round's first save to the kill (default 1000)."_s, u"MS"_s,
         u"1000"_s},
        {u"seed"_s, u"Seed of the kill moments."_s, u"N"_s},
        {u"server"_s, u"The tavro-server binary."_s, u"PATH"_s, here + u"/tavro-server"_s},
        {u"loadgen"_s, u"The tavro-loadgen binary."_s, u"PATH"_s, here + u"/tavro-loadgen"_s},
        {u"resend"_s, u"After each restart, send the saves the kill left unanswered again with their request "
                      "keys (a client's retry) and check that each is answered and applied once."_s},
    });
    parser.process(app);
    const auto number = [&](const QString& name) { return parser.value(name).toInt(); };
    const Settings settings{
        .store = parser.value(u"store"_s),
        .server = parser.value(u"server"_s),
        .loadgen = parser.value(u"loadgen"_s),
        .kills = number(u"kills"_s),
        .batches = number(u"batches"_s),
        .clients = number(u"clients"_s),
        .maxDelayMs = number(u"max-delay-ms"_s),
        .seed = parser.isSet(u"seed"_s) ? parser.value(u"seed"_s).toULongLong()
                                        : QRandomGenerator::global()->generate(),
        .resend = parser.isSet(u"resend"_s),
    };
    if ((settings.store != u"sqlite" && settings.store != u"postgresql") || settings.kills < 1 ||
        settings.batches < 3000 || settings.clients < 1 || settings.maxDelayMs < 0) {
        std::fputs(
            "tavro-crashsuite: --store sqlite|postgresql, --kills >= 1, --batches >= 3000, --clients >= 1\n",
            stderr);
        return 2;
    }
    if (settings.store == u"postgresql" &&
        !QFileInfo::exists(server::test::PgCluster::binaries() + u"/pg_ctl"_s)) {
        say("SKIPPED: PostgreSQL 15 is not installed");
        return 0;
    }
    return Suite(settings).run() ? 0 : 1;
}
