// The shell's parts on their own: options, the embedded transport, plugin registrations, the
// per-window status service and the main window with recording documents.
#include "common/HostedDocument.h"
#include "shell/DocumentRegistry.h"
#include "shell/DocumentWindow.h"
#include "shell/EmbeddedTransport.h"
#include "shell/MainWindow.h"
#include "shell/ShellOptions.h"
#include "shell/ShellStatusService.h"
#include "shell/StatusArea.h"
#include "support/CallLog.h"

#include <atomic>
#include <functional>
#include <memory>
#include <QAction>
#include <QCommandLineParser>
#include <QJsonObject>
#include <QPointer>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace tavro;

namespace {

/// A store that cannot open; counts the requests that reach it anyway.
struct FailingBackend final : EmbeddedBackend
{
    static inline std::atomic<int> requests{0};
    bool open(QString* error) override { return *error = QStringLiteral("disk full"), false; }
    std::optional<protocol::Session> signInLocal(QString*) override { return std::nullopt; }
    protocol::Reference reference() override { return {}; }
    protocol::Reply handle(const protocol::Request&) override { return ++requests, protocol::Reply{}; }
    QString firstUnconfirmedBatch() override { return {}; }
};

/// A document that records every host call as "<name>.<operation>" and answers as scripted.
class FakeDocument final : public QWidget, public HostedDocument
{
public:
    FakeDocument(const QString& name, test::CallLog& log, QWidget* parent) : QWidget(parent), m_log(log)
    {
        setObjectName(name);
    }

    QWidget* documentWidget() override { return this; }
    bool DataChanged() override { return record("DataChanged"), false; }
    void ClearData() override { record("ClearData"); }
    void FileNew() override { record("FileNew"); }
    void BeforeUnload() override { record("BeforeUnload"); }
    void PersistData() override { record("PersistData"); }
    void RestoreData() override { record("RestoreData"); }
    bool NeedSave() override { return record("NeedSave"), needSaveAnswer; }
    bool CloseDocument() override
    {
        if (record("CloseDocument"); whileClosing)
            whileClosing();
        return mayClose;
    }
    void SaveData() override { record("SaveData"); }

    bool needSaveAnswer = false;
    bool mayClose = true;
    std::function<void()> whileClosing;

private:
    void record(const char* operation) { m_log.add(objectName() + u'.' + QLatin1String(operation)); }
    test::CallLog& m_log;
};

/// A main window whose documents are FakeDocuments named doc1, doc2, ...
struct Harness
{
    ShellStatusService status;
    test::CallLog log;
    QList<QPointer<FakeDocument>> documents;
    std::unique_ptr<MainWindow> window = std::make_unique<MainWindow>(
        status,
        [this](QWidget* parent) {
            documents.append(
                new FakeDocument(QStringLiteral("doc%1").arg(documents.size() + 1), log, parent));
            return documents.constLast().data();
        },
        QStringLiteral("Confirm Payment"));

    Harness() { window->show(); }
};

} // namespace

