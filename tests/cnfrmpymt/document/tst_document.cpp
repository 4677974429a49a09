// The Confirm Payment document as the host drives it: start-up and first showing, the selection
// controls, the state operations and the error traps of these procedures.
#include "cnfrmpymt/document/TAVRO_CnfrmPymt.h"
#include "common/VeskMessage.h"
#include "controls/CheckBox.h"
#include "controls/CodesCombo.h"
#include "controls/DTPicker.h"
#include "controls/Label.h"
#include "controls/SSCommand.h"
#include "controls/SSFrame.h"
#include "controls/SSOleDBGrid.h"
#include "controls/SSOption.h"
#include "controls/TextBox.h"
#include "runtime/ClassicError.h"
#include "runtime/ScreenPointer.h"
#include "support/DocumentFixture.h"

#include <QTableView>
#include <QTest>

using namespace tavro;
using namespace tavro::test;

namespace {

/// The states given to toolbar button 7, in call order ("true", "false").
QStringList button7Calls(const CallLog& log)
{
    QStringList states;
    for (const QString& entry : log.matching(QStringLiteral("EnableToolbarButton(7,")))
        states.append(entry.section(u',', 1, 1));
    return states;
}

/// Adds \a count receipt rows to the grid as the receipts list does.
void addRows(SSOleDBGrid& grid, int count)
{
    grid.setFieldSeparator(QStringLiteral("\t"));
    for (int i = 0; i < count; ++i)
        grid.AddItem(QStringLiteral("%1\t03/0%2/2024\t$10.00\t\t1234:Jane Roe\t5678:John Doe\t")
                         .arg(1001 + i)
                         .arg(i + 1));
}

void setVisible(std::initializer_list<QWidget*> widgets, bool visible)
{
    for (QWidget* w : widgets)
        w->setVisible(visible);
}

struct ComboCase
{
    QString code;
    bool byOfficer, confirmedOn, optionsEnabled, groupVisible;
    QStringList button7;
};
struct OptionCase
{
    int option;
    QString code;
    int ticked, rows;
    bool receiptsConfirmed, groupVisible, toUnconfirmVisible;
    int tickedAfter;
    QStringList button7;
};
struct ToUnconfirmCase
{
    int tickedAfter, option;
    QString code;
    int rows;
    bool byDailyReceipt, receiptsConfirmed;
    QString button7;
    int commentEnabled; ///< -1: not changed
};
struct DataChangedCase
{
    bool savePending;
    QString searchValue, entry;
    int rows;
    QString code;
    int option, ticked;
    bool expected;
};

} // namespace

Q_DECLARE_METATYPE(ComboCase)
Q_DECLARE_METATYPE(OptionCase)
Q_DECLARE_METATYPE(ToUnconfirmCase)
Q_DECLARE_METATYPE(DataChangedCase)

class TestDocument : public QObject
{
    Q_OBJECT

private slots:
    // Must stay first: it needs a process in which no document was shown yet.
    void startUpAndShowing()
    {
        QVERIFY2(gstrHostTag.isEmpty(), "a document was shown before this test");
        DocumentFixture f;
        const QStringList expected{"EnableToolbarButton(12,true,)", "EnableToolbarButton(14,false,)",
                                   "EnableToolbarButton(8,false,)", "EnableToolbarButton(7,false,)",
                                   "EnableToolbarButton(9,false,)", "EnableToolbarButton(6,true,)"};
        QCOMPARE(f.env.log.matching(QStringLiteral("EnableToolbarButton(")), expected);
        QVERIFY(f.env.log.containsInOrder({expected.last(), QStringLiteral("SetReady(true)")}));

        f.show();
        TAVRO_CnfrmPymt& d = *f.document;
        QCOMPARE(d.mFtcboCnfrmPymt[0]->SelectedCode(), QStringLiteral("D"));
        QCOMPARE(d.dtpConfimDate->Value(), QDate::currentDate());
        // Own flags: the reason field is visible (though disabled) while "(to Unconfirm)" is hidden.
        QCOMPARE((QList<bool>{d.mOptCnfrmPymt[1]->Value(), d.mLblDataCnfrmPymt[4]->Visible(),
                              d.mChkNbr->Enabled(), d.dtpConfimDate->Enabled(), d.chkToUnconfirm->Visible(),
                              d.txtComment->Visible(), d.txtComment->Enabled(), d.mCmdCnfrmPymt[0]->Enabled(),
                              d.mCmdCnfrmPymt[2]->Enabled()}),
                 (QList<bool>{true, true, true, false, false, true, false, true, false}));

        // Showing again connects the message service no second time: one dispatch, one row.
        f.host.hide();
        f.show();
        f.search(QStringLiteral("D"), QStringLiteral("0012345"));
        QCOMPARE(f.transport().sent.size(), 1);
        f.env.log.clear();
        f.replyToLast({{QStringLiteral("RECEIPT"), receiptSet({receipt("1001", QDate(2024, 3, 1), "10")})}});
        QCOMPARE(f.env.log.matching(QStringLiteral("CheckReplyErrors(")).size(), 1);
        QCOMPARE(d.mSdgCnfrmPymt->Rows(), 1);
        QVERIFY(f.env.errors.reports.isEmpty());
    }

