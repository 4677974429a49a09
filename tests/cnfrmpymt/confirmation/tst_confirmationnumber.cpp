// "Get Confirmation Number": a number handed out at once, a request answered later through the
// message service, and the box ticked when there is nothing to do.
#include "cnfrmpymt/document/TAVRO_CnfrmPymt.h"
#include "common/VeskMessage.h"
#include "controls/CheckBox.h"
#include "controls/Label.h"
#include "controls/SSFrame.h"
#include "support/DocumentFixture.h"

#include <QTest>

using namespace tavro;
using namespace tavro::test;

namespace {

/// One table row, kept on one line: QTest::newRow(name) << values...
template <typename... T> void addRow(const char* name, T... values)
{
    QTestData& row = QTest::newRow(name);
    (row << ... << values);
}

/// The number's display, the number kept, and the pending / unlocked / marked flags.
QString screenOf(DocumentFixture& f)
{
    TAVRO_CnfrmPymt& d = *f.document;
    return QStringLiteral("%1|%2|pending:%3 frames:%4 marks:%5%6")
        .arg(d.mLblDataCnfrmPymt[4]->Caption(), d.mstrDocNumber)
        .arg(d.mblnCnfrmNbrPending)
        .arg(d.mFraCnfrmPymt[1]->Enabled() && d.mFraCnfrmPymt[2]->Enabled())
        .arg(f.env.fields.isHighlighted(d.mLblDataCnfrmPymt[4]))
        .arg(f.env.fields.isHighlighted(d.mChkNbr));
}

QString screen(const QString& display, const QString& docNumber, bool pending, bool frames, bool marks)
{
    return QStringLiteral("%1|%2|pending:%3 frames:%4 marks:%5%5")
        .arg(display, docNumber)
        .arg(pending)
        .arg(frames)
        .arg(marks);
}

/// The message service announces a reply to \a key for the document, as it does for a reply
/// that arrived from the back end.
void announceReply(DocumentFixture& f, const QString& key, const QMap<QString, protocol::DataSet>& sets)
{
    f.env.replies.store(f.document->Name(), key, sets, {});
    QVariant addressee(f.document->Name());
    emit VeskMessage::GetInstance()->DataReady(addressee);
}

/// A shown document for daily batches of unconfirmed receipts, where the box can be clicked.
void prepare(DocumentFixture& f)
{
    f.show();
    QVERIFY(f.document->mChkNbr->isVisible());
    QVERIFY(f.document->mChkNbr->isEnabled());
}

} // namespace

class TestConfirmationNumber : public QObject
{
    Q_OBJECT

private slots:
    void aReadyNumberShouldBeShownAtOnce_data();
    void aReadyNumberShouldBeShownAtOnce();
    void aRequestedNumberShouldLockTheScreenUntilItsAnswer_data();
    void aRequestedNumberShouldLockTheScreenUntilItsAnswer();
    void aFailedRequestShouldUnlockTheScreenAndAllowAnotherTry_data();
    void aFailedRequestShouldUnlockTheScreenAndAllowAnotherTry();
    void noKeyAndNoNumberShouldChangeNothing_data();
    void noKeyAndNoNumberShouldChangeNothing();
    void theBoxShouldAskOnlyWithoutANumber_data();
    void theBoxShouldAskOnlyWithoutANumber();
    void tickingAgainAfterANumberShouldDoNothing();
};

void TestConfirmationNumber::aReadyNumberShouldBeShownAtOnce_data()
{
    QTest::addColumn<QStringList>("ready");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("docNumber");

    addRow("one number", QStringList{"12345"}, "0012345-7", "0012345");
    addRow("the last of several", QStringList{"111", "2222"}, "0002222-3", "0002222");
}

