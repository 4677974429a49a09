// What the host asks before leaving or closing the document: the two save prompts, the save
// they start, and the close that waits for that save's reply.
#include "cnfrmpymt/document/TAVRO_CnfrmPymt.h"
#include "controls/CheckBox.h"
#include "controls/Label.h"
#include "controls/SSOption.h"
#include "runtime/ClassicError.h"
#include "support/DocumentFixture.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QScopeGuard>
#include <QTest>
#include <QThread>
#include <QTimer>

using namespace tavro;
using namespace tavro::test;

namespace {

/// One table row, kept on one line: QTest::newRow(name) << values...
template <typename... T> void addRow(const char* name, T... values)
{
    QTestData& row = QTest::newRow(name);
    (row << ... << values);
}

const QString kTag = QStringLiteral("WIN-31");
const QString kTitle = QStringLiteral("Confirm Payment - Daily batches");
const QString kNeedSavePrompt =
    QStringLiteral("Information on the active window has changed.  Would you like to save your changes?");
const QString kClosePrompt =
    QStringLiteral("Confirm Payment data has changed.  Do you wish to save these changes?");

/// An unconfirmed daily batch on the screen with a confirmation number: a save would go out.
void loadSavableBatch(DocumentFixture& f)
{
    f.show();
    f.loadBatch({receipt(QStringLiteral("1001"), QDate::currentDate().addDays(-2), QStringLiteral("10"))});
    f.env.fields.readyNumbers = {QStringLiteral("4321")};
    DocumentFixture::clickLeftEdge(f.document->mChkNbr);
    f.env.fields.readyNumbers.clear();
    QVERIFY(f.document->DataChanged());
}

enum class Reply
{
    None,
    Success,
    Errors,
    TimedOut,
};

/// Answers the save once \a delayMs have passed, from a timer, whatever the document is doing.
void replyToSaveLater(DocumentFixture& f, Reply reply, int delayMs)
{
    if (reply == Reply::None)
        return;
    QTimer::singleShot(delayMs, &f.host, [&f, reply] {
        const protocol::Request* save = f.transport().lastRequest(72);
        if (!save)
            return;
        if (reply == Reply::TimedOut)
            f.transport().deliverTimeout(save->key);
        else if (reply == Reply::Errors)
            f.transport().deliverReply(
                save->key, {},
                {protocol::ReplyError{QStringLiteral("STALE"),
                                      QStringLiteral("The batch was confirmed meanwhile")}});
        else
            f.transport().deliverReply(save->key, {});
    });
}

/// The wait handles events for real and sleeps for real, as the default event service does.
/// Once it has begun, a timer answers the save \a reply after 100 ms, well within the first
/// sleep, so the answer is handled by the wait's own event processing.
void pumpForReal(DocumentFixture& f, Reply reply)
{
    f.env.events.onDoEvents = [&f, reply, started = false]() mutable {
        if (!started) {
            started = true;
            replyToSaveLater(f, reply, 100);
        }
        QCoreApplication::processEvents();
    };
    f.env.events.onSleep = [](int milliseconds) { QThread::msleep(milliseconds); };
}

QStringList configureToolbarCalls(bool enabled)
{
    QStringList calls;
    for (int button : {7, 8, 12, 9, 14})
        calls.append(
            QStringLiteral("EnableToolbarButton(%1,%2,%3)").arg(button).arg(CallLog::arg(enabled), kTag));
    return calls;
}

/// A message box that fails, as one that cannot be shown does.
class FailingMessageBox final : public MessageBox
{
public:
    int MsgBox(const QString&, int, const QString&) override
    {
        raiseError(err::TypeMismatch, QStringLiteral("Type mismatch"));
    }
};

} // namespace