    void comboChange_data()
    {
        QTest::addColumn<ComboCase>("c");
        // The confirmation group shows only for "D"; "(to Unconfirm)" and the comment stay hidden
        // (nothing ticked); button 7 ends off because the grid is empty.
        QTest::newRow("D") << ComboCase{"D", true, false, true, true, {"true", "false"}};
        QTest::newRow("D with blanks") << ComboCase{" D ", false, false, true, true, {"true", "false"}};
        QTest::newRow("N") << ComboCase{"N", true, true, false, false, {"false"}};
        QTest::newRow("A") << ComboCase{"A", true, false, true, false, {"false"}};
    }

    void comboChange()
    {
        QFETCH(ComboCase, c);
        const auto& [code, byOfficer, confirmedOn, optionsEnabled, groupVisible, button7] = c;

        DocumentFixture f;
        f.show();
        TAVRO_CnfrmPymt& d = *f.document;
        // Start from the other side of each outcome: another type, confirmed receipts, options locked.
        f.selectCode(QStringLiteral("R"));
        d.mOptCnfrmPymt[0]->setValue(true);
        d.mOptCnfrmPymt[0]->setEnabled(code != QLatin1String("N"));
        d.mOptCnfrmPymt[1]->setEnabled(code != QLatin1String("N"));
        setVisible({d.mLblCnfrmPymt[3], d.mLblDataCnfrmPymt[4], d.mChkNbr}, !groupVisible);
        d.chkToUnconfirm->setVisible(true);
        f.env.log.clear();

        if (byOfficer) {
            f.selectCode(code);
        } else {
            d.mFtcboCnfrmPymt[0]->setSelectedCode(code);
            d.mFtcboCnfrmPymt_Change(0);
        }

        QCOMPARE(f.env.log.entries().value(0), QStringLiteral("ClearHighlight(mFtcboCnfrmPymt_0)"));
        QCOMPARE(d.mOptCnfrmPymt[0]->Value(), confirmedOn);
        QCOMPARE(d.mOptCnfrmPymt[1]->Value(), !confirmedOn);
        QCOMPARE((QList<bool>{d.mOptCnfrmPymt[0]->Enabled(), d.mOptCnfrmPymt[1]->Enabled()}),
                 QList<bool>(2, optionsEnabled));
        QCOMPARE((QList<bool>{d.mLblCnfrmPymt[3]->Visible(), d.mLblDataCnfrmPymt[4]->Visible(),
                              d.mChkNbr->Visible()}),
                 QList<bool>(3, groupVisible));
        QVERIFY(!d.txtComment->Visible());
        if (!groupVisible)
            QVERIFY(!d.chkToUnconfirm->Visible());
        QCOMPARE(button7Calls(f.env.log), button7);
        QVERIFY(f.env.errors.reports.isEmpty());
    }