void TestConfirmationNumber::aReadyNumberShouldBeShownAtOnce()
{
    QFETCH(QStringList, ready);
    QFETCH(QString, display);
    QFETCH(QString, docNumber);

    DocumentFixture f;
    prepare(f);
    f.env.fields.readyNumbers = ready;
    f.env.fields.checkDigit = [](const QString& digits) {
        return digits == QLatin1String("0012345") ? 7 : digits == QLatin1String("0002222") ? 3 : 9;
    };
    f.env.log.clear();

    DocumentFixture::clickLeftEdge(f.document->mChkNbr);

    QCOMPARE(f.document->mChkNbr->Value(), 1);
    QCOMPARE(f.env.log.matching(QStringLiteral("RequestFormNumber(")),
             QStringList{QStringLiteral("RequestFormNumber(F,TAVRO_CNFRMPYMT)")});
    QCOMPARE(f.env.log.matching(QStringLiteral("CheckDigit(")),
             QStringList{QStringLiteral("CheckDigit(%1)").arg(docNumber)});
    QCOMPARE(screenOf(f), screen(display, docNumber, false, true, false));
    QVERIFY(f.env.log.containsInOrder(
        {QStringLiteral("ClearHighlight(mLblDataCnfrmPymt_4)"), QStringLiteral("ClearHighlight(mChkNbr)")}));
    QCOMPARE(f.env.log.matching(QStringLiteral("HighlightControl(")), QStringList());
    QVERIFY(f.env.errors.reports.isEmpty());
}

void TestConfirmationNumber::aRequestedNumberShouldLockTheScreenUntilItsAnswer_data()
{
    QTest::addColumn<qint64>("answer");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("docNumber");

    addRow("4321", qint64(4321), "0004321-4", "0004321");
    addRow("seven digits", qint64(9876543), "9876543-4", "9876543");
}

void TestConfirmationNumber::aRequestedNumberShouldLockTheScreenUntilItsAnswer()
{
    QFETCH(qint64, answer);
    QFETCH(QString, display);
    QFETCH(QString, docNumber);

    DocumentFixture f;
    prepare(f);
    f.env.fields.formNumberKey = QStringLiteral("NUMBER-KEY-9");
    f.env.fields.checkDigit = [](const QString&) { return 4; };
    f.env.log.clear();

    DocumentFixture::clickLeftEdge(f.document->mChkNbr);

    QCOMPARE(f.document->mstrRequestKey, QStringLiteral("NUMBER-KEY-9"));
    QCOMPARE(screenOf(f), screen(QStringLiteral("0000000-0"), QString(), true, false, true));
    QVERIFY(f.document->mFraCnfrmPymt[0]->Enabled()); // the confirmation group stays usable
    QVERIFY(f.env.log.containsInOrder({QStringLiteral("HighlightControl(mLblDataCnfrmPymt_4)"),
                                       QStringLiteral("HighlightControl(mChkNbr)")}));

    announceReply(f, QStringLiteral("NUMBER-KEY-9"), {{QStringLiteral("REQ"), reqSet(answer)}});

    QCOMPARE(screenOf(f), screen(display, docNumber, false, true, false));
    QVERIFY(f.env.errors.reports.isEmpty());
}

void TestConfirmationNumber::aFailedRequestShouldUnlockTheScreenAndAllowAnotherTry_data()
{
    QTest::addColumn<bool>("timedOut");
    QTest::addColumn<QString>("status");

    addRow("refused", false, "Search was not successful");
    addRow("timed out", true, "Search timed out");
}

void TestConfirmationNumber::aFailedRequestShouldUnlockTheScreenAndAllowAnotherTry()
{
    QFETCH(bool, timedOut);
    QFETCH(QString, status);

    DocumentFixture f;
    prepare(f);
    f.env.fields.formNumberKey = QStringLiteral("NUMBER-KEY-5");
    DocumentFixture::clickLeftEdge(f.document->mChkNbr);
    QVERIFY(f.document->mblnCnfrmNbrPending);

    f.env.replies.store(
        f.document->Name(), QStringLiteral("NUMBER-KEY-5"), {},
        {protocol::ReplyError{QStringLiteral("EXHAUSTED"), QStringLiteral("No numbers left")}});
    if (timedOut) {
        QString addressee = f.document->Name();
        emit VeskMessage::GetInstance()->MsgTimeout(addressee);
    }
    QVariant addressee(f.document->Name());
    emit VeskMessage::GetInstance()->DataReady(addressee);

    QCOMPARE(f.env.messageBox.shown.size(), 1);
    QCOMPARE(f.env.messageBox.shown.constFirst().prompt, QStringLiteral("No numbers left"));
    QCOMPARE(f.env.status.lastStatus, status);
    QCOMPARE(f.document->mChkNbr->Value(), 0);
    QVERIFY(f.document->mFraCnfrmPymt[1]->Enabled());
    QVERIFY(f.document->mFraCnfrmPymt[2]->Enabled());
    QCOMPARE(f.document->mstrDocNumber, QString());

    // No number was obtained, so ticking the box asks again.
    f.env.fields.readyNumbers = {QStringLiteral("77")};
    f.env.log.clear();
    DocumentFixture::clickLeftEdge(f.document->mChkNbr);
    QCOMPARE(f.env.log.matching(QStringLiteral("RequestFormNumber(")).size(), 1);
    QCOMPARE(f.document->mstrDocNumber, QStringLiteral("0000077"));
    QVERIFY(!f.document->mblnCnfrmNbrPending);
}

