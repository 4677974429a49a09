#include "LoadRun.h"
#include "server/Server.h"
#include "server/Service.h"

#include <memory>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace tavro;
using namespace tavro::loadgen;

class TestLoadgen : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void mixes_data();
    void mixes();
    void parsesMix_data();
    void parsesMix();
    void confirmsEveryBatchOnce();
    void journalsEverySave();
    void resendsAnAnsweredSaveOnce();
    void readsJournalLines_data();
    void readsJournalLines();
    void findsUnansweredSaves_data();
    void findsUnansweredSaves();
    void countsRefusedSignIn();

private:
    Options options(const QString& mix) const;
    qint64 scalar(const QString& sql) const;

    QTemporaryDir m_dir;
    std::unique_ptr<server::Service> m_service;
    std::unique_ptr<server::Server> m_server;
};

namespace {
constexpr int Batches = 24;
constexpr int ReceiptsPerBatch = 5;
} // namespace

void TestLoadgen::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_service = std::make_unique<server::Service>(server::DatabaseConfig::sqlite(m_dir.filePath("load.db")));
    QString why;
    QVERIFY2(m_service->initialize(&why), qPrintable(why));
    QVERIFY2(m_service->generate(Batches, ReceiptsPerBatch, &why), qPrintable(why));
    const server::NewUser user{QStringLiteral("bench"), server::Role::Confirm, 9000, QString(),
                               QStringLiteral("TRP01"), QStringLiteral("D01")};
    QVERIFY2(m_service->addUser(user, QStringLiteral("secret"), &why, server::HashCost::Minimal),
             qPrintable(why));
    m_server = std::make_unique<server::Server>(*m_service);
    QVERIFY2(m_server->listen(QHostAddress::LocalHost, 0, &why), qPrintable(why));
}

void TestLoadgen::cleanupTestCase()
{
    m_server.reset();
    m_service.reset();
}

Options TestLoadgen::options(const QString& mix) const
{
    Options o;
    o.url = m_server->url();
    o.clients = 4;
    o.user = QStringLiteral("bench");
    o.password = QStringLiteral("secret");
    o.seconds = 0.5;
    o.warmup = 1;
    o.batches = Batches;
    o.receiptsPerBatch = ReceiptsPerBatch;
    o.timeoutMs = 10000;
    QString why;
    o.mix = parseMix(mix, &why).value_or(QList<MixEntry>());
    return o;
}

qint64 TestLoadgen::scalar(const QString& sql) const
{
    const QString name = QStringLiteral("check");
    qint64 value = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(m_dir.filePath("load.db"));
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(sql) && q.next())
                value = q.value(0).toLongLong();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return value;
}

void TestLoadgen::mixes_data()
{
    QTest::addColumn<QString>("mix");
    QTest::addColumn<qint64>("rowsPerStep");
    QTest::newRow("ping") << "ping" << qint64(0);
    QTest::newRow("search") << "search" << qint64(ReceiptsPerBatch);
    QTest::newRow("receipt detail") << "receipt" << qint64(3);
    QTest::newRow("funds detail") << "funds" << qint64(3 * ReceiptsPerBatch);
    QTest::newRow("form number") << "number" << qint64(1);
}

// Each kind alone: answered steps, no error, and replies of the size the generated data has.
void TestLoadgen::mixes()
{
    QFETCH(QString, mix);
    QFETCH(qint64, rowsPerStep);
    const Options o = options(mix);
    const Results results = run(o);
    QVERIFY2(results.errorCount() == 0, qPrintable(report(o, results)));
    QCOMPARE(results.signedIn, o.clients);
    QCOMPARE(results.kinds.size(), 1);
    const KindStats& stats = results.kinds.first();
    QVERIFY(stats.latencies.size() > 0);
    QCOMPARE(stats.empty, 0);
    QCOMPARE(stats.rows, rowsPerStep * stats.latencies.size());
    QVERIFY(std::is_sorted(stats.latencies.cbegin(), stats.latencies.cend()));
    QVERIFY(stats.latencies.front() > 0);
}

void TestLoadgen::parsesMix_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("parsed"); // kind:weight pairs, or empty when refused
    QTest::newRow("weights") << "search:4, ping"
                             << "search:4,ping:1";
    QTest::newRow("every kind") << "ping,search,receipt,funds,number,confirm:2,unconfirm"
                                << "ping:1,search:1,receipt:1,funds:1,number:1,confirm:2,unconfirm:1";
    QTest::newRow("unknown kind") << "search,save"
                                  << "";
    QTest::newRow("zero weight") << "search:0"
                                 << "";
    QTest::newRow("two weights") << "search:1:2"
                                 << "";
    QTest::newRow("nothing") << " , "
                             << "";
}

