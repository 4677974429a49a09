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
        }
        QString why;
        const auto journal = loadgen::readJournal(m_dir.filePath("journal.txt"), &why);
        QVERIFY2(journal, qPrintable(why));
        m_journal = *journal;
    }

    void findsDamage_data()
    {
        const QString confirmed = "(SELECT MIN(dly_rcpt_nbr) FROM dly_rcpt WHERE cnfrmtn_nbr IS NOT NULL)";
        const QString lastAudit = "(SELECT MAX(audit_id) FROM cnfrmtn_audit)";
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        QTest::addColumn<QStringList>("statements");
        QTest::addColumn<QStringList>("journalLines");
        QTest::addColumn<QString>("problem"); // a part of one problem found, or empty for none

        QTest::newRow("untouched") << QStringList() << QStringList() << QString();
        QTest::newRow("a receipt without its number")
            << QStringList{"UPDATE rcpt SET cnfrmtn_nbr = NULL WHERE rcpt_nbr = (SELECT MIN(r.rcpt_nbr) FROM "
                           "rcpt "
                           "r JOIN dly_rcpt d ON d.dly_rcpt_nbr = r.dly_rcpt_nbr WHERE d.cnfrmtn_nbr IS NOT "
                           "NULL)"}
            << QStringList() << "has receipts without its confirmation number";
        QTest::newRow("a confirmation gone with no audit row")
            << QStringList{"UPDATE rcpt SET cnfrmtn_nbr = NULL WHERE dly_rcpt_nbr = " + confirmed,
                           "UPDATE dly_rcpt SET cnfrmtn_nbr = NULL, cnfrmtn_dt = NULL, cnfrmtn_ofcr_id = "
                           "NULL "
                           "WHERE dly_rcpt_nbr = " +
                               confirmed}
            << QStringList() << "is not as its last audit row";
        const QString untouched = QString::number(First + Batches);
        QTest::newRow("confirmed with no audit row")
            << QStringList{"UPDATE rcpt SET cnfrmtn_nbr = '0999998' WHERE dly_rcpt_nbr = " + untouched,
                           "UPDATE dly_rcpt SET cnfrmtn_nbr = '0999998', cnfrmtn_dt = '2026-01-05', "
                           "cnfrmtn_ofcr_id = 9000 WHERE dly_rcpt_nbr = " +
                               untouched}
            << QStringList() << "confirmed without an audit row";
        QTest::newRow("half confirmed")
            << QStringList{"UPDATE dly_rcpt SET cnfrmtn_dt = NULL WHERE dly_rcpt_nbr = " + confirmed}
            << QStringList() << "half confirmed";
        const QString firstNumber =
            "(SELECT cnfrmtn_nbr FROM dly_rcpt WHERE dly_rcpt_nbr = " + confirmed + ")";
        const QString otherBatch = "(SELECT MAX(dly_rcpt_nbr) FROM dly_rcpt WHERE cnfrmtn_nbr IS NOT NULL)";
        QTest::newRow("one number on two batches")
            << QStringList{"UPDATE rcpt SET cnfrmtn_nbr = " + firstNumber +
                               " WHERE dly_rcpt_nbr = " + otherBatch,
                           "UPDATE dly_rcpt SET cnfrmtn_nbr = " + firstNumber +
                               " WHERE dly_rcpt_nbr = " + otherBatch}
            << QStringList() << "held by more than one batch";
        QTest::newRow("a number never handed out")
            << QStringList{"DELETE FROM form_nbr WHERE used_by_batch = " + confirmed} << QStringList()
            << "was not handed out";
        QTest::newRow("an audit row removed")
            << QStringList{"DROP TRIGGER cnfrmtn_audit_no_delete",
                           "DELETE FROM cnfrmtn_audit WHERE audit_id = " + lastAudit}
            << QStringList() << "is not in the audit";
        QTest::newRow("an audit row nobody sent")
            << QStringList{"INSERT INTO cnfrmtn_audit (action, user_id, ofcr_id, trp_id, trp_dstrct_id, "
                           "recorded_at, dly_rcpt_nbr, cnfrmtn_nbr, cnfrmtn_dt, cmmt_txt, rcpt_count, "
                           "total_amt) "
                           "SELECT 'UNCONFIRM', user_id, ofcr_id, trp_id, trp_dstrct_id, recorded_at, "
                           "dly_rcpt_nbr, "
                           "cnfrmtn_nbr, cnfrmtn_dt, 'forged', rcpt_count, total_amt FROM cnfrmtn_audit "
                           "WHERE audit_id = 1"}
            << QStringList() << "rows no save accounts for";
        QTest::newRow("audit totals changed")
            << QStringList{"DROP TRIGGER cnfrmtn_audit_no_update",
                           "UPDATE cnfrmtn_audit SET total_amt = total_amt + 1 WHERE audit_id = 1"}
            << QStringList() << "receipt totals";
        QTest::newRow("an acknowledged save the store lost")
            << QStringList()
            << QStringList{"sent\tUPD\t2000008\t0999999\t" + today + "\tK1\t",
                           "ack\tUPD\t2000008\t0999999\t" + today + "\tK1\t"}
            << "is not in the audit";
        QTest::newRow("an acknowledgement of nothing sent")
            << QStringList() << QStringList{"ack\tUPD\t2000008\t0999999\t" + today + "\tK2\t"}
            << "never sent";
        QTest::newRow("a damaged file") << QStringList{"#damage"} << QStringList() << "integrity_check";
    }

    void findsDamage()
    {
        QFETCH(QStringList, statements);
        QFETCH(QStringList, journalLines);
        QFETCH(QString, problem);
        const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + ".db");
        QVERIFY(QFile::copy(m_dir.filePath("clean.db"), path));
        QList<loadgen::JournalEntry> journal = m_journal;
        for (const QString& line : journalLines)
            journal.append(loadgen::JournalEntry::fromLine(line).value());
        faults::StoreReport report;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "damaged");
            db.setDatabaseName(path);
            QVERIFY(db.open());
            for (const QString& statement : statements) {
                if (statement == u"#damage") {
                    // Garbage over the first page of the receipts table.
                    QSqlQuery where(db);
                    QVERIFY(where.exec("SELECT (SELECT rootpage FROM sqlite_master WHERE name = 'rcpt'), "
                                       "(SELECT page_size FROM pragma_page_size)") &&
                            where.next());
                    const qint64 pageSize = where.value(1).toLongLong();
                    const qint64 root = where.value(0).toLongLong();
                    where.finish();
                    QFile file(path);
                    QVERIFY(file.open(QIODevice::ReadWrite));
                    QVERIFY(file.seek((root - 1) * pageSize));
                    file.write(QByteArray(pageSize, '\x5a'));
                    continue;
                }
                QSqlQuery q(db);
                QVERIFY2(q.exec(statement), qPrintable(q.lastError().text()));
                if (!statement.startsWith(u"DROP"))
                    QVERIFY2(q.numRowsAffected() > 0, qPrintable(statement)); // the damage was done
            }
            report = faults::checkStore(db, server::Dialect::Sqlite, journal, First, First + Batches);
        }
        QSqlDatabase::removeDatabase("damaged");
        if (problem.isEmpty()) {
            QVERIFY2(report.problems.isEmpty(), qPrintable(report.problems.join('\n')));
            QCOMPARE(report.integrity, QStringLiteral("integrity_check: ok"));
            QVERIFY(report.acknowledged > 0);
            QCOMPARE(report.auditRows, report.acknowledged);
            return;
        }
        QVERIFY2(report.problems.join('\n').contains(problem), qPrintable(report.problems.join('\n')));
    }
};

QTEST_GUILESS_MAIN(tst_StoreCheck)
#include "tst_storecheck.moc"