class TestSavePrompts : public QObject
{
    Q_OBJECT

private slots:
    void needSaveShouldOfferToSave_data();
    void needSaveShouldOfferToSave();
    void needSaveShouldNotAskWithoutChanges_data();
    void needSaveShouldNotAskWithoutChanges();
    void closeDocumentShouldOfferToSaveAndWait_data();
    void closeDocumentShouldOfferToSaveAndWait();
    void theWaitShouldRepeatUntilTheReplyIsDispatched();
    void escapeInTheRealPromptShouldCancel_data();
    void escapeInTheRealPromptShouldCancel();
    void promptsShouldReportTheirErrors_data();
    void promptsShouldReportTheirErrors();
};

void TestSavePrompts::needSaveShouldOfferToSave_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("result");
    QTest::addColumn<bool>("saves");
    QTest::addColumn<QString>("saveError");
    QTest::addColumn<int>("pointer"); // -1: not looked at
    QTest::addColumn<bool>("numbered");

    // After a save the reply restores the pointer; after Cancel the prompt itself does.
    addRow("Yes", vb::vbYes, true, true, "", vb::vbHourglass, true);
    addRow("Yes, the save refused", vb::vbYes, true, false, "Save was cancelled.", -1, false);
    addRow("No", vb::vbNo, false, false, "Earlier reason", vb::vbHourglass, true);
    addRow("Cancel", vb::vbCancel, true, false, "Earlier reason", vb::vbDefault, true);
}

void TestSavePrompts::needSaveShouldOfferToSave()
{
    QFETCH(int, answer);
    QFETCH(bool, result);
    QFETCH(bool, saves);
    QFETCH(QString, saveError);
    QFETCH(int, pointer);
    QFETCH(bool, numbered);

    DocumentFixture f(kTag, kTitle);
    loadSavableBatch(f);
    if (!numbered)
        f.document->mLblDataCnfrmPymt[4]->setCaption(QString());
    f.document->mstrSaveError = QStringLiteral("Earlier reason");
    f.env.messageBox.answers.enqueue(answer);
    f.env.pointer.setMousePointer(vb::vbHourglass);
    f.env.log.clear();

    QCOMPARE(f.document->NeedSave(), result);

    QCOMPARE(f.env.messageBox.shown.size(), 1);
    QCOMPARE(f.env.messageBox.shown.constFirst().prompt, kNeedSavePrompt);
    QCOMPARE(f.env.messageBox.shown.constFirst().style, vb::vbYesNoCancel + vb::vbQuestion);
    QCOMPARE(f.env.messageBox.shown.constFirst().title, kTitle);
    QCOMPARE(f.transport().lastRequest(72) != nullptr, saves);
    QCOMPARE(f.document->mstrSaveError, saveError);
    if (pointer >= 0)
        QCOMPARE(f.env.pointer.mousePointer(), pointer);
    QVERIFY(f.env.errors.reports.isEmpty());
}

void TestSavePrompts::needSaveShouldNotAskWithoutChanges_data()
{
    QTest::addColumn<QString>("state");

    addRow("nothing searched", "empty");
    addRow("a save outstanding", "saving");
}

void TestSavePrompts::needSaveShouldNotAskWithoutChanges()
{
    QFETCH(QString, state);

    DocumentFixture f(kTag, kTitle);
    f.show();
    if (state == QLatin1String("saving")) {
        loadSavableBatch(f);
        f.document->SaveData();
        QVERIFY(f.document->mblnSavePending);
    }
    const qsizetype sent = f.transport().sent.size();
    f.env.log.clear();

    QCOMPARE(f.document->NeedSave(), false);
    QCOMPARE(f.document->CloseDocument(), true);

    QCOMPARE(f.env.messageBox.shown.size(), 0);
    QCOMPARE(f.transport().sent.size(), sent);
    QCOMPARE(f.env.events.doEventsCalls, 0);
    QCOMPARE(f.env.log.matching(QStringLiteral("EnableToolbarButton(")), configureToolbarCalls(true));
}

