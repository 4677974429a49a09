// "Get Confirmation Number": a number at once, a request answered later, and ticking with a number.
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

} // namespace

class TestConfirmationNumber : public QObject
{
    Q_OBJECT

private slots:
    void aReadyNumberShouldBeShownAtOnce()
    {
        DocumentFixture f;
        f.show();
        f.env.fields.readyNumbers = {QStringLiteral("111"), QStringLiteral("2222")}; // the last one counts
        f.env.fields.checkDigit = [](const QString& digits) {
            return digits == QLatin1String("0002222") ? 3 : 9;
        };
        f.env.log.clear();

        DocumentFixture::clickLeftEdge(f.document->mChkNbr);

        QCOMPARE(f.document->mChkNbr->Value(), 1);
        QCOMPARE(f.env.log.matching(QStringLiteral("RequestFormNumber(")),
                 QStringList{QStringLiteral("RequestFormNumber(F,TAVRO_CNFRMPYMT)")});
        QCOMPARE(f.env.log.matching(QStringLiteral("CheckDigit(")),
                 QStringList{QStringLiteral("CheckDigit(0002222)")});
        QCOMPARE(screenOf(f), QStringLiteral("0002222-3|0002222|pending:0 frames:1 marks:00"));
        QVERIFY(f.env.log.containsInOrder({QStringLiteral("ClearHighlight(mLblDataCnfrmPymt_4)"),
                                           QStringLiteral("ClearHighlight(mChkNbr)")}));
        QCOMPARE(f.env.log.matching(QStringLiteral("HighlightControl(")), QStringList());
        QVERIFY(f.env.errors.reports.isEmpty());

        // Unticking and ticking again after a number was obtained asks for nothing.
        const QString obtained = screenOf(f);
        f.env.log.clear();
        DocumentFixture::clickLeftEdge(f.document->mChkNbr);
        DocumentFixture::clickLeftEdge(f.document->mChkNbr);
        QCOMPARE(f.env.log.matching(QStringLiteral("RequestFormNumber(")), QStringList());
        QCOMPARE(screenOf(f), obtained);
    }

    void aRequestedNumberShouldLockTheScreenUntilItsAnswer()
    {
        DocumentFixture f;
        f.show();
        f.env.fields.formNumberKey = QStringLiteral("NUMBER-KEY-9");
        f.env.fields.checkDigit = [](const QString&) { return 4; };
        f.env.log.clear();

        DocumentFixture::clickLeftEdge(f.document->mChkNbr);

        QCOMPARE(f.document->mstrRequestKey, QStringLiteral("NUMBER-KEY-9"));
        QCOMPARE(screenOf(f), QStringLiteral("0000000-0||pending:1 frames:0 marks:11"));
        QVERIFY(f.document->mFraCnfrmPymt[0]->Enabled()); // the confirmation group stays usable
        QVERIFY(f.env.log.containsInOrder({QStringLiteral("HighlightControl(mLblDataCnfrmPymt_4)"),
                                           QStringLiteral("HighlightControl(mChkNbr)")}));

        f.env.replies.store(f.document->Name(), QStringLiteral("NUMBER-KEY-9"),
                            {{QStringLiteral("REQ"), reqSet(qint64(4321))}}, {});
        QVariant addressee(f.document->Name());
        emit VeskMessage::GetInstance()->DataReady(addressee);

        QCOMPARE(screenOf(f), QStringLiteral("0004321-4|0004321|pending:0 frames:1 marks:00"));
        QVERIFY(f.env.errors.reports.isEmpty());
    }

    void aFailedRequestShouldUnlockTheScreenAndAllowAnotherTry()
    {
        DocumentFixture f;
        f.show();
        f.env.fields.formNumberKey = QStringLiteral("NUMBER-KEY-5");
        DocumentFixture::clickLeftEdge(f.document->mChkNbr);

        f.env.replies.store(
            f.document->Name(), QStringLiteral("NUMBER-KEY-5"), {},
            {protocol::ReplyError{QStringLiteral("EXHAUSTED"), QStringLiteral("No numbers left")}});
        QVariant addressee(f.document->Name());
        QString name = f.document->Name();
        emit VeskMessage::GetInstance()->MsgTimeout(name);
        emit VeskMessage::GetInstance()->DataReady(addressee);

        QCOMPARE(f.env.messageBox.shown.size(), 1);
        QCOMPARE(f.env.messageBox.shown.constFirst().prompt, QStringLiteral("No numbers left"));
        QCOMPARE(f.env.status.lastStatus, QStringLiteral("Search timed out"));
        QCOMPARE(f.document->mChkNbr->Value(), 0);
        QVERIFY(f.document->mFraCnfrmPymt[1]->Enabled() && f.document->mFraCnfrmPymt[2]->Enabled());
        QCOMPARE(f.document->mstrDocNumber, QString());

        // No number was obtained, so ticking the box asks again.
        f.env.fields.readyNumbers = {QStringLiteral("77")};
        f.env.log.clear();
        DocumentFixture::clickLeftEdge(f.document->mChkNbr);
        QCOMPARE(f.env.log.matching(QStringLiteral("RequestFormNumber(")).size(), 1);
        QCOMPARE(f.document->mstrDocNumber, QStringLiteral("0000077"));
        QVERIFY(!f.document->mblnCnfrmNbrPending);
    }

    void theBoxShouldAskOnlyWithoutANumber_data()
    {
        QTest::addColumn<QString>("docNumber");
        QTest::addColumn<int>("valueBefore");
        QTest::addColumn<bool>("asks");
        QTest::newRow("no number, ticking") << QString() << 0 << true;
        QTest::newRow("zeros, ticking") << QStringLiteral("0000000") << 0 << true;
        QTest::newRow("no number, unticking") << QString() << 1 << false;
    }

    void theBoxShouldAskOnlyWithoutANumber()
    {
        QFETCH(QString, docNumber);
        QFETCH(int, valueBefore);
        QFETCH(bool, asks);

        DocumentFixture f;
        f.show();
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
};

QTEST_MAIN(TestConfirmationNumber)
#include "tst_confirmationnumber.moc"
