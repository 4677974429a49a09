// The two save prompts, the save they start, and the close that waits for that save's reply.
#include "cnfrmpymt/document/TAVRO_CnfrmPymt.h"
#include "controls/CheckBox.h"
#include "controls/Label.h"
#include "support/DocumentFixture.h"

#include <QCoreApplication>
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
};

/// The wait handles events for real and sleeps for real, as the default event service does.
/// Once it has begun, a timer answers the save \a reply after 100 ms, well within the first
/// sleep, so the answer is handled by the wait's own event processing.
void pumpForReal(DocumentFixture& f, Reply reply)
{
    f.env.events.onDoEvents = [&f, reply, started = false]() mutable {
        if (!started && reply != Reply::None) {
            QTimer::singleShot(100, &f.host, [&f, reply] {
                const protocol::Request* save = f.transport().lastRequest(72);
                if (!save)
                    return;
                QList<protocol::ReplyError> errors;
                if (reply == Reply::Errors)
                    errors.append(
                        {QStringLiteral("STALE"), QStringLiteral("The batch was confirmed meanwhile")});
                f.transport().deliverReply(save->key, {}, errors);
            });
        }
        started = true;
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

} // namespace

class TestSavePrompts : public QObject
{
    Q_OBJECT

private slots:
    void needSaveShouldOfferToSave_data();
    void needSaveShouldOfferToSave();
    void promptsShouldNotAskWithASaveOutstanding();
    void closeDocumentShouldOfferToSaveAndWait_data();
    void closeDocumentShouldOfferToSaveAndWait();
};

void TestSavePrompts::needSaveShouldOfferToSave_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("result");
    QTest::addColumn<bool>("saves");
    QTest::addColumn<QString>("saveError");
    QTest::addColumn<int>("pointer");

    // After a save the reply restores the pointer; after Cancel the prompt itself does.
    addRow("Yes", vb::vbYes, true, true, "", vb::vbHourglass);
    addRow("No", vb::vbNo, false, false, "Earlier reason", vb::vbHourglass);
    addRow("Cancel", vb::vbCancel, true, false, "Earlier reason", vb::vbDefault);
}

void TestSavePrompts::needSaveShouldOfferToSave()
{
    QFETCH(int, answer);
    QFETCH(bool, result);
    QFETCH(bool, saves);
    QFETCH(QString, saveError);
    QFETCH(int, pointer);

    DocumentFixture f(kTag, kTitle);
    loadSavableBatch(f);
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
    QCOMPARE(f.env.pointer.mousePointer(), pointer);
    QVERIFY(f.env.errors.reports.isEmpty());
}

void TestSavePrompts::promptsShouldNotAskWithASaveOutstanding()
{
    DocumentFixture f(kTag, kTitle);
    loadSavableBatch(f);
    f.document->SaveData();
    QVERIFY(f.document->mblnSavePending);
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

QTEST_MAIN(TestSavePrompts)
#include "tst_saveprompts.moc"