void TestSavePrompts::closeDocumentShouldOfferToSaveAndWait_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("refusedAtOnce");
    QTest::addColumn<QString>("earlierError");
    QTest::addColumn<int>("reply");
    QTest::addColumn<bool>("mayClose");
    QTest::addColumn<bool>("waits");

    addRow("No", vb::vbNo, false, "", int(Reply::None), true, false);
    addRow("Cancel", vb::vbCancel, false, "", int(Reply::None), false, false);
    addRow("Yes, the save refused at once", vb::vbYes, true, "", int(Reply::None), false, false);
    addRow("Yes, saved", vb::vbYes, false, "", int(Reply::Success), true, true);
    addRow("Yes, saved after an earlier cancellation", vb::vbYes, false, "Save was cancelled.",
           int(Reply::Success), true, true);
    addRow("Yes, the reply has errors", vb::vbYes, false, "", int(Reply::Errors), false, true);
    addRow("Yes, the save timed out", vb::vbYes, false, "", int(Reply::TimedOut), true, true);
}

void TestSavePrompts::closeDocumentShouldOfferToSaveAndWait()
{
    QFETCH(int, answer);
    QFETCH(bool, refusedAtOnce);
    QFETCH(QString, earlierError);
    QFETCH(int, reply);
    QFETCH(bool, mayClose);
    QFETCH(bool, waits);

    DocumentFixture f(kTag, kTitle);
    loadSavableBatch(f);
    pumpForReal(f, Reply(reply));
    if (refusedAtOnce)
        f.document->mLblDataCnfrmPymt[4]->setCaption(QString());
    f.document->mstrSaveError = earlierError;
    f.document->mblnSaveReplied = true; // left over from an earlier close
    f.document->mblnSaveFailed = true;
    f.env.messageBox.answers.enqueue(answer);
    const qsizetype sentBefore = f.transport().sent.size();
    f.env.log.clear();

    const bool result = f.document->CloseDocument();

    QCOMPARE(result, mayClose);
    QCOMPARE(f.env.messageBox.shown.constFirst().prompt, kClosePrompt);
    QCOMPARE(f.env.messageBox.shown.constFirst().style, vb::vbYesNoCancel + vb::vbQuestion);
    QCOMPARE(f.env.messageBox.shown.constFirst().title, kTitle);
    const bool saved = answer == vb::vbYes && !refusedAtOnce;
    QCOMPARE(f.transport().sent.size() > sentBefore, saved);
    QCOMPARE(!f.env.events.sleeps.isEmpty(), waits);
    if (waits) {
        // The reply was handled inside the wait, after its first sleep.
        const qsizetype firstSleep = f.env.log.indexOf(QStringLiteral("Sleep(500)"));
        const qsizetype replyChecked =
            f.env.log.entries().indexOf(f.env.log.matching(QStringLiteral("CheckReplyErrors(")).value(0));
        QVERIFY(firstSleep >= 0 && replyChecked > firstSleep);
        QCOMPARE(f.env.events.sleeps, QList<int>(f.env.events.sleeps.size(), 500));
    } else {
        QCOMPARE(f.env.events.doEventsCalls, 0);
    }
    // The document hands its toolbar back exactly when it may close, after everything else.
    const QStringList toolbar = f.env.log.matching(QStringLiteral("EnableToolbarButton("));
    QCOMPARE(toolbar.mid(toolbar.size() - 5) == configureToolbarCalls(true), mayClose);
    if (mayClose)
        QCOMPARE(f.env.log.entries().mid(f.env.log.entries().size() - 5), configureToolbarCalls(true));
    QVERIFY(f.env.errors.reports.isEmpty());
}