    void optionClick_data()
    {
        QTest::addColumn<OptionCase>("c");
        // Before each click the group is in the opposite state of "groupVisible" where the click
        // decides it, and the other option is on. The date shows with the group.
        QTest::newRow("confirmed, D") << OptionCase{0, "D", 0, 1, false, false, true, 0, {"false"}};
        QTest::newRow("confirmed, D, ticked") << OptionCase{0, "D", 1, 1, true, false, true, 1, {}};
        QTest::newRow("unconfirmed, D, confirmed batch")
            << OptionCase{1, "D", 1, 2, true, true, false, 0, {"false"}};
        QTest::newRow("unconfirmed, A, confirmed batch")
            << OptionCase{1, "A", 1, 1, true, false, false, 0, {"false"}};
    }

    void optionClick()
    {
        QFETCH(OptionCase, c);
        const auto& [option, code, ticked, rows, receiptsConfirmed, groupVisible, toUnconfirmVisible,
                     tickedAfter, button7] = c;

        DocumentFixture f;
        f.show();
        TAVRO_CnfrmPymt& d = *f.document;
        d.mFtcboCnfrmPymt[0]->setSelectedCode(code);
        d.mOptCnfrmPymt[1 - option]->setValue(true);
        addRows(*d.mSdgCnfrmPymt, rows);
        d.mblnReceiptsConfirmed = receiptsConfirmed;
        d.chkToUnconfirm->setValue(ticked);
        d.chkToUnconfirm->setVisible(!toUnconfirmVisible);
        // "Other code, unconfirmed" leaves the group as it was: start it hidden there.
        const bool otherUnconfirmed = option == 1 && code.trimmed() != QLatin1String("D");
        setVisible({d.mLblCnfrmPymt[3], d.mLblDataCnfrmPymt[4], d.mChkNbr},
                   otherUnconfirmed ? false : !groupVisible);
        d.mChkNbr->setValue(1);
        d.mChkNbr->setEnabled(false);
        setVisible({d.lblConfimDate, d.dtpConfimDate}, !groupVisible);
        f.env.log.clear();

        DocumentFixture::clickLeftEdge(d.mOptCnfrmPymt[option]);

        QVERIFY(d.mOptCnfrmPymt[option]->Value());
        QVERIFY(!d.mOptCnfrmPymt[1 - option]->Value());
        QCOMPARE((QList<bool>{d.mLblDataCnfrmPymt[4]->Visible(), d.mChkNbr->Visible(),
                              d.dtpConfimDate->Visible()}),
                 QList<bool>(3, groupVisible));
        if (groupVisible)
            QVERIFY(d.mChkNbr->Enabled() && d.mChkNbr->Value() == 0);
        QCOMPARE(d.chkToUnconfirm->Visible(), toUnconfirmVisible);
        QCOMPARE(d.chkToUnconfirm->Value(), tickedAfter);
        QCOMPARE(button7Calls(f.env.log), button7);
        QVERIFY(f.env.errors.reports.isEmpty());
    }

    void toUnconfirmClick_data()
    {
        QTest::addColumn<ToUnconfirmCase>("c");
        QTest::newRow("ticked, empty grid") << ToUnconfirmCase{1, 0, "D", 0, true, true, "false", -1};
        QTest::newRow("confirmed batch by D, ticked") << ToUnconfirmCase{1, 0, "D", 2, true, true, "true", 1};
        QTest::newRow("confirmed batch by D, unticked")
            << ToUnconfirmCase{0, 0, "D", 2, true, true, "false", -1};
        QTest::newRow("confirmed batch not by D") << ToUnconfirmCase{1, 0, "D", 2, false, true, "false", -1};
        QTest::newRow("unconfirmed batch by D, ticked")
            << ToUnconfirmCase{1, 1, "D", 2, true, false, "true", 0};
    }