class tst_ShellCore : public QObject
{
    Q_OBJECT

private slots:
    void shouldReadCommandLineOverSettings_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QVariantMap>("settings");
        QTest::addColumn<QString>(
            "outcome"); // "<server or embedded> <time-out ms>", or "!" and part of the error
        QTest::newRow("nothing: embedded, 30 s") << QStringList{} << QVariantMap{} << "embedded 30000";
        QTest::newRow("command line beats the settings")
            << QStringList{"--server", "ws://a:1", "--timeout", "500"}
            << QVariantMap{{"server", "ws://b:2"}, {"timeoutMs", 9000}} << "ws://a:1 500";
        QTest::newRow("http is not a WebSocket")
            << QStringList{"--server", "http://host:80"} << QVariantMap{} << "!ws://host:port";
        QTest::newRow("database with a remote server")
            << QStringList{"--server", "ws://a:1", "--db", "/tmp/x.sqlite"} << QVariantMap{} << "!--db";
        QTest::newRow("batch that is not a number")
            << QStringList{"--batch", "12a"} << QVariantMap{} << "!\"12a\"";
    }

    void shouldReadCommandLineOverSettings()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QVariantMap, settings);
        QFETCH(QString, outcome);
        QTemporaryDir dir;
        QSettings saved(dir.filePath("shell.ini"), QSettings::IniFormat);
        for (auto it = settings.cbegin(); it != settings.cend(); ++it)
            saved.setValue(it.key(), it.value());
        QCommandLineParser parser;
        ShellOptions::addTo(parser);
        QVERIFY2(parser.parse(QStringList{"tavro-shell"} + arguments), qPrintable(parser.errorText()));
        QString why;
        const auto options = ShellOptions::read(parser, saved, &why);
        const bool refused = outcome.startsWith(u'!');
        QVERIFY2(options.has_value() != refused && (options || why.contains(outcome.mid(1))),
                 qPrintable(why));
        if (options)
            QCOMPARE((options->isEmbedded() ? "embedded" : options->server.toString()) + u' ' +
                         QString::number(options->timeoutMs),
                     outcome);
    }

    void shouldReportABackEndThatCannotOpen_data()
    {
        QTest::addColumn<bool>("hasBackend");
        QTest::newRow("store fails") << true;
        QTest::newRow("no back end") << false;
    }

    void shouldReportABackEndThatCannotOpen()
    {
        QFETCH(bool, hasBackend);
        FailingBackend::requests = 0;
        EmbeddedTransport transport([&]() -> std::unique_ptr<EmbeddedBackend> {
            return hasBackend ? std::make_unique<FailingBackend>() : nullptr;
        });
        QString why;
        QVERIFY(!transport.start(&why));
        QVERIFY2(why.contains(hasBackend ? "disk full" : "No embedded back end"), qPrintable(why));
        // A request sent anyway ends as a lost connection, never inside send() and never by waiting.
        QSignalSpy lost(&transport, &MessageTransport::connectionLost);
        protocol::Request request;
        request.key = QStringLiteral("K1");
        request.requestCode = protocol::Search;
        transport.send(request);
        QCOMPARE(lost.size(), 0);
        QTRY_COMPARE(lost.size(), 1);
        QCOMPARE(FailingBackend::requests.load(), 0);
    }

    void shouldJudgeTheRegistration_data()
    {
        QTest::addColumn<QVariant>("source"); // metadata as QPluginLoader::metaData() gives it, or a folder
        QTest::addColumn<QStringList>("errorMentions"); // empty: accepted
        const QString good = "{B41F7D2E-8C65-4A93-9E0B-52D6C1A8F7E4}",
                      zero = "{00000000-0000-0000-0000-000000000000}";
        const auto row = [](const char* name, const QString& version, const QString& interfaceId,
                            const QStringList& mentions, const QString& className = "TAVRO_CnfrmPymt") {
            const QJsonObject entry{{"library", "SCR.TAVRO_CnfrmPymt"},
                                    {"class", className},
                                    {"project", "PRJ_TAVRO_CnfrmPymt"},
                                    {"version", version},
                                    {"interfaceId", interfaceId}};
            QTest::newRow(name) << QVariant(QJsonObject{{"IID", TAVRO_DOCUMENT_PLUGIN_IID},
                                                        {"className", "Plugin"},
                                                        {"MetaData", entry}})
                                << mentions;
        };
        row("exact", "5.1", good, {});
        row("later minor version", "5.12", good, {});
        row("wrong interface id", "5.1", zero, {"interface identifier", zero, good});
        row("older major version", "4.9", good, {"version 4.9", "5.1"});
        row("version without minor", "5", good, {"no readable version", "5.1"});
        row("other class", "5.1", good, {"TAVRO_Other", "TAVRO_CnfrmPymt"}, "TAVRO_Other");
        // Plugin files, each variant in a folder of its own.
        QTest::newRow("file of the screen") << QVariant("good") << QStringList{};
        QTest::newRow("file with a wrong plugin interface")
            << QVariant("wrong-plugin-iid") << QStringList{"org.example.SomethingElse/2.0"};
        QTest::newRow("file of another screen only")
            << QVariant("other-library") << QStringList{"was not found in the plugin folder", "--plugin-dir"};
        QTest::newRow("folder missing")
            << QVariant("no-such-folder") << QStringList{"does not exist", "no-such-folder"};
    }

    void shouldJudgeTheRegistration()
    {
        QFETCH(QVariant, source);
        QFETCH(QStringList, errorMentions);
        QString error, where = QStringLiteral("/plugins/x.so");
        if (source.typeId() == QMetaType::QJsonObject) {
            error = DocumentRegistry::check(source.toJsonObject(), confirmPaymentRegistration(), where);
        } else {
            where = QStringLiteral(TEST_PLUGIN_ROOT "/") + source.toString();
            const PluginLookup lookup = DocumentRegistry::find(where, confirmPaymentRegistration());
            // Found unless no file of the screen is there.
            QCOMPARE(lookup.path.isEmpty(),
                     errorMentions.contains("does not exist") || errorMentions.contains("--plugin-dir"));
            error = lookup.error;
        }
        QCOMPARE(error.isEmpty(), errorMentions.isEmpty());
        for (const QString& mention : errorMentions)
            QVERIFY2(error.contains(mention), qPrintable(error + " lacks " + mention));
        if (!error.isEmpty()) // every refusal names the library and where it was looked for
            QVERIFY2(error.contains("SCR.TAVRO_CnfrmPymt") && error.contains(where), qPrintable(error));
    }

    void shouldKeepButtonStatesPerWindow_data()
    {
        // Calls: "add:A", "remove:A", "open:B" (calls naming no window go to B), "7+A" (button 7 on
        // for A), "6-" (button 6 off, no window named). Expected: "A:7=1" (button 7 of A is on).
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("new window: New and Close on, the rest off")
            << QStringList{"add:A"} << QStringList{"A:6=1", "A:12=1", "A:7=0", "A:8=0", "A:9=0", "A:14=0"};
        QTest::newRow("empty tag while a window opens goes to that window")
            << QStringList{"add:A", "add:B", "open:B", "7+", "6-"}
            << QStringList{"B:7=1", "B:6=0", "A:7=0", "A:6=1"};
        QTest::newRow("empty tag with no window opening is dropped")
            << QStringList{"add:A", "7+", "12-"} << QStringList{"A:7=0", "A:12=1", ":7=0"};
        QTest::newRow("removed window forgets its states")
            << QStringList{"add:A", "7+A", "remove:A", "add:A"} << QStringList{"A:7=0"};
    }

    void shouldKeepButtonStatesPerWindow()
    {
        QFETCH(QStringList, calls);
        QFETCH(QStringList, expected);
        ShellStatusService status;
        const QMap<QString, void (ShellStatusService::*)(const QString&)> windowCalls{
            {"add", &ShellStatusService::addWindow},
            {"remove", &ShellStatusService::removeWindow},
            {"open", &ShellStatusService::setOpeningWindow}};
        for (const QString& call : calls) {
            if (const qsizetype sign = call.indexOf(QRegularExpression("[+-]")); sign > 0)
                status.EnableToolbarButton(call.left(sign).toInt(), call[sign] == u'+', call.mid(sign + 1));
            else
                (status.*windowCalls.value(call.section(u':', 0, 0)))(call.section(u':', 1));
        }
        for (const QString& e : expected) {
            const QStringList part = e.split(QRegularExpression("[:=]"));
            QVERIFY2(status.isButtonEnabled(part[0], part[1].toInt()) == (part[2] == u"1"), qPrintable(e));
        }
    }

    void shouldShowStatusWarningAndReadyInTheStatusArea()
    {
        ShellStatusService status;
        MainWindow window(status, {}, QStringLiteral("Confirm Payment"));
        status.ShowWarning(QStringLiteral("Invalid"));
        QVERIFY(window.statusArea()->isWarning() && status.isWarning());
        status.ShowStatus(QStringLiteral("Saving")); // a status after a warning is plain again
        status.SetReady(false);
        QCOMPARE(window.statusArea()->text(), QStringLiteral("Saving"));
        QVERIFY(!window.statusArea()->isWarning() && !status.isWarning());
        QVERIFY(!window.statusArea()->isReady());
    }

    void shouldAskTheDocumentsAsTheOfficerActs_data()
    {
        QTest::addColumn<QString>("action");      // "quit", "destroy" or the number of a toolbar button
        QTest::addColumn<QList<bool>>("refuses"); // per document: NeedSave answers true, CloseDocument false
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<int>("left"); // documents still there
        const QString close1 = "doc1.CloseDocument", close2 = "doc2.CloseDocument",
                      unload1 = "doc1.BeforeUnload";
        // Bringing a window forward to ask about it is not leaving the other one: no NeedSave. A
        // document that agrees to close unloads.
        QTest::newRow("quit, all agree") << "quit" << QList<bool>{false, false}
                                         << QStringList{close1, unload1, close2, "doc2.BeforeUnload"} << 0;
        QTest::newRow("quit, the first refuses: the second is not asked")
            << "quit" << QList<bool>{true, false} << QStringList{close1} << 2;
        QTest::newRow("quit, the second refuses: the first is already closed")
            << "quit" << QList<bool>{false, true} << QStringList{close1, unload1, close2} << 1;
        QTest::newRow("6 with nothing to save starts anew")
            << "6" << QList<bool>{false, false} << QStringList{"doc2.NeedSave", "doc2.FileNew"} << 2;
        QTest::newRow("6 when the officer saves or cancels keeps the entry")
            << "6" << QList<bool>{false, true} << QStringList{"doc2.NeedSave"} << 2;
        // A document that waits for its save handles events; meanwhile the officer presses Ctrl+W
        // again and then tries to quit: neither asks it again.
        QTest::newRow("12 again and quit while the document decides")
            << "12 again" << QList<bool>{false} << QStringList{"doc1.CloseDocument", unload1} << 0;
        QTest::newRow("12 refused by the document")
            << "12" << QList<bool>{false, true} << QStringList{close2} << 2;
        // Buttons the document has no operation for do nothing, not even in the status line.
        QTest::newRow("8 Delete") << "8" << QList<bool>{false, false} << QStringList{} << 2;
        // Destruction is not a close: nothing is asked, every document unloads once.
        QTest::newRow("the shell goes")
            << "destroy" << QList<bool>{true, true} << QStringList{unload1, "doc2.BeforeUnload"} << 0;
    }

    void shouldAskTheDocumentsAsTheOfficerActs()
    {
        QFETCH(QString, action);
        QFETCH(QList<bool>, refuses);
        QFETCH(QStringList, asked);
        QFETCH(int, left);
        Harness h;
        for (const bool refusing : refuses) {
            h.window->openDocument();
            h.documents.constLast()->needSaveAnswer = refusing;
            h.documents.constLast()->mayClose = !refusing;
        }
        // The toolbar follows the active document; switch every button on for it.
        for (int b : {6, 7, 8, 9, 12, 14})
            h.status.EnableToolbarButton(b, true, h.window->activeDocumentWindow()->tag());
        bool quitWhileDeciding = false;
        if (action == u"12 again")
            h.documents.at(0)->whileClosing = [&] {
                h.window->toolbarAction(12)->trigger();
                quitWhileDeciding = h.window->close();
            };
        h.log.clear();
        if (action == u"quit")
            QCOMPARE(h.window->close(), left == 0);
        else if (action == u"destroy")
            h.window.reset();
        else
            h.window->toolbarAction(action.section(u' ', 0, 0).toInt())->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(h.log.entries(), asked);
        QCOMPARE(h.documents.size() - h.documents.count(nullptr), left);
        QVERIFY(h.status.statusText().isEmpty()); // the documents' status line is theirs
        QVERIFY(!quitWhileDeciding);
    }
};

QTEST_MAIN(tst_ShellCore)
#include "tst_shellcore.moc"