void TestSavePrompts::theWaitShouldRepeatUntilTheReplyIsDispatched()
{
    const int sleepsBeforeReply = 3;

    DocumentFixture f(kTag, kTitle);
    loadSavableBatch(f);
    f.env.messageBox.answers.enqueue(vb::vbYes);
    // Nothing sleeps here: the reply arrives during the chosen sleep of the waiting document.
    f.env.events.onSleep = [&](int) {
        if (f.env.events.sleeps.size() == sleepsBeforeReply)
            f.transport().deliverReply(f.transport().lastRequest(72)->key, {});
    };
    f.env.log.clear();

    QVERIFY(f.document->CloseDocument());

    QCOMPARE(f.env.events.sleeps.size(), sleepsBeforeReply);
    QCOMPARE(f.env.events.doEventsCalls, 2 * sleepsBeforeReply);
    QStringList rounds;
    for (const QString& entry : f.env.log.entries())
        if (entry == QLatin1String("DoEvents()") || entry.startsWith(QStringLiteral("Sleep(")))
            rounds.append(entry);
    QStringList expected;
    for (int i = 0; i < sleepsBeforeReply; ++i)
        expected << QStringLiteral("DoEvents()") << QStringLiteral("Sleep(500)")
                 << QStringLiteral("DoEvents()");
    QCOMPARE(rounds, expected);
    QVERIFY(!f.document->mblnSavePending);
}

void TestSavePrompts::escapeInTheRealPromptShouldCancel_data()
{
    QTest::addColumn<bool>("close");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("result");

    QTest::newRow("NeedSave") << false << kNeedSavePrompt << true;
    QTest::newRow("CloseDocument") << true << kClosePrompt << false;
}

void TestSavePrompts::escapeInTheRealPromptShouldCancel()
{
    QFETCH(bool, close);
    QFETCH(QString, text);
    QFETCH(bool, result);

    DocumentFixture f(kTag, kTitle);
    loadSavableBatch(f);
    // The application's own message box instead of the scripted one.
    MessageBox::setInstance(nullptr);
    const auto restore = qScopeGuard([&] { MessageBox::setInstance(&f.env.messageBox); });
    QString shownTitle;
    QString shownText;
    QTimer::singleShot(0, &f.host, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        shownTitle = box->windowTitle();
        shownText = box->text();
        QTest::keyClick(box, Qt::Key_Escape);
        if (QApplication::activeModalWidget() == box)
            box->done(-1); // Escape did not answer: end the box so the checks below fail
    });

    QCOMPARE(close ? f.document->CloseDocument() : f.document->NeedSave(), result);

    QCOMPARE(shownTitle, kTitle);
    QCOMPARE(shownText, text);
    QCOMPARE(f.transport().lastRequest(72), nullptr);
    QCOMPARE(f.env.events.doEventsCalls, 0);
    QVERIFY(f.env.errors.reports.isEmpty());
}

void TestSavePrompts::promptsShouldReportTheirErrors_data()
{
    QTest::addColumn<bool>("close");
    QTest::addColumn<QString>("label");

    addRow("NeedSave", false, "TAVRO_CnfrmPymt.NeedSave");
    addRow("CloseDocument", true, "TAVRO_CnfrmPymt.CloseDocument");
}

void TestSavePrompts::promptsShouldReportTheirErrors()
{
    QFETCH(bool, close);
    QFETCH(QString, label);

    DocumentFixture f(kTag, kTitle);
    loadSavableBatch(f);
    FailingMessageBox box;
    MessageBox::setInstance(&box);
    const auto restore = qScopeGuard([&] { MessageBox::setInstance(&f.env.messageBox); });
    f.env.log.clear();

    const bool result = close ? f.document->CloseDocument() : f.document->NeedSave();

    QVERIFY(!result);
    QCOMPARE(f.env.errors.labels(), QStringList{label});
    QCOMPARE(f.env.errors.reports.constFirst().message, QStringLiteral("Type mismatch"));
    QCOMPARE(f.transport().lastRequest(72), nullptr);
    QCOMPARE(f.env.log.matching(QStringLiteral("EnableToolbarButton(")), QStringList());
}

QTEST_MAIN(TestSavePrompts)
#include "tst_saveprompts.moc"