    void toUnconfirmClick()
    {
        QFETCH(ToUnconfirmCase, c);
        const auto& [tickedAfter, option, code, rows, byDailyReceipt, receiptsConfirmed, button7,
                     commentEnabled] = c;

        DocumentFixture f;
        f.show();
        TAVRO_CnfrmPymt& d = *f.document;
        d.mFtcboCnfrmPymt[0]->setSelectedCode(code);
        d.mOptCnfrmPymt[option]->setValue(true);
        addRows(*d.mSdgCnfrmPymt, rows);
        d.mblnSearchByDlyRcpt = byDailyReceipt;
        d.mblnReceiptsConfirmed = receiptsConfirmed;
        d.chkToUnconfirm->setVisible(true);
        d.chkToUnconfirm->setValue(1 - tickedAfter);
        setVisible({d.lblComment, d.txtComment}, tickedAfter == 0);
        const bool commentBefore = commentEnabled != 1;
        d.txtComment->setEnabled(commentBefore);
        f.env.log.clear();

        DocumentFixture::clickLeftEdge(d.chkToUnconfirm);

        QCOMPARE(d.chkToUnconfirm->Value(), tickedAfter);
        QCOMPARE(d.lblComment->Visible(), tickedAfter == 1);
        QCOMPARE(d.txtComment->Visible(), tickedAfter == 1);
        QCOMPARE(button7Calls(f.env.log), QStringList{button7});
        QCOMPARE(d.txtComment->Enabled(), commentEnabled == -1 ? commentBefore : commentEnabled == 1);
        QVERIFY(f.env.errors.reports.isEmpty());
    }

    void gridClick_data()
    {
        QTest::addColumn<QList<int>>("clicks"); ///< rows clicked; all but the first with Ctrl
        QTest::addColumn<bool>("detailsAfter");
        QTest::addColumn<int>("currentRow"); ///< -1: not checked

        QTest::newRow("one row") << QList<int>{1} << true << 1;
        QTest::newRow("two rows") << QList<int>{0, 2} << false << -1;
        QTest::newRow("none") << QList<int>{1, 1} << false << -1;
    }

    void gridClick()
    {
        QFETCH(QList<int>, clicks);
        QFETCH(bool, detailsAfter);
        QFETCH(int, currentRow);

        DocumentFixture f;
        f.show();
        TAVRO_CnfrmPymt& d = *f.document;
        addRows(*d.mSdgCnfrmPymt, 3);
        d.mCmdCnfrmPymt[2]->setEnabled(!detailsAfter);
        d.mCmdCnfrmPymt[3]->setEnabled(!detailsAfter);

        QTableView* view = d.mSdgCnfrmPymt->view();
        QCoreApplication::processEvents();
        for (int i = 0; i < clicks.size(); ++i)
            QTest::mouseClick(view->viewport(), Qt::LeftButton, i > 0 ? Qt::ControlModifier : Qt::NoModifier,
                              view->visualRect(view->model()->index(clicks[i], 0)).center());

        QCOMPARE(d.mCmdCnfrmPymt[2]->Enabled(), detailsAfter);
        QCOMPARE(d.mCmdCnfrmPymt[3]->Enabled(), detailsAfter);
        if (currentRow >= 0)
            QCOMPARE(d.mSdgCnfrmPymt->Row(), currentRow);
        QVERIFY(f.env.errors.reports.isEmpty());
    }

    void dataChanged_data()
    {
        QTest::addColumn<DataChangedCase>("c");
        const auto row = [](const char* name, const DataChangedCase& c) { QTest::newRow(name) << c; };
        row("unconfirmed batch", {false, "0012345", "0012345", 2, "D", 1, 0, true});
        row("save outstanding", {true, "0012345", "0012345", 2, "D", 1, 0, false});
        row("no search value", {false, "", "", 2, "D", 1, 0, false});
        row("entry with check digit", {false, "0012345", "0012345-6", 2, "D", 1, 0, true});
        row("entry changed since the search", {false, "0012345", "0012346", 2, "D", 1, 0, false});
        row("empty grid", {false, "0012345", "0012345", 0, "D", 1, 0, false});
        row("code A", {false, "0012345", "0012345", 2, "A", 1, 0, false});
        row("confirmed, ticked", {false, "0012345", "0012345", 2, "D", 0, 1, true});
        row("confirmed, not ticked", {false, "0012345", "0012345", 2, "D", 0, 0, false});
    }