void TestLoadgen::parsesMix()
{
    QFETCH(QString, text);
    QFETCH(QString, parsed);
    QString why;
    const auto mix = parseMix(text, &why);
    QCOMPARE(mix.has_value(), !parsed.isEmpty());
    if (!mix) {
        QVERIFY(!why.isEmpty());
        return;
    }
    QStringList pairs;
    for (const MixEntry& entry : *mix)
        pairs.append(QStringLiteral("%1:%2").arg(kindName(entry.kind)).arg(entry.weight));
    QCOMPARE(pairs.join(u','), parsed);
}

// Confirmations run until the batches run out: each batch confirmed exactly once, with its own
// number, and the store agrees.
void TestLoadgen::confirmsEveryBatchOnce()
{
    Options o = options(QStringLiteral("confirm"));
    o.seconds = 20;
    const Results results = run(o);
    QVERIFY2(results.errorCount() == 0, qPrintable(report(o, results)));
    QList<qint64> batches = results.confirmedBatches;
    std::sort(batches.begin(), batches.end());
    QList<qint64> expected;
    for (int i = 0; i < Batches; ++i)
        expected.append(o.firstBatch + i);
    QCOMPARE(batches, expected);
    QCOMPARE(scalar("SELECT COUNT(*) FROM dly_rcpt WHERE cnfrmtn_nbr IS NOT NULL"), qint64(Batches));
    QCOMPARE(scalar("SELECT COUNT(DISTINCT cnfrmtn_nbr) FROM dly_rcpt"), qint64(Batches));
    QCOMPARE(scalar("SELECT COUNT(*) FROM form_nbr WHERE used_by_batch IS NOT NULL"), qint64(Batches));

    // A second run, which starts at the same batches again, is refused every one of them, and
    // the store still holds each confirmation once.
    o.warmup = 0;
    const Results again = run(o);
    QVERIFY(again.confirmedBatches.isEmpty());
    QCOMPARE(again.transportErrorCount(), 0);
    QCOMPARE(again.kinds.value(Kind::Confirm).errors,
             (QMap<QString, qint64>{{QStringLiteral("already-confirmed"), Batches}}));
    QCOMPARE(scalar("SELECT COUNT(*) FROM cnfrmtn_audit WHERE dly_rcpt_nbr >= 2000001"), qint64(Batches));
    QCOMPARE(scalar("SELECT COUNT(*) FROM form_nbr WHERE used_by_batch IS NOT NULL"), qint64(Batches));
}

// Confirmations and unconfirmations of the same batches, journalled: the acknowledged saves of
// each batch, in order, are its audit rows, and the batch ends as its last one left it.
void TestLoadgen::journalsEverySave()
{
    // Batches of their own, after those the test above confirmed.
    constexpr int More = 8;
    QString why;
    QVERIFY2(m_service->generate(More, ReceiptsPerBatch, &why), qPrintable(why));
    Options o = options(QStringLiteral("confirm:2,unconfirm"));
    o.firstBatch += Batches;
    o.firstReceipt += Batches * ReceiptsPerBatch;
    o.batches = More;
    o.journalPath = m_dir.filePath("journal.txt");
    const Results results = run(o);
    QVERIFY2(results.errorCount() == 0, qPrintable(report(o, results)));
    QVERIFY(!results.unconfirmedBatches.isEmpty());

    QFile file(o.journalPath);
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    QMap<qint64, QStringList> journalled;
    QMap<qint64, JournalEntry> last;
    qsizetype sent = 0;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        const auto entry = JournalEntry::fromLine(QString::fromUtf8(line));
        QVERIFY2(entry, line.constData());
        if (!entry->acknowledged) {
            ++sent;
            continue;
        }
        journalled[entry->batch] << entry->action + u' ' + entry->number + u' ' + entry->reason;
        last[entry->batch] = *entry;
    }
    QCOMPARE(sent, results.confirmedBatches.size() + results.unconfirmedBatches.size());

    const QString name = QStringLiteral("audit");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(m_dir.filePath("load.db"));
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(
            QStringLiteral(
                "SELECT a.dly_rcpt_nbr, a.action, a.cnfrmtn_nbr, COALESCE(a.cmmt_txt, ''), d.cnfrmtn_nbr "
                "FROM cnfrmtn_audit a JOIN dly_rcpt d ON d.dly_rcpt_nbr = a.dly_rcpt_nbr "
                "WHERE a.dly_rcpt_nbr >= %1 ORDER BY a.audit_id")
                .arg(o.firstBatch)));
        QMap<qint64, QStringList> audited;
        while (q.next()) {
            const qint64 batch = q.value(0).toLongLong();
            audited[batch] << q.value(1).toString() + u' ' + q.value(2).toString() + u' ' +
                                  q.value(3).toString();
            const JournalEntry& final = last.value(batch);
            QCOMPARE(q.value(4).toString(), final.action == u"UPD" ? final.number : QString());
        }
        QCOMPARE(audited, journalled);
    }
    QSqlDatabase::removeDatabase(name);
}