void TestConfirmationNumber::noKeyAndNoNumberShouldChangeNothing_data()
{
    QTest::addColumn<QString>("key");

    addRow("empty key", "");
    addRow("blank key", "   ");
}

void TestConfirmationNumber::noKeyAndNoNumberShouldChangeNothing()
{
    QFETCH(QString, key);

    DocumentFixture f;
    prepare(f);
    f.env.fields.formNumberKey = key;
    f.env.log.clear();

    DocumentFixture::clickLeftEdge(f.document->mChkNbr);

    QCOMPARE(f.env.log.matching(QStringLiteral("RequestFormNumber(")).size(), 1);
    QCOMPARE(screenOf(f), screen(QString(), QString(), false, true, false));
    QCOMPARE(f.env.log.matching(QStringLiteral("HighlightControl(")), QStringList());
}

void TestConfirmationNumber::theBoxShouldAskOnlyWithoutANumber_data()
{
    QTest::addColumn<QString>("docNumber");
    QTest::addColumn<int>("valueBefore");
    QTest::addColumn<bool>("asks");

    addRow("no number, ticking", "", 0, true);
    addRow("zeros, ticking", "0000000", 0, true);
    addRow("a number, ticking", "0012345", 0, false);
    addRow("no number, unticking", "", 1, false);
}

void TestConfirmationNumber::theBoxShouldAskOnlyWithoutANumber()
{
    QFETCH(QString, docNumber);
    QFETCH(int, valueBefore);
    QFETCH(bool, asks);

    DocumentFixture f;
    prepare(f);
    f.document->mstrDocNumber = docNumber;
    f.document->mChkNbr->setValue(valueBefore);
    f.env.fields.formNumberKey = QStringLiteral("NUMBER-KEY-1");
    f.env.log.clear();

    DocumentFixture::clickLeftEdge(f.document->mChkNbr);

    QCOMPARE(f.document->mChkNbr->Value(), 1 - valueBefore);
    QCOMPARE(f.env.log.matching(QStringLiteral("RequestFormNumber(")).size(), asks ? 1 : 0);
    QCOMPARE(f.document->mblnCnfrmNbrPending, asks);
    QCOMPARE(f.document->mLblDataCnfrmPymt[4]->Caption(), asks ? QStringLiteral("0000000-0") : QString());
}

void TestConfirmationNumber::tickingAgainAfterANumberShouldDoNothing()
{
    DocumentFixture f;
    prepare(f);
    f.env.fields.formNumberKey = QStringLiteral("NUMBER-KEY-2");
    DocumentFixture::clickLeftEdge(f.document->mChkNbr);
    announceReply(f, QStringLiteral("NUMBER-KEY-2"), {{QStringLiteral("REQ"), reqSet(qint64(55))}});
    const QString obtained = screenOf(f);
    QCOMPARE(f.document->mstrDocNumber, QStringLiteral("0000055"));
    f.env.log.clear();

    DocumentFixture::clickLeftEdge(f.document->mChkNbr); // untick
    QCOMPARE(f.document->mChkNbr->Value(), 0);
    DocumentFixture::clickLeftEdge(f.document->mChkNbr); // tick again
    QCOMPARE(f.document->mChkNbr->Value(), 1);

    QCOMPARE(f.env.log.matching(QStringLiteral("RequestFormNumber(")), QStringList());
    QCOMPARE(screenOf(f), obtained);
}

QTEST_MAIN(TestConfirmationNumber)
#include "tst_confirmationnumber.moc"