    void dataChanged()
    {
        QFETCH(DataChangedCase, c);

        DocumentFixture f;
        f.show();
        TAVRO_CnfrmPymt& d = *f.document;
        d.mFtcboCnfrmPymt[0]->setSelectedCode(c.code);
        d.mTxtCnfrmPymt->setText(c.entry);
        d.mstrSearchValue = c.searchValue;
        addRows(*d.mSdgCnfrmPymt, c.rows);
        d.mOptCnfrmPymt[c.option]->setValue(true);
        d.chkToUnconfirm->setValue(c.ticked);
        d.mblnSavePending = c.savePending;

        QCOMPARE(d.DataChanged(), c.expected);
        QVERIFY(f.env.errors.reports.isEmpty());
    }

    void clearingOperations_data()
    {
        QTest::addColumn<bool>("fileNew");
        QTest::newRow("ClearData") << false;
        QTest::newRow("FileNew") << true;
    }

    void clearingOperations()
    {
        QFETCH(bool, fileNew);

        DocumentFixture f;
        f.show();
        TAVRO_CnfrmPymt& d = *f.document;
        // A confirmed batch, ticked for unconfirmation, with a reason and a number.
        f.loadBatch({receipt("1001", QDate(2024, 3, 1), "10", "0000042")}, QStringLiteral("Wrong batch"),
                    true);
        DocumentFixture::clickLeftEdge(d.chkToUnconfirm);
        QCOMPARE(d.chkToUnconfirm->Value(), 1);
        d.txtComment->setText(QStringLiteral("Wrong batch, entered twice"));
        d.mChkNbr->setValue(1);
        d.mChkNbr->setEnabled(false);
        d.mLblDataCnfrmPymt[4]->setCaption(QStringLiteral("0012345-6"));
        d.mstrDocNumber = QStringLiteral("0012345");
        d.mCmdCnfrmPymt[2]->setEnabled(true);
        d.dtpConfimDate->setEnabled(true);
        d.mFtcboCnfrmPymt[0]->setSelectedCode(QStringLiteral("A"));
        f.env.log.clear();

        if (fileNew)
            d.FileNew();
        else
            d.ClearData();

        QCOMPARE(d.mFtcboCnfrmPymt[0]->SelectedCode(), QStringLiteral("D"));
        QCOMPARE(d.mTxtCnfrmPymt->Text() + d.mstrSearchValue + d.mLblDataCnfrmPymt[4]->Caption() +
                     d.txtComment->Text(),
                 QString());
        QCOMPARE(d.mSdgCnfrmPymt->Rows(), 0);
        QVERIFY(d.mOptCnfrmPymt[1]->Value());
        QCOMPARE(d.mChkNbr->Value() + d.chkToUnconfirm->Value(), 0);
        QCOMPARE(
            (QList<bool>{d.mCmdCnfrmPymt[0]->Enabled(), d.mCmdCnfrmPymt[2]->Enabled(), d.mChkNbr->Enabled(),
                         d.dtpConfimDate->Enabled(), d.txtComment->Enabled(), d.txtComment->DataChanged()}),
            (QList<bool>{false, false, true, false, false, false}));
        QCOMPARE(d.mstrDocNumber, fileNew ? QString() : QStringLiteral("0012345"));
        QVERIFY(!d.DataChanged());
        QVERIFY(f.env.errors.reports.isEmpty());
    }

    void beforeUnloadDisconnectsWhenItsToolbarCallFails()
    {
        DocumentFixture f;
        f.show();
        TAVRO_CnfrmPymt& d = *f.document;
        f.search(QStringLiteral("D"), QStringLiteral("0012345"));
        const QString key = f.transport().lastRequest().key;

        FailingStatusService failing(f.env.status);
        failing.failOn = QStringLiteral("EnableToolbarButton(7,true,");
        {
            ScopedSeam<StatusService> seam(failing);
            f.env.log.clear();
            d.BeforeUnload();
        }
        StatusService::setInstance(&f.env.status);
        QCOMPARE(
            f.env.log.matching(QStringLiteral("EnableToolbarButton(")),
            QStringList{QStringLiteral("EnableToolbarButton(7,true,%1)").arg(DocumentFixture::DefaultTag)});
        QCOMPARE(f.env.errors.labels(), QStringList{QStringLiteral("TAVRO_CnfrmPymt.BeforeUnload")});
        QVERIFY(!d.mVeskMessage);

        // The reply to the search no longer reaches the document.
        f.env.log.clear();
        f.transport().deliverReply(
            key, {{QStringLiteral("RECEIPT"), receiptSet({receipt("1001", QDate(2024, 3, 1), "10")})}});
        QVERIFY(f.env.log.matching(QStringLiteral("CheckReplyErrors(")).isEmpty());
        QCOMPARE(d.mSdgCnfrmPymt->Rows(), 0);
    }

