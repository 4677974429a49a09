// bench_direct_sql: the floor of a one-batch search, its SQL run straight through Qt Sql.
//
// The statements below are copies of the ones tavro-server runs for a search by daily receipt
// number (receipts of the batch, then the batch's confirmation record, inside a read transaction
// that is rolled back). They must follow the server's text; when the server's search changes, change
// them with it, or this floor measures something the server no longer does.

#include "server/DatabaseConfig.h"

#include <algorithm>
#include <cstdio>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

using tavro::server::DatabaseConfig;
using tavro::server::Dialect;

namespace {

const QString ReceiptsOfBatch = QStringLiteral(
    "SELECT r.rcpt_nbr, r.rcpt_dt, r.rcpt_amt, r.cnfrmtn_nbr, r.iss_ofcr_id, r.entr_ofcr_id, r.dly_rcpt_nbr "
    "FROM rcpt r WHERE r.dly_rcpt_nbr = ? AND %1 ORDER BY r.rcpt_nbr");
const QString BatchRecord = QStringLiteral(
    "SELECT dly_rcpt_nbr, dly_rcpt_dt, cnfrmtn_nbr, cnfrmtn_dt, cnfrmtn_ofcr_id, dly_rcpt_cmmt_txt, trp_id, "
    "trp_dstrct_id FROM dly_rcpt WHERE dly_rcpt_nbr = ?");

int failed(const QString& text)
{
    std::fprintf(stderr, "bench_direct_sql: %s\n", qPrintable(text));
    return 2;
}

struct Statements
{
    QSqlQuery receipts;
    QSqlQuery batch;
};

// One search: what the server does between taking its connection and encoding the reply.
// Returns the receipts read, or -1.
qint64 search(QSqlDatabase& db, Statements& s, bool prepareEach, const QString& beginText,
              const QString& receiptsText, qint64 number)
{
    QSqlQuery begin(db);
    if (!begin.exec(beginText))
        return -1;
    if (prepareEach) {
        s.receipts = QSqlQuery(db);
        s.batch = QSqlQuery(db);
        if (!s.receipts.prepare(receiptsText) || !s.batch.prepare(BatchRecord))
            return -1;
    }
    qint64 rows = 0;
    s.receipts.bindValue(0, number);
    if (!s.receipts.exec())
        return -1;
    while (s.receipts.next()) {
        for (int c = 0; c < 7; ++c)
            (void)s.receipts.value(c);
        ++rows;
    }
    s.receipts.finish();
    if (rows > 0) {
        s.batch.bindValue(0, number);
        if (!s.batch.exec())
            return -1;
        while (s.batch.next())
            for (int c = 0; c < 8; ++c)
                (void)s.batch.value(c);
        s.batch.finish();
    }
    QSqlQuery end(db);
    if (!end.exec(QStringLiteral("ROLLBACK")))
        return -1;
    return rows;
}

double micros(const QList<qint64>& sorted, double p)
{
    const auto rank =
        std::clamp<qsizetype>(qsizetype(p / 100.0 * double(sorted.size()) + 0.5) - 1, 0, sorted.size() - 1);
    return double(sorted[rank]) / 1e3;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("bench_direct_sql"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Runs the SQL of a search for one daily batch directly through Qt Sql, one search after another "
        "on random batches, and prints the median, p95, p99 and max in microseconds: once with the "
        "statements prepared for every search (as the server does) and once prepared a single time."));
    parser.addHelpOption();
    const QCommandLineOption db(
        QStringLiteral("db"), QStringLiteral("The store: sqlite:PATH or postgresql://... (as tavro-server)."),
        QStringLiteral("URL"));
    const QCommandLineOption runs(QStringLiteral("runs"),
                                  QStringLiteral("Searches per figure (default 5000)."), QStringLiteral("N"),
                                  QStringLiteral("5000"));
    const QCommandLineOption firstBatch(QStringLiteral("first-batch"),
                                        QStringLiteral("First batch number (default 2000001)."),
                                        QStringLiteral("N"), QStringLiteral("2000001"));
    const QCommandLineOption batches(QStringLiteral("batches"), QStringLiteral("Batches (default 2000)."),
                                     QStringLiteral("N"), QStringLiteral("2000"));
    const QCommandLineOption conf(QStringLiteral("conf"),
                                  QStringLiteral("Confirmed (T) or unconfirmed (F, default) receipts."),
                                  QStringLiteral("T|F"), QStringLiteral("F"));
    parser.addOptions({db, runs, firstBatch, batches, conf});
    parser.process(app);

