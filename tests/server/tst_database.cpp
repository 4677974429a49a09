// Statements are kept prepared per connection and handed to the next Query of the same text; a
// kept statement must behave as a freshly prepared one would.

#include "server/Database.h"
#include "ServerTestSupport.h"

#include <memory>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace tavro::server;

namespace {

const QString Insert = QStringLiteral("INSERT INTO t (id, a, b) VALUES (?, ?, ?)");
const QString ById = QStringLiteral("SELECT a, b FROM t WHERE id = ?");
const QString All = QStringLiteral("SELECT id FROM t ORDER BY id");

} // namespace

class TestDatabase : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<test::PgCluster> m_cluster;
    std::unique_ptr<Database> m_database;
    int m_stores = 0;

    QSqlDatabase connection()
    {
        QString why;
        const auto db = m_database->connection(&why);
        if (!db)
            qFatal("no connection: %s", qPrintable(why));
        return *db;
    }

    // Statements PostgreSQL cannot prepare (DDL) go as they are.
    bool run(const QString& sql)
    {
        QSqlQuery query(connection());
        return query.exec(sql);
    }

    int count()
    {
        Query query(connection(), QStringLiteral("SELECT COUNT(*) FROM t"));
        return query.exec() && query.next() ? int(toInteger(query.value(0))) : -1;
    }

