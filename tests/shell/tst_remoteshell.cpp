// The whole shell signed in to a real tavro server over a WebSocket: the server stops and
// comes back while the officer works.
#include "BoxAnswer.h"
#include "server/Database.h"
#include "server/Server.h"
#include "server/Service.h"
#include "shell/DocumentWindow.h"
#include "shell/MainWindow.h"
#include "shell/Shell.h"
#include "shell/StatusArea.h"

#include <memory>
#include <QAbstractItemView>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace tavro;

class tst_RemoteShell : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<server::Service> m_service;
    std::unique_ptr<server::Server> m_server;
    std::unique_ptr<Shell> m_shell;
    quint16 m_port = 0;
    QString m_batch;

    bool listen(quint16 port)
    {
        m_server = std::make_unique<server::Server>(*m_service);
        QString why;
        if (!m_server->listen(QHostAddress::LocalHost, port, &why))
            return false;
        m_port = m_server->port();
        return true;
    }
    QWidget* document() const { return m_shell->mainWindow()->activeDocumentWindow()->widget(); }
    int rows() const
    {
        auto* view = document()->findChild<QWidget*>("mSdgCnfrmPymt")->findChild<QAbstractItemView*>();
        return view && view->model() ? view->model()->rowCount() : -1;
    }
    void search()
    {
        auto* edit = document()->findChild<QWidget*>("mTxtCnfrmPymt")->findChild<QLineEdit*>();
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, m_batch);
        QTest::mouseClick(document()->findChild<QAbstractButton*>("mCmdCnfrmPymt_0"), Qt::LeftButton);
    }
    StatusArea* status() const { return m_shell->mainWindow()->statusArea(); }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        m_service = std::make_unique<server::Service>(
            server::DatabaseConfig::sqlite(m_dir.filePath("remote.sqlite")));
        QString why;
        QVERIFY2(m_service->initialize(&why) && m_service->seedDemo(&why, server::HashCost::Minimal),
                 qPrintable(why));
        const auto db = m_service->database().connection(&why);
        server::Query q(*db, "SELECT MIN(dly_rcpt_nbr) FROM dly_rcpt WHERE cnfrmtn_nbr IS NULL");
        QVERIFY(q.exec() && q.next());
        m_batch = QStringLiteral("%1").arg(server::toInteger(q.value(0)), 7, 10, QLatin1Char('0'));
        q.finish();
        QVERIFY(listen(0));

        ShellOptions options;
        options.server = QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(m_port));
        options.user = QStringLiteral("demo");
        options.pluginDir = QStringLiteral(TAVRO_PLUGIN_DIR);
        options.timeoutMs = 3000;
        qputenv("TAVRO_PASSWORD", "demo");
        m_shell = std::make_unique<Shell>(options);
        QVERIFY2(m_shell->start(&why), qPrintable(why));
        QCOMPARE(m_shell->session().profile.userId, QStringLiteral("demo"));
        QVERIFY(!m_shell->mainWindow()->windowTitle().contains("demo data"));
    }

    void shouldSearchOnTheServer()
    {
        search();
        QTRY_VERIFY_WITH_TIMEOUT(rows() > 0, 10000);
        QVERIFY(status()->sourceText().contains("signed in as demo"));
    }

    void shouldReportTheSearchTimedOutWhileTheServerIsDown()
    {
        m_server.reset();
        QTRY_VERIFY_WITH_TIMEOUT(status()->sourceText().startsWith("OFFLINE"), 5000);
        const auto box = test::answerNextBox(QStringLiteral("OK"), 6000);
        QElapsedTimer clock;
        clock.start();
        search();
        QTRY_COMPARE_WITH_TIMEOUT(status()->text(), QStringLiteral("Search timed out"), 6000);
        QVERIFY(clock.elapsed() < 3000 + 1000); // within the time-out
        QCOMPARE(rows(), 0);
    }

    void shouldWorkAgainOnceTheServerIsBack()
    {
        QVERIFY(listen(m_port));
        QTRY_VERIFY_WITH_TIMEOUT(status()->sourceText().contains("signed in as demo"), 15000);
        search();
        QTRY_VERIFY_WITH_TIMEOUT(rows() > 0, 10000);
        QVERIFY(status()->text().startsWith("Displaying"));
    }

    void cleanupTestCase()
    {
        m_shell.reset();
        m_server.reset();
        m_service.reset();
    }
};

QTEST_MAIN(tst_RemoteShell)
#include "tst_remoteshell.moc"
