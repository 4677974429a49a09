#include "FakeDocument.h"
#include "shell/DocumentWindow.h"
#include "shell/MainWindow.h"
#include "shell/ShellStatusService.h"

#include <memory>
#include <QAction>
#include <QMdiArea>
#include <QPointer>
#include <QRegularExpression>
#include <QTest>

using namespace tavro;
using test::FakeDocument;

namespace {

/// A main window whose documents are FakeDocuments named doc1, doc2, ...
struct Harness
{
    ShellStatusService status;
    test::CallLog log;
    QList<QPointer<FakeDocument>> documents;
    std::unique_ptr<MainWindow> window = std::make_unique<MainWindow>(
        status,
        [this](QWidget* parent) {
            auto* d = new FakeDocument(QStringLiteral("doc%1").arg(documents.size() + 1), log, parent);
            documents.append(d);
            return d;
        },
        QStringLiteral("Confirm Payment"));

    Harness()
    {
        window->resize(900, 700);
        window->show();
    }
    FakeDocument* doc(int i) const { return documents.at(i - 1); }
    /// Calls of \a operation (e.g. "CloseDocument") in the log, with their document names.
    QStringList calls(const QString& operation) const
    {
        return log.entries().filter(QRegularExpression(u"\\."_qs + operation + u'$'));
    }
};

} // namespace

class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void shouldNotAskAgainWhileTheDocumentIsDecidingToClose()
    {
        Harness h;
        QPointer<DocumentWindow> window = h.window->openDocument();
        // A document that waits for its save handles events; meanwhile the officer presses
        // Ctrl+W again and then tries to quit.
        bool shellClosed = true;
        h.doc(1)->whileClosing = [&] {
            h.window->toolbarAction(12)->trigger();
            shellClosed = h.window->close();
        };
        QVERIFY(window->close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(h.calls("CloseDocument").size(), 1);
        QVERIFY(!shellClosed);
        QVERIFY(window.isNull());
    }

    void shouldQuitOnlyWhenEveryDocumentAgrees_data()
    {
        QTest::addColumn<QList<bool>>("agree");
        QTest::addColumn<bool>("quits");
        QTest::addColumn<QStringList>("asked");

        QTest::newRow("all agree") << QList<bool>{true, true} << true
                                   << QStringList{"doc1.CloseDocument", "doc2.CloseDocument"};
        QTest::newRow("first refuses: the second is not asked")
            << QList<bool>{false, true} << false << QStringList{"doc1.CloseDocument"};
        QTest::newRow("second refuses: the first is already closed")
            << QList<bool>{true, false} << false << QStringList{"doc1.CloseDocument", "doc2.CloseDocument"};
    }

    void shouldQuitOnlyWhenEveryDocumentAgrees()
    {
        QFETCH(QList<bool>, agree);
        QFETCH(bool, quits);
        QFETCH(QStringList, asked);
        Harness h;
        for (int i = 0; i < agree.size(); ++i) {
            h.window->openDocument();
            h.doc(i + 1)->mayClose = agree.at(i);
        }
        h.log.clear();

        const bool closed = h.window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        QCOMPARE(closed, quits);
        QCOMPARE(h.calls("CloseDocument"), asked);
        // Bringing a window forward to ask about it is not leaving the other one.
        QVERIFY(h.calls("NeedSave").isEmpty());
        for (int i = 0; i < agree.size(); ++i) {
            const bool gone = h.documents.at(i).isNull();
            const bool wasAsked = asked.contains(QStringLiteral("doc%1.CloseDocument").arg(i + 1));
            QCOMPARE(gone, wasAsked && agree.at(i));
        }
    }

    void shouldDriveTheActiveDocumentFromTheToolbar_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("refuses"); // NeedSave answers true, CloseDocument false
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("6 with nothing to save starts anew")
            << 6 << false << QStringList{"doc2.NeedSave", "doc2.FileNew"};
        QTest::newRow("6 when the officer saves or cancels keeps the entry")
            << 6 << true << QStringList{"doc2.NeedSave"};
        QTest::newRow("12 refused by the document") << 12 << true << QStringList{"doc2.CloseDocument"};
        // Buttons the document has no operation for do nothing, not even in the status line.
        QTest::newRow("8 Delete") << 8 << false << QStringList{};
    }

    void shouldDriveTheActiveDocumentFromTheToolbar()
    {
        QFETCH(int, button);
        QFETCH(bool, refuses);
        QFETCH(QStringList, expected);
        Harness h;
        h.window->openDocument();
        QPointer<DocumentWindow> active = h.window->openDocument();
        h.doc(2)->needSaveAnswer = refuses;
        h.doc(2)->mayClose = !refuses;
        // The toolbar follows the active document; switch every button on for it.
        for (int b : {6, 7, 8, 9, 12, 14})
            h.status.EnableToolbarButton(b, true, active->tag());
        h.log.clear();

        h.window->toolbarAction(button)->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        QCOMPARE(h.log.entries(), expected);
        QCOMPARE(h.window->documentWindows().size(), 2);
        QVERIFY(h.status.statusText().isEmpty()); // the documents' status line is theirs
    }

    void shouldUnloadEveryDocumentWhenTheShellGoes()
    {
        Harness h;
        h.window->openDocument();
        h.window->openDocument();
        h.log.clear();
        h.window.reset();
        // Destruction is not a close: nothing is asked, every document unloads once.
        QCOMPARE(h.log.entries(), (QStringList{"doc1.BeforeUnload", "doc2.BeforeUnload"}));
    }
};

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
