// The whole shell signed in to a real tavro server over a WebSocket: the server stops and
// comes back while the officer works, also while a request of the screen is unanswered.
#include "LiveShellTest.h"
#include "server/Database.h"
#include "server/Server.h"
#include "server/Service.h"
#include "shell/StatusArea.h"

#include <QTcpServer>
#include <QTcpSocket>

using namespace tavro;

namespace {

// Passes bytes between the shell and the server; while holding, the server's answers wait in the
// relay, so a request can still be unanswered when the server goes away. A connection the
// server drops is dropped on the shell's side at once, with whatever was held.
struct Relay : QObject
{
    QTcpServer listener;
    bool holding = false;

    explicit Relay(quint16 target)
    {
        connect(&listener, &QTcpServer::newConnection, this, [this, target] {
            while (QTcpSocket* shell = listener.nextPendingConnection()) {
                auto* server = new QTcpSocket(shell);
                auto pass = [this, shell, server] {
                    if (server->state() == QAbstractSocket::ConnectedState)
                        server->write(shell->readAll());
                    if (!holding)
                        shell->write(server->readAll());
                };
                connect(shell, &QTcpSocket::readyRead, this, pass);
                connect(server, &QTcpSocket::readyRead, this, pass);
                connect(server, &QTcpSocket::connected, this, pass);
                auto drop = [shell] {
                    shell->abort();
                    shell->deleteLater();
                };
                connect(server, &QTcpSocket::disconnected, shell, drop);
                connect(server, &QTcpSocket::errorOccurred, shell, drop);
                connect(shell, &QTcpSocket::disconnected, shell, drop);
                server->connectToHost(QHostAddress::LocalHost, target);
            }
        });
        listener.listen(QHostAddress::LocalHost, 0);
    }
};

} // namespace

class tst_RemoteShell : public test::LiveShellTest
{
    Q_OBJECT

private:
    std::unique_ptr<server::Service> m_service;
    std::unique_ptr<server::Server> m_server;
    std::unique_ptr<Relay> m_relay;
    quint16 m_port = 0;
    QString m_batch;
    QString m_savedBatch;

    bool listen(quint16 port)
    {
        m_server = std::make_unique<server::Server>(*m_service);
        const bool listening = m_server->listen(QHostAddress::LocalHost, port, nullptr);
        m_port = m_server->port();
        return listening;
    }
    void search(const QString& batch = {})
    {
        ScreenDriver(document()).search(batch.isEmpty() ? m_batch : batch);
    }
    StatusArea* status() const { return main()->statusArea(); }
    static bool outstanding() { return !VeskMessage::GetInstance()->outstandingKeys().isEmpty(); }

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
        // Two unconfirmed batches: the second for the save the server may or may not have done.
        server::Query q(*db,
                        "SELECT dly_rcpt_nbr FROM dly_rcpt WHERE cnfrmtn_nbr IS NULL ORDER BY 1 LIMIT 2");
        QVERIFY(q.exec());
        for (QString* batch : {&m_batch, &m_savedBatch}) {
            QVERIFY(q.next());
            *batch = QStringLiteral("%1").arg(server::toInteger(q.value(0)), 7, 10, QLatin1Char('0'));
        }
        q.finish();
        QVERIFY(listen(0));
        m_relay = std::make_unique<Relay>(m_port);

        ShellOptions options;
        options.server = QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(m_relay->listener.serverPort()));
        options.user = QStringLiteral("demo");
        options.pluginDir = QStringLiteral(TAVRO_PLUGIN_DIR);
        options.timeoutMs = 3000;
        qputenv("TAVRO_PASSWORD", "demo");
        m_shell = std::make_unique<Shell>(options);
        QVERIFY2(m_shell->start(&why), qPrintable(why));
        QCOMPARE(m_shell->session().profile.userId, QStringLiteral("demo"));
        QVERIFY(!main()->windowTitle().contains("demo data"));
    }

    void shouldEndWhatIsOutstandingWhenTheServerStops_data()
    {
        QTest::addColumn<QString>("request"); // what is unanswered when the server stops
        QTest::newRow("search") << "search";
        QTest::newRow("receipt detail") << "receipt detail";
        QTest::newRow("close waiting for its save") << "close";
    }

    // The server's answer is held back, the server stops: the request ends through the time-out
    // path at once, nothing waits for the full time-out, and the screen searches again once the
    // server is back.
    void shouldEndWhatIsOutstandingWhenTheServerStops()
    {
        QFETCH(QString, request); // each row leaves the shell signed in with a window open
        search(request == u"close" ? m_savedBatch : m_batch);
        QTRY_VERIFY_WITH_TIMEOUT(rows() > 0, 10000);
        if (request == u"close") {
            QVERIFY(!takeNumber().isEmpty()); // the screen now holds unsaved work
            QTRY_VERIFY(!outstanding());
        }

        m_relay->holding = true;
        QElapsedTimer clock;
        std::shared_ptr<test::SeenBox> box;
        auto stopServer = [&] {
            box = test::answerNextBox(QStringLiteral("OK"), 6000);
            clock.start();
            m_server.reset();
        };
        QPointer<DocumentWindow> window = main()->activeDocumentWindow();
        if (request == u"close") {
            // The close waits inside the toolbar call: the server stops once the save is out.
            QTimer watch;
            connect(&watch, &QTimer::timeout, this, [&] {
                if (outstanding() && m_server) {
                    watch.stop();
                    stopServer();
                }
            });
            watch.start(20);
            const auto save = test::answerNextBox(QStringLiteral("Yes"));
            main()->toolbarAction(12)->trigger();
            QVERIFY(save->answered);
            QVERIFY(!m_server);
            // A save that timed out is no refusal: the window closes.
            QTRY_VERIFY(window.isNull());
        } else {
            if (request == u"search") {
                search();
            } else {
                QVERIFY(ScreenDriver(document()).selectRow(0));
                QTest::mouseClick(control<QAbstractButton>("mCmdCnfrmPymt_2"), Qt::LeftButton);
            }
            QVERIFY(outstanding());
            stopServer();
        }
        QTRY_COMPARE_WITH_TIMEOUT(status()->text(), QStringLiteral("Search timed out"), 3000);
        QVERIFY(clock.elapsed() < 3000); // well within the request time-out
        QTRY_VERIFY(box->answered);
        QCOMPARE(box->text, QStringLiteral("The connection to the server was lost."));
        QVERIFY(!outstanding());
        QVERIFY(!QApplication::activeModalWidget()); // no detail form came up

        m_relay->holding = false;
        QVERIFY(listen(m_port));
        QTRY_VERIFY_WITH_TIMEOUT(status()->sourceText().contains("signed in as demo"), 10000);
        if (!main()->activeDocumentWindow())
            main()->openDocument();
        search();
        QTRY_VERIFY_WITH_TIMEOUT(rows() > 0, 10000);
        QVERIFY(status()->text().startsWith("Displaying"));
    }

    void cleanupTestCase() { m_shell.reset(); } // before the relay, server and store it talks to
};

QTEST_MAIN(tst_RemoteShell)
#include "tst_remoteshell.moc"