// The last save of the run above as if its answer had been lost: sent again with its key, it is
// answered as acknowledged and the store changes no further.
void TestLoadgen::resendsAnAnsweredSaveOnce()
{
    QString why;
    auto journal = readJournal(m_dir.filePath("journal.txt"), &why);
    QVERIFY2(journal && !journal->isEmpty() && journal->back().acknowledged, qPrintable(why));
    const JournalEntry lost = journal->takeLast();
    Options o = options(QStringLiteral("resend"));
    o.clients = 1;
    o.warmup = 0; // refusals count only when measured
    o.resend = unacknowledged(*journal);
    QCOMPARE(o.resend.size(), 1);
    QCOMPARE(o.resend.front().key, lost.key);
    const qint64 audited = scalar("SELECT COUNT(*) FROM cnfrmtn_audit");
    const Results results = run(o);
    QVERIFY2(results.errorCount() == 0, qPrintable(report(o, results)));
    QCOMPARE(results.confirmedBatches.size() + results.unconfirmedBatches.size(), 1);
    QCOMPARE(scalar("SELECT COUNT(*) FROM cnfrmtn_audit"), audited);
}

void TestLoadgen::readsJournalLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("valid");
    QTest::newRow("acknowledged confirmation") << "ack\tUPD\t2000001\t0001001\t2026-12-06\tc0-2\t" << true;
    QTest::newRow("sent unconfirmation")
        << "sent\tUNCONFIRM\t2000001\t0001001\t2026-12-06\tc0-5\tWrong bank" << true;
    QTest::newRow("unknown action") << "ack\tDEL\t2000001\t0001001\t2026-12-06\tc0-2\t" << false;
    QTest::newRow("unknown state") << "done\tUPD\t2000001\t0001001\t2026-12-06\tc0-2\t" << false;
    QTest::newRow("no batch") << "ack\tUPD\t\t0001001\t2026-12-06\tc0-2\t" << false;
    QTest::newRow("bad date") << "ack\tUPD\t2000001\t0001001\t2026-13-06\tc0-2\t" << false;
    QTest::newRow("no key") << "ack\tUPD\t2000001\t0001001\t2026-12-06\t\t" << false;
    QTest::newRow("cut short") << "ack\tUPD\t2000001\t0001001" << false;
}

// Lines read back as they were written; a line cut short by a crash is refused, not misread.
void TestLoadgen::readsJournalLines()
{
    QFETCH(QString, line);
    QFETCH(bool, valid);
    const auto entry = JournalEntry::fromLine(line);
    QCOMPARE(entry.has_value(), valid);
    if (entry)
        QCOMPARE(entry->toLine(), line);
}

void TestLoadgen::findsUnansweredSaves_data()
{
    QTest::addColumn<QStringList>("journal"); // state and key per line, batch after a colon
    QTest::addColumn<QStringList>("unanswered");
    QTest::newRow("all answered") << QStringList{"sent a:1", "ack a:1", "sent b:1", "ack b:1"}
                                  << QStringList();
    QTest::newRow("last one open") << QStringList{"sent a:1", "ack a:1", "sent b:1"} << QStringList{"b"};
    QTest::newRow("answers out of order")
        << QStringList{"sent a:1", "sent b:2", "ack b:2", "sent c:2"} << QStringList{"a", "c"};
    QTest::newRow("same key, other batch") << QStringList{"sent a:1", "ack a:2"} << QStringList{"a"};
}

// Which saves a retry after a crash must send again.
void TestLoadgen::findsUnansweredSaves()
{
    QFETCH(QStringList, journal);
    QFETCH(QStringList, unanswered);
    QList<JournalEntry> entries;
    for (const QString& line : journal) {
        const QStringList parts = line.split(QRegularExpression("[ :]"));
        entries.append(
            {parts[0] == u"ack", "UPD", parts[2].toLongLong(), "0001001", QDate(2026, 1, 5), parts[1], {}});
    }
    QStringList keys;
    for (const JournalEntry& entry : unacknowledged(entries))
        keys << entry.key;
    QCOMPARE(keys, unanswered);
}

void TestLoadgen::countsRefusedSignIn()
{
    Options o = options(QStringLiteral("ping"));
    o.password = QStringLiteral("wrong");
    const Results results = run(o);
    QCOMPARE(results.signedIn, 0);
    QCOMPARE(results.transportErrorCount(), qint64(o.clients));
    qint64 refused = 0;
    for (auto t = results.transport.cbegin(); t != results.transport.cend(); ++t)
        refused += t.key().startsWith(QStringLiteral("sign-in refused: login-")) ? t.value() : 0;
    QCOMPARE(refused, qint64(o.clients));
    QVERIFY(report(o, results).contains(QStringLiteral("errors: 4 (transport 4)")));
}

QTEST_GUILESS_MAIN(TestLoadgen)
#include "tst_loadgen.moc"