    QString why;
    const auto config = DatabaseConfig::fromUrl(parser.value(db), &why);
    if (!parser.isSet(db) || !config)
        return failed(parser.isSet(db) ? why : QStringLiteral("--db is required"));
    bool ok1 = false, ok2 = false, ok3 = false;
    const int count = parser.value(runs).toInt(&ok1);
    const qint64 first = parser.value(firstBatch).toLongLong(&ok2);
    const int span = parser.value(batches).toInt(&ok3);
    if (!ok1 || !ok2 || !ok3 || count <= 0 || first <= 0 || span <= 0)
        return failed(QStringLiteral("--runs, --first-batch and --batches need positive numbers"));
    const QString state = parser.value(conf) == u"T" ? QStringLiteral("(r.cnfrmtn_nbr || '') IS NOT NULL")
                                                     : QStringLiteral("(r.cnfrmtn_nbr || '') IS NULL");
    const QString receiptsText = ReceiptsOfBatch.arg(state);

    QSqlDatabase database;
    QString beginText = QStringLiteral("BEGIN");
    if (config->dialect == Dialect::Sqlite) {
        database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
        database.setDatabaseName(config->path);
    } else {
        database = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"));
        database.setHostName(config->host);
        database.setPort(config->port);
        database.setDatabaseName(config->name);
        database.setUserName(config->user);
        database.setPassword(config->password);
        beginText = QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    }
    if (!database.open())
        return failed(database.lastError().text());
    if (config->dialect == Dialect::Sqlite) {
        // The server's connection settings.
        QSqlQuery pragma(database);
        pragma.exec(QStringLiteral("PRAGMA journal_mode = WAL"));
        pragma.exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
    }

    std::printf("%-26s %8s %10s %10s %10s %10s %8s\n", "direct SQL search", "runs", "p50 us", "p95 us",
                "p99 us", "max us", "rows");
    for (const bool prepareEach : {true, false}) {
        Statements statements{QSqlQuery(database), QSqlQuery(database)};
        if (!prepareEach &&
            (!statements.receipts.prepare(receiptsText) || !statements.batch.prepare(BatchRecord)))
            return failed(statements.receipts.lastError().text());
        QRandomGenerator random(42);
        QList<qint64> times;
        times.reserve(count);
        qint64 rows = 0;
        QElapsedTimer timer;
        for (int i = -count / 10; i < count; ++i) { // the first tenth warms the caches, unmeasured
            const qint64 batch = first + random.bounded(span);
            timer.start();
            const qint64 read = search(database, statements, prepareEach, beginText, receiptsText, batch);
            const qint64 elapsed = timer.nsecsElapsed();
            if (read < 0)
                return failed(QStringLiteral("batch %1: %2 %3")
                                  .arg(batch)
                                  .arg(statements.receipts.lastError().text(), database.lastError().text()));
            if (i >= 0) {
                times.append(elapsed);
                rows += read;
            }
        }
        std::sort(times.begin(), times.end());
        std::printf("%-26s %8d %10.1f %10.1f %10.1f %10.1f %8.1f\n",
                    prepareEach ? "prepared per search" : "prepared once", count, micros(times, 50),
                    micros(times, 95), micros(times, 99), double(times.back()) / 1e3, double(rows) / count);
    }
    return 0;
}
