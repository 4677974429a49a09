// The checks the crash suite runs after every restart, shown to catch each kind of damage: a store
// a load run left behind, copied and then broken one way per row.
#include "server/Server.h"
#include "server/Service.h"
#include "StoreCheck.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace tavro;

class tst_StoreCheck : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QList<loadgen::JournalEntry> m_journal;
    static constexpr qint64 First = 2000001;
    static constexpr int Batches = 8; // the load's; one more stays untouched

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        {
            server::Service service(server::DatabaseConfig::sqlite(m_dir.filePath("clean.db")));
            QString why;
            QVERIFY2(service.initialize(&why) && service.generate(Batches + 1, 3, &why), qPrintable(why));
            QVERIFY(service.addUser({"crash", server::Role::Confirm, 9000, {}, "TRP01", "D01"}, "crash", &why,
                                    server::HashCost::Minimal));
            server::Server server(service);
            QVERIFY2(server.listen(QHostAddress::LocalHost, 0, &why), qPrintable(why));
            loadgen::Options load;
            load.url = server.url();
            load.clients = 3;
            load.user = load.password = "crash";
            load.count = 60;
            load.batches = Batches;
            load.receiptsPerBatch = 3;
            load.mix = loadgen::parseMix("confirm:2,unconfirm", &why).value();
            load.journalPath = m_dir.filePath("journal.txt");
            const loadgen::Results results = loadgen::run(load);
            QCOMPARE(results.errorCount(), 0);
            // Rows below need two confirmed batches and one unconfirmed after a confirmation.
            QVERIFY(results.confirmedBatches.size() - results.unconfirmedBatches.size() >= 2);
            QVERIFY(!results.unconfirmedBatches.isEmpty());
            const auto journal = loadgen::readJournal(load.journalPath, &why);
            QVERIFY2(journal, qPrintable(why));
            m_journal = *journal;
        }
    }

    void findsDamage_data()
    {
        QTest::addColumn<QString>("statements"); // ";" between them; "#damage": garbage over a page
        QTest::addColumn<QString>("problem");    // a part of one problem found, or empty for none
        QTest::addColumn<QString>("journalLine");
        const QString confirmed = "(SELECT MIN(dly_rcpt_nbr) FROM dly_rcpt WHERE cnfrmtn_nbr IS NOT NULL)";
        const QString other = "(SELECT MAX(dly_rcpt_nbr) FROM dly_rcpt WHERE cnfrmtn_nbr IS NOT NULL)";
        const QString number = "(SELECT cnfrmtn_nbr FROM dly_rcpt WHERE dly_rcpt_nbr = " + confirmed + ")";
        const QString untouched = QString::number(First + Batches);
        const auto row = [](const char* name, const QString& statements, const char* problem,
                            const QString& journalLine = {}) {
            QTest::newRow(name) << statements << QString(problem) << journalLine;
        };
        row("untouched", {}, "");
        row("a receipt without its number",
            "UPDATE rcpt SET cnfrmtn_nbr = NULL WHERE rcpt_nbr = (SELECT MIN(rcpt_nbr) FROM rcpt WHERE "
            "dly_rcpt_nbr = " +
                confirmed + ")",
            "has receipts without its confirmation number");
        row("a confirmation gone with no audit row",
            "UPDATE rcpt SET cnfrmtn_nbr = NULL WHERE dly_rcpt_nbr = " + confirmed +
                ";UPDATE dly_rcpt SET cnfrmtn_nbr = NULL, cnfrmtn_dt = NULL, cnfrmtn_ofcr_id = NULL "
                "WHERE dly_rcpt_nbr = " +
                confirmed,
            "is not as its last audit row");
        row("confirmed with no audit row",
            "UPDATE rcpt SET cnfrmtn_nbr = '0999998' WHERE dly_rcpt_nbr = " + untouched +
                ";UPDATE dly_rcpt SET cnfrmtn_nbr = '0999998', cnfrmtn_dt = '2026-01-05', cnfrmtn_ofcr_id = "
                "9000 WHERE dly_rcpt_nbr = " +
                untouched,
            "confirmed without an audit row");
        row("half confirmed", "UPDATE dly_rcpt SET cnfrmtn_dt = NULL WHERE dly_rcpt_nbr = " + confirmed,
            "half confirmed");
        row("one number on two batches",
            "UPDATE rcpt SET cnfrmtn_nbr = " + number + " WHERE dly_rcpt_nbr = " + other +
                ";UPDATE dly_rcpt SET cnfrmtn_nbr = " + number + " WHERE dly_rcpt_nbr = " + other,
            "held by more than one batch");
        row("a number never handed out", "DELETE FROM form_nbr WHERE used_by_batch = " + confirmed,
            "was not handed out");
        row("an audit row removed",
            "DROP TRIGGER cnfrmtn_audit_no_delete;DELETE FROM cnfrmtn_audit WHERE audit_id = "
            "(SELECT MAX(audit_id) FROM cnfrmtn_audit)",
            "is not in the audit");
        row("an audit row nobody sent",
            "INSERT INTO cnfrmtn_audit SELECT NULL, 'UNCONFIRM', user_id, ofcr_id, trp_id, trp_dstrct_id, "
            "recorded_at, dly_rcpt_nbr, cnfrmtn_nbr, cnfrmtn_dt, 'forged', rcpt_count, total_amt "
            "FROM cnfrmtn_audit WHERE audit_id = 1",
            "rows no save accounts for");
        row("audit totals changed",
            "DROP TRIGGER cnfrmtn_audit_no_update;UPDATE cnfrmtn_audit SET total_amt = total_amt + 1 "
            "WHERE audit_id = 1",
            "receipt totals");
        row("an acknowledgement of nothing sent", {}, "never sent",
            "ack\tUPD\t2000008\t0999999\t" + QDate::currentDate().toString(Qt::ISODate) + "\tK2\t");
        row("a damaged file", "#damage", "integrity_check");
    }

    void findsDamage()
    {
        QFETCH(QString, statements);
        QFETCH(QString, problem);
        QFETCH(QString, journalLine);
        const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + ".db");
        QVERIFY(QFile::copy(m_dir.filePath("clean.db"), path));
        QList<loadgen::JournalEntry> journal = m_journal;
        if (!journalLine.isEmpty())
            journal.append(loadgen::JournalEntry::fromLine(journalLine).value());
        faults::StoreReport report;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "damaged");
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery q(db);
            for (const QString& statement : statements.split(u';', Qt::SkipEmptyParts)) {
                if (statement == u"#damage") { // the receipts table's first page
                    QVERIFY(q.exec("SELECT rootpage, (SELECT page_size FROM pragma_page_size) FROM "
                                   "sqlite_master WHERE name = 'rcpt'") &&
                            q.next());
                    const qint64 root = q.value(0).toLongLong(), pageSize = q.value(1).toLongLong();
                    q.finish();
                    QFile file(path);
                    QVERIFY(file.open(QIODevice::ReadWrite) && file.seek((root - 1) * pageSize));
                    file.write(QByteArray(pageSize, '\x5a'));
                    continue;
                }
                QVERIFY2(q.exec(statement), qPrintable(q.lastError().text()));
                if (!statement.startsWith(u"DROP"))
                    QVERIFY2(q.numRowsAffected() > 0, qPrintable(statement)); // the damage was done
            }
            q.finish();
            report = faults::checkStore(db, server::Dialect::Sqlite, journal, First, First + Batches);
        }
        QSqlDatabase::removeDatabase("damaged");
        const QString found = report.problems.join('\n');
        QVERIFY2(problem.isEmpty() ? found.isEmpty() : found.contains(problem), qPrintable(found));
        if (problem.isEmpty()) {
            QCOMPARE(report.integrity, QStringLiteral("integrity_check: ok"));
            QVERIFY(report.acknowledged > 0);
            QCOMPARE(report.auditRows, report.acknowledged);
        }
    }
};

QTEST_GUILESS_MAIN(tst_StoreCheck)
#include "tst_storecheck.moc"