private slots:
    void initTestCase()
    {
#ifdef TAVRO_TEST_POSTGRES
        if (!QFile::exists(test::PgCluster::binaries() + QStringLiteral("/initdb")))
            QSKIP("PostgreSQL 15 is not installed");
        m_cluster = std::make_unique<test::PgCluster>();
        QString why;
        QVERIFY2(m_cluster->start(&why), qPrintable(why));
#endif
    }

    void init()
    {
        const QString name = QStringLiteral("store%1").arg(++m_stores);
        DatabaseConfig config = DatabaseConfig::sqlite(m_dir.filePath(name + QStringLiteral(".db")));
        if (m_cluster) {
            QString why;
            QVERIFY2(m_cluster->execute(QStringLiteral("CREATE DATABASE %1").arg(name), &why),
                     qPrintable(why));
            config = m_cluster->config(name);
        }
        m_database = std::make_unique<Database>(config);
        QVERIFY(run(QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY, a TEXT, b INTEGER)")));
        for (int id = 1; id <= 5; ++id) {
            Query insert(connection(), Insert);
            QVERIFY(insert.bind(id).bind(QStringLiteral("row%1").arg(id)).bind(id * 10).exec());
        }
    }

    void cleanup()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral("still in use")));
        m_database.reset();
    }

    void aStatementShouldBePreparedOncePerConnection()
    {
        {
            Query first(connection(), ById);
            QVERIFY(!first.reused());
        }
        Query second(connection(), ById);
        QVERIFY(second.reused());
        QVERIFY(second.bind(3).exec() && second.next());
        QCOMPARE(second.value(0).toString(), QStringLiteral("row3"));

        // Another thread has its own connection and so its own statements.
        bool reusedThere = true;
        QString valueThere;
        QThread* thread = QThread::create([&] {
            QString why;
            const auto db = m_database->connection(&why);
            Query query(*db, ById);
            reusedThere = query.reused();
            if (query.bind(4).exec() && query.next())
                valueThere = query.value(0).toString();
        });
        thread->start();
        QVERIFY(thread->wait(10000));
        delete thread;
        QVERIFY(!reusedThere);
        QCOMPARE(valueThere, QStringLiteral("row4"));
    }

    // What the last user bound must not leak into the next: a kept statement with too few or too
    // many values bound fails as a freshly prepared one does.
    void aKeptStatementShouldNeedEveryValue_data()
    {
        QTest::addColumn<int>("bound");
        QTest::newRow("only the key") << 1;
        QTest::newRow("two of three") << 2;
        QTest::newRow("all three") << 3;
        QTest::newRow("one too many") << 4;
    }

    void aKeptStatementShouldNeedEveryValue()
    {
        QFETCH(int, bound);
        const QVariant values[] = {100, QStringLiteral("x"), 7, 8};
        {
            Query earlier(connection(), Insert);
            QVERIFY(earlier.bind(values[0]).bind(values[1]).bind(values[2]).exec());
        }
        QVERIFY(run(QStringLiteral("DELETE FROM t WHERE id = 100")));

        QSqlQuery fresh(connection());
        QVERIFY(fresh.prepare(Insert));
        for (int i = 0; i < bound; ++i)
            fresh.bindValue(i, values[i]);
        const bool freshInserted = fresh.exec();
        fresh.finish();
        QVERIFY(run(QStringLiteral("DELETE FROM t WHERE id = 100")));

        if (!freshInserted)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Query failed")));
        Query kept(connection(), Insert);
        QVERIFY(kept.reused());
        for (int i = 0; i < bound; ++i)
            kept.bind(values[i]);
        QCOMPARE(kept.exec(), freshInserted);
        QCOMPARE(count(), freshInserted ? 6 : 5);
    }

    void aStatementInUseShouldNotBeShared()
    {
        auto ids = [](Query& query) {
            QList<qint64> read;
            while (query.next())
                read.append(toInteger(query.value(0)));
            return read;
        };
        const QList<qint64> all{1, 2, 3, 4, 5};
        Query outer(connection(), All);
        QVERIFY(outer.exec());
        QCOMPARE(ids(outer), all);
        {
            Query inner(connection(), All);
            QVERIFY(!inner.reused());
            QVERIFY(inner.exec());
            QCOMPARE(ids(inner), all);
        }
        QVERIFY(outer.exec());
        QCOMPARE(ids(outer), all);
    }

    // A statement given back with rows unread must not hold the table: on SQLite it would keep
    // DDL and a commit on the same connection from going through.
    void aStatementLeftUnreadShouldHoldNothing()
    {
        {
            Transaction transaction(connection(), *m_database, Transaction::Mode::Write);
            QVERIFY(transaction.begin(nullptr));
            {
                Query partly(connection(), All);
                QVERIFY(partly.exec() && partly.next());
            }
            Query update(connection(), QStringLiteral("UPDATE t SET b = 0 WHERE id = 1"));
            QVERIFY(update.exec());
            QString why;
            QVERIFY2(transaction.commit(&why), qPrintable(why));
        }
        {
            Query partly(connection(), All);
            QVERIFY(partly.exec() && partly.next());
        }
        QVERIFY(run(QStringLiteral("DROP TABLE t")));
    }

    // Dates read from SQLite text take a short way; they must read as Qt's ISO parser reads them.
    void textDatesShouldReadAsIsoDates_data()
    {
        QTest::addColumn<QString>("text");
        for (const char* text :
             {"2005-01-26", "2005-01-26 10:11:12", "2005-01-26T10:11:12Z", "2004-02-29", "2005-02-29",
              "2005-13-01", "2005-00-10", "0000-01-01", "0001-01-01", "9999-12-31", "2005-1-26", "2005/01/26",
              "20050126", "", "abcd-ef-gh", "+005-01-26", "-005-01-26", "2005-01-2x", "٢٠٠٥-01-26"})
            QTest::newRow(text) << QString::fromUtf8(text);
    }

    void textDatesShouldReadAsIsoDates()
    {
        QFETCH(QString, text);
        QCOMPARE(toDate(text), QDate::fromString(text.left(10), Qt::ISODate));
    }

    // Kept BEGIN, COMMIT and ROLLBACK statements work every time, not only the first.
    void transactionsShouldEndAsAskedEveryTime_data()
    {
        QTest::addColumn<QList<bool>>("commits");
        QTest::newRow("rollback, rollback, commit") << QList<bool>{false, false, true};
        QTest::newRow("commit, rollback, commit") << QList<bool>{true, false, true};
        QTest::newRow("commit three times") << QList<bool>{true, true, true};
    }

    void transactionsShouldEndAsAskedEveryTime()
    {
        QFETCH(QList<bool>, commits);
        int expected = count();
        int id = 10;
        for (bool commit : commits) {
            {
                Transaction transaction(connection(), *m_database, Transaction::Mode::Write);
                QVERIFY(transaction.begin(nullptr));
                Query insert(connection(), Insert);
                QVERIFY(insert.bind(++id).bind(QString()).bind(0).exec());
                if (commit) {
                    QVERIFY(transaction.commit(nullptr));
                    ++expected;
                }
            }
            QCOMPARE(count(), expected);
        }
        Transaction read(connection(), *m_database, Transaction::Mode::Read);
        QVERIFY(read.begin(nullptr));
        QVERIFY(read.commit(nullptr));
    }

    // A failed execution leaves the kept statement fit for the next user; a text that cannot be
    // prepared is not kept at all and fails again.
    void failuresShouldNotStick()
    {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Query failed")));
        {
            Query duplicate(connection(), Insert);
            QVERIFY(!duplicate.bind(1).bind(QString()).bind(0).exec());
            QVERIFY(!duplicate.error().isEmpty());
        }
        Query insert(connection(), Insert);
        QVERIFY(insert.reused());
        QVERIFY(insert.bind(6).bind(QStringLiteral("row6")).bind(60).exec());
        QCOMPARE(count(), 6);

        for (int attempt = 0; attempt < 2; ++attempt) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Query failed")));
            Query broken(connection(), QStringLiteral("SELEC nothing"));
            QVERIFY(!broken.reused());
            QVERIFY(!broken.exec());
            QVERIFY(!broken.error().isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