    void errorReportedOnceWithLabel_data()
    {
        QTest::addColumn<QString>("failOn"); ///< empty: the check digit fails
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("withNumber");

        const auto row = [](const char* failOn, const char* action, const char* label, bool withNumber) {
            QTest::newRow(label) << QString::fromLatin1(failOn) << QString::fromLatin1(action)
                                 << QStringLiteral("TAVRO_CnfrmPymt.") + QLatin1String(label) << withNumber;
        };
        row("EnableToolbarButton(14,", "create", "UserDocument_Initialize", false);
        row("ShowStatus(Loading information)", "show", "UserDocument_Show", false);
        row("EnableToolbarButton(7,false,", "combo", "chkToUnconfirm_Click", true);
        row("EnableToolbarButton(7,false,", "option", "mOptCnfrmPymt_Click", false);
        row("", "number", "GetFormNumberControls", true);
    }

    void errorReportedOnceWithLabel()
    {
        QFETCH(QString, failOn);
        QFETCH(QString, action);
        QFETCH(QString, label);
        QFETCH(bool, withNumber);

        TestEnvironment outer; // holds the seams the failing service wraps
        FailingStatusService failing(outer.status);
        ScopedSeam<StatusService> statusSeam(failing);
        RecordingErrorReporter& errors = outer.errors;
        const auto arm = [&] {
            failing.failOn = failOn;
            if (failOn.isEmpty())
                outer.fields.checkDigit = [&](const QString&) -> int { raiseError(440, failing.errorText); };
        };

        QWidget host;
        host.setProperty("Tag", QStringLiteral("WIN-9"));
        host.setWindowTitle(QStringLiteral("Confirm Payment"));
        if (action == QLatin1String("create"))
            arm();
        auto* d = new TAVRO_CnfrmPymt(&host);
        if (action == QLatin1String("show"))
            arm();
        if (action != QLatin1String("create")) {
            host.show();
            QVERIFY(QTest::qWaitForWindowExposed(&host));
        }
        QVERIFY2(errors.reports.size() <= 1, qPrintable(errors.labels().join(u',')));
        if (action != QLatin1String("create") && action != QLatin1String("show"))
            arm();
        if (action == QLatin1String("combo")) {
            d->mFtcboCnfrmPymt[0]->setSelectedCode(QStringLiteral("D"));
            d->mFtcboCnfrmPymt_Change(0);
        } else if (action == QLatin1String("option")) {
            DocumentFixture::clickLeftEdge(d->mOptCnfrmPymt[0]);
        } else if (action == QLatin1String("number")) {
            QString number = QStringLiteral("42");
            d->GetFormNumberControls(number);
            QVERIFY(d->mstrDocNumber.isEmpty()); // the steps after the failure are not done
        }

        QCOMPARE(errors.labels(), QStringList{label});
        QCOMPARE(errors.reports.first().message,
                 withNumber ? QStringLiteral("440:") + failing.errorText : failing.errorText);
        if (action == QLatin1String("create"))
            QVERIFY2(outer.log.matching(QStringLiteral("SetReady(")).isEmpty(),
                     "steps after the failure ran");
        if (action == QLatin1String("show"))
            QCOMPARE(outer.pointer.history.value(outer.pointer.history.size() - 1, -1), int(vb::vbDefault));

        // The document stays usable: the officer can still clear the screen.
        failing.failOn.clear();
        outer.fields.checkDigit = nullptr;
        errors.reports.clear();
        d->mTxtCnfrmPymt->setText(QStringLiteral("0012345"));
        d->ClearData();
        QCOMPARE(d->mTxtCnfrmPymt->Text(), QString());
        QVERIFY(errors.reports.isEmpty());
    }
};

QTEST_MAIN(TestDocument)
#include "tst_document.moc"
