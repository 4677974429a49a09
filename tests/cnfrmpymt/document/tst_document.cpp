// The Confirm Payment document as the host drives it: start-up and first showing, the selection
// controls, the state operations and the error traps of these procedures.
#include "cnfrmpymt/document/TAVRO_CnfrmPymt.h"
#include "common/VeskMessage.h"
#include "controls/CheckBox.h"
#include "controls/CodesCombo.h"
#include "controls/ControlState.h"
#include "controls/DTPicker.h"
#include "controls/Label.h"
#include "controls/SSCommand.h"
#include "controls/SSFrame.h"
#include "controls/SSOleDBGrid.h"
#include "controls/SSOption.h"
#include "controls/SSResizer.h"
#include "controls/TextBox.h"
#include "runtime/MessageBox.h"
#include "runtime/ScreenPointer.h"
#include "support/DocumentFixture.h"

#include <QAbstractItemView>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace tavro;
using namespace tavro::test;

namespace {

/// The states given to toolbar button \a button, in call order ("true", "false").
QStringList button7Calls(const CallLog& log, int button = 7)
{
    QStringList states;
    const QString prefix = QStringLiteral("EnableToolbarButton(%1,").arg(button);
    for (const QString& entry : log.matching(prefix))
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

/// One property of a control, read the way the classic program reads it.
QVariant stateOf(QWidget* control, const QString& property)
{
    if (property == QLatin1String("visible"))
        return ownVisible(control);
    if (property == QLatin1String("enabled"))
        return ownEnabled(control);
    if (property == QLatin1String("tabIndex"))
        return control->property("TabIndex");
    if (auto* box = qobject_cast<CheckBox*>(control); box && property == QLatin1String("value"))
        return box->Value();
    if (auto* option = qobject_cast<SSOption*>(control); option && property == QLatin1String("value"))
        return option->Value();
    if (auto* text = qobject_cast<TextBox*>(control); text && property == QLatin1String("text"))
        return text->Text();
    if (auto* label = qobject_cast<Label*>(control); label && property == QLatin1String("caption"))
        return label->Caption();
    if (auto* combo = qobject_cast<CodesCombo*>(control); combo && property == QLatin1String("code"))
        return combo->SelectedCode();
    if (auto* picker = qobject_cast<DTPicker*>(control)) {
        if (property == QLatin1String("value"))
            return picker->Value();
        if (property == QLatin1String("min"))
            return picker->MinDate();
        if (property == QLatin1String("max"))
            return picker->MaxDate();
        if (property == QLatin1String("format"))
            return picker->CustomFormat();
    }
    return QStringLiteral("<no %1 on %2>").arg(property, control->objectName());
}

/// Clicks row \a row of the grid's view, with Ctrl when \a add (to extend or toggle the selection).
void clickRow(SSOleDBGrid& grid, int row, bool add)
{
    QTableView* view = grid.view();
    QCoreApplication::processEvents();
    const QRect cell = view->visualRect(view->model()->index(row, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, add ? Qt::ControlModifier : Qt::NoModifier,
                      cell.center());
}

} // namespace

class TestDocument : public QObject
{
    Q_OBJECT

private slots:
    // Must stay first: it needs a process in which no document was shown yet.
    void toolbarAtFirstStartUpGoesOutWithEmptyTag();
    void stateAfterStartUpAndShowing_data();
    void stateAfterStartUpAndShowing();
    void showingReadsTagAndCaptionAndPreparesTheGrid();
    void secondDocumentReusesTagUntilItsOwnShowing();
    void showingTwiceConnectsOnce();
    void comboChange_data();
    void comboChange();
    void optionClick_data();
    void optionClick();
    void toUnconfirmClick_data();
    void toUnconfirmClick();
    void gridClick_data();
    void gridClick();
    void dataChanged_data();
    void dataChanged();
    void dataChangedFollowsTheTypedNumber();
    void clearingOperations_data();
    void clearingOperations();
    void beforeUnload_data();
    void beforeUnload();
    void getFormNumber_data();
    void getFormNumber();
    void resizeRequest_data();
    void resizeRequest();
    void readOnly_data();
    void readOnly();
    void errorReportedOnceWithLabel_data();
    void errorReportedOnceWithLabel();
};

void TestDocument::toolbarAtFirstStartUpGoesOutWithEmptyTag()
{
    QVERIFY2(gstrHostTag.isEmpty(), "a document was shown before this test");
    DocumentFixture f;
    const QStringList expected{"EnableToolbarButton(12,true,)", "EnableToolbarButton(14,false,)",
                               "EnableToolbarButton(8,false,)", "EnableToolbarButton(7,false,)",
                               "EnableToolbarButton(9,false,)", "EnableToolbarButton(6,true,)"};
    QCOMPARE(f.env.log.matching(QStringLiteral("EnableToolbarButton(")), expected);
    QVERIFY(f.env.log.containsInOrder({expected.last(), QStringLiteral("SetReady(true)")}));
    QVERIFY(f.env.errors.reports.isEmpty());
}

void TestDocument::stateAfterStartUpAndShowing_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("property");
    QTest::addColumn<QVariant>("expected");

    const QDate today = QDate::currentDate();
    const auto row = [](const char* control, const char* property, const QVariant& expected) {
        QTest::addRow("%s.%s", control, property)
            << QString::fromLatin1(control) << QString::fromLatin1(property) << expected;
    };
    row("mFtcboCnfrmPymt_0", "code", QStringLiteral("D"));
    row("mFtcboCnfrmPymt_0", "enabled", true);
    row("mTxtCnfrmPymt", "text", QString());
    row("mTxtCnfrmPymt", "enabled", true);
    row("mOptCnfrmPymt_0", "value", false);
    row("mOptCnfrmPymt_1", "value", true);
    row("mOptCnfrmPymt_0", "enabled", true);
    row("mOptCnfrmPymt_1", "enabled", true);
    row("mLblCnfrmPymt_3", "visible", true);
    row("mLblDataCnfrmPymt_4", "visible", true);
    row("mChkNbr", "visible", true);
    row("mChkNbr", "enabled", true);
    row("mChkNbr", "value", 0);
    row("lblConfimDate", "visible", true);
    row("dtpConfimDate", "visible", true);
    row("dtpConfimDate", "enabled", false);
    row("dtpConfimDate", "value", today);
    row("dtpConfimDate", "max", today);
    row("dtpConfimDate", "min", QDate(1900, 1, 1));
    row("dtpConfimDate", "format", QStringLiteral("MM/dd/yyyy"));
    row("chkToUnconfirm", "visible", false);
    row("chkToUnconfirm", "value", 0);
    row("lblComment", "visible", true);
    row("txtComment", "visible", true);
    row("txtComment", "enabled", false);
    row("mCmdCnfrmPymt_0", "enabled", true);
    row("mCmdCnfrmPymt_1", "enabled", true);
    row("mCmdCnfrmPymt_2", "enabled", false);
    row("mCmdCnfrmPymt_3", "enabled", false);
    row("mCmdCnfrmPymt_4", "visible", false);
    row("mCmdCnfrmPymt_5", "visible", false);
    row("mCmdCnfrmPymt_5", "enabled", false);
    const char* tabOrder[] = {"mFtcboCnfrmPymt_0", "mTxtCnfrmPymt",   "mOptCnfrmPymt_0",
                              "chkToUnconfirm",    "mOptCnfrmPymt_1", "mCmdCnfrmPymt_0",
                              "mCmdCnfrmPymt_1",   "txtComment",      "dtpConfimDate"};
    for (int i = 0; i < 9; ++i)
        row(tabOrder[i], "tabIndex", i);
}

void TestDocument::stateAfterStartUpAndShowing()
{
    QFETCH(QString, control);
    QFETCH(QString, property);
    QFETCH(QVariant, expected);

    DocumentFixture f;
    f.show();
    QWidget* widget = f.child(control);
    QVERIFY2(widget, qPrintable(control));
    QCOMPARE(stateOf(widget, property), expected);
    QVERIFY(f.env.errors.reports.isEmpty());
}

void TestDocument::showingReadsTagAndCaptionAndPreparesTheGrid()
{
    const QString tagBefore = gstrHostTag;
    DocumentFixture f(QStringLiteral("DOC-42"), QStringLiteral("Confirm Payment 42"));
    QCOMPARE(gstrHostTag, tagBefore); // not before the showing
    QVERIFY(!f.document->mVeskMessage);
    f.env.log.clear();

    f.show();
    QCOMPARE(gstrHostTag, QStringLiteral("DOC-42"));
    QCOMPARE(gstrMessageTitle, QStringLiteral("Confirm Payment 42"));
    QCOMPARE(f.document->mVeskMessage, VeskMessage::GetInstance());
    QVERIFY2(f.env.log.containsInOrder({"ShowStatus(Loading information)", "MousePointer(11)",
                                        "EnableToolbarButton(7,false,DOC-42)", "ShowStatus(Ready)",
                                        "ClearHighlight(mSdgCnfrmPymt)", "MousePointer(0)"}),
             qPrintable(f.env.log.entries().join(u'\n')));
    QCOMPARE(f.env.pointer.mousePointer(), int(vb::vbDefault));

    // Bold grid, cells and headings in the not-bold style set.
    SSOleDBGrid& grid = *f.document->mSdgCnfrmPymt;
    QVERIFY(grid.Font().bold());
    QVERIFY(!grid.StyleSets(QStringLiteral("UNBOLD")).Font().bold());
    QCOMPARE(grid.ColumnCount(), 6);
    for (int i = 0; i < grid.ColumnCount(); ++i) {
        QCOMPARE(grid.Columns(i).StyleSet(), QStringLiteral("UNBOLD"));
        QCOMPARE(grid.Columns(i).HeadStyleSet(), QStringLiteral("UNBOLD"));
    }
    QCOMPARE(grid.Rows(), 0);
    QVERIFY(!grid.Columns(QStringLiteral("Confirmation Number")).Visible());
    QVERIFY(f.env.errors.reports.isEmpty());
}

void TestDocument::secondDocumentReusesTagUntilItsOwnShowing()
{
    DocumentFixture first(QStringLiteral("FIRST"), QStringLiteral("First"));
    first.show();
    DocumentFixture second(QStringLiteral("SECOND"), QStringLiteral("Second"));
    QCOMPARE(second.env.log.matching(QStringLiteral("EnableToolbarButton(12,")),
             QStringList{QStringLiteral("EnableToolbarButton(12,true,FIRST)")});
    second.show();
    QCOMPARE(gstrHostTag, QStringLiteral("SECOND"));
    QCOMPARE(gstrMessageTitle, QStringLiteral("Second"));
}

void TestDocument::showingTwiceConnectsOnce()
{
    DocumentFixture f;
    f.show();
    f.host.hide();
    f.show();
    QCOMPARE(f.env.log.matching(QStringLiteral("ShowStatus(Loading information)")).size(), 2);

    f.search(QStringLiteral("D"), QStringLiteral("0012345"));
    QCOMPARE(f.transport().sent.size(), 1);
    f.env.log.clear();
    f.replyToLast({{QStringLiteral("RECEIPT"), receiptSet({receipt("1001", QDate(2024, 3, 1), "10")})}});
    // One dispatch: one error check, one row.
    QCOMPARE(f.env.log.matching(QStringLiteral("CheckReplyErrors(")).size(), 1);
    QCOMPARE(f.document->mSdgCnfrmPymt->Rows(), 1);
}

void TestDocument::comboChange_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("byOfficer");
    QTest::addColumn<bool>("confirmedOn");
    QTest::addColumn<bool>("optionsEnabled");
    QTest::addColumn<bool>("groupVisible");
    QTest::addColumn<QStringList>("button7");

    // The confirmation group shows only for "D"; "(to Unconfirm)" and the comment stay hidden
    // (nothing ticked); button 7 ends off because the grid is empty.
    QTest::newRow("D") << "D" << true << false << true << true << QStringList{"true", "false"};
    QTest::newRow("D with blanks") << " D " << false << false << true << true << QStringList{"true", "false"};
    QTest::newRow("N") << "N" << true << true << false << false << QStringList{"false"};
    QTest::newRow("A") << "A" << true << false << true << false << QStringList{"false"};
    QTest::newRow("R") << "R" << true << false << true << false << QStringList{"false"};
}

void TestDocument::comboChange()
{
    QFETCH(QString, code);
    QFETCH(bool, byOfficer);
    QFETCH(bool, confirmedOn);
    QFETCH(bool, optionsEnabled);
    QFETCH(bool, groupVisible);
    QFETCH(QStringList, button7);

    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    // Start from the other side of each outcome: another type, confirmed receipts, options locked.
    f.selectCode(code == QLatin1String("R") ? QStringLiteral("A") : QStringLiteral("R"));
    d.mOptCnfrmPymt[0]->setValue(true);
    d.mOptCnfrmPymt[0]->setEnabled(code != QLatin1String("N"));
    d.mOptCnfrmPymt[1]->setEnabled(code != QLatin1String("N"));
    d.mLblCnfrmPymt[3]->setVisible(!groupVisible);
    d.mLblDataCnfrmPymt[4]->setVisible(!groupVisible);
    d.mChkNbr->setVisible(!groupVisible);
    d.chkToUnconfirm->setVisible(true);
    f.env.log.clear();

    if (byOfficer) {
        f.selectCode(code);
    } else {
        d.mFtcboCnfrmPymt[0]->setSelectedCode(code);
        d.mFtcboCnfrmPymt_Change(0);
    }

    QCOMPARE(d.mFtcboCnfrmPymt[0]->SelectedCode(), code);
    QCOMPARE(f.env.log.entries().value(0), QStringLiteral("ClearHighlight(mFtcboCnfrmPymt_0)"));
    QCOMPARE(d.mOptCnfrmPymt[0]->Value(), confirmedOn);
    QCOMPARE(d.mOptCnfrmPymt[1]->Value(), !confirmedOn);
    QCOMPARE(d.mOptCnfrmPymt[0]->Enabled(), optionsEnabled);
    QCOMPARE(d.mOptCnfrmPymt[1]->Enabled(), optionsEnabled);
    QCOMPARE(d.mLblCnfrmPymt[3]->Visible(), groupVisible);
    QCOMPARE(d.mLblDataCnfrmPymt[4]->Visible(), groupVisible);
    QCOMPARE(d.mChkNbr->Visible(), groupVisible);
    QVERIFY(!d.lblComment->Visible());
    QVERIFY(!d.txtComment->Visible());
    if (!groupVisible)
        QVERIFY(!d.chkToUnconfirm->Visible());
    QCOMPARE(button7Calls(f.env.log), button7);
    QVERIFY(f.env.errors.reports.isEmpty());
}

void TestDocument::optionClick_data()
{
    QTest::addColumn<int>("option");
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("ticked");
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("receiptsConfirmed");
    QTest::addColumn<bool>("groupVisible");
    QTest::addColumn<bool>("toUnconfirmVisible");
    QTest::addColumn<int>("tickedAfter");
    QTest::addColumn<bool>("dateVisible");
    QTest::addColumn<QStringList>("button7");

    // Before each click the group is in the opposite state of "groupVisible" where the click
    // decides it, and the other option is on.
    QTest::newRow("confirmed, D") << 0 << "D" << 0 << 1 << false << false << true << 0 << false
                                  << QStringList{"false"};
    QTest::newRow("confirmed, D, ticked")
        << 0 << "D" << 1 << 1 << true << false << true << 1 << false << QStringList{};
    QTest::newRow("confirmed, D with blanks")
        << 0 << " D " << 0 << 0 << false << false << true << 0 << false << QStringList{"false"};
    QTest::newRow("confirmed, A") << 0 << "A" << 0 << 1 << false << false << false << 0 << false
                                  << QStringList{"false"};
    QTest::newRow("confirmed, A, ticked")
        << 0 << "A" << 1 << 1 << false << false << false << 1 << false << QStringList{};
    QTest::newRow("unconfirmed, D, rows")
        << 1 << "D" << 1 << 2 << false << true << false << 0 << true << QStringList{"true"};
    QTest::newRow("unconfirmed, D, rows, confirmed batch")
        << 1 << "D" << 1 << 2 << true << true << false << 0 << true << QStringList{"false"};
    QTest::newRow("unconfirmed, D, no rows")
        << 1 << "D" << 0 << 0 << false << true << false << 0 << true << QStringList{};
    QTest::newRow("unconfirmed, D with blanks, rows")
        << 1 << " D " << 0 << 1 << false << true << false << 0 << true << QStringList{"true"};
    QTest::newRow("unconfirmed, A, rows")
        << 1 << "A" << 1 << 1 << false << false << false << 0 << false << QStringList{};
    QTest::newRow("unconfirmed, A, confirmed batch")
        << 1 << "A" << 1 << 1 << true << false << false << 0 << false << QStringList{"false"};
}

void TestDocument::optionClick()
{
    QFETCH(int, option);
    QFETCH(QString, code);
    QFETCH(int, ticked);
    QFETCH(int, rows);
    QFETCH(bool, receiptsConfirmed);
    QFETCH(bool, groupVisible);
    QFETCH(bool, toUnconfirmVisible);
    QFETCH(int, tickedAfter);
    QFETCH(bool, dateVisible);
    QFETCH(QStringList, button7);

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
    for (QWidget* w : std::initializer_list<QWidget*>{d.mLblCnfrmPymt[3], d.mLblDataCnfrmPymt[4], d.mChkNbr})
        w->setVisible(option == 1 && code.trimmed() != QLatin1String("D") ? false : !groupVisible);
    d.mChkNbr->setValue(1);
    d.mChkNbr->setEnabled(false);
    d.lblConfimDate->setVisible(!dateVisible);
    d.dtpConfimDate->setVisible(!dateVisible);
    f.env.log.clear();

    DocumentFixture::clickLeftEdge(d.mOptCnfrmPymt[option]);

    QVERIFY(d.mOptCnfrmPymt[option]->Value());
    QVERIFY(!d.mOptCnfrmPymt[1 - option]->Value());
    QCOMPARE(d.mLblCnfrmPymt[3]->Visible(), groupVisible);
    QCOMPARE(d.mLblDataCnfrmPymt[4]->Visible(), groupVisible);
    QCOMPARE(d.mChkNbr->Visible(), groupVisible);
    if (groupVisible) {
        QVERIFY(d.mChkNbr->Enabled());
        QCOMPARE(d.mChkNbr->Value(), 0);
    }
    QCOMPARE(d.chkToUnconfirm->Visible(), toUnconfirmVisible);
    QCOMPARE(d.chkToUnconfirm->Value(), tickedAfter);
    QCOMPARE(d.lblConfimDate->Visible(), dateVisible);
    QCOMPARE(d.dtpConfimDate->Visible(), dateVisible);
    QCOMPARE(button7Calls(f.env.log), button7);
    QVERIFY(f.env.errors.reports.isEmpty());
}

void TestDocument::toUnconfirmClick_data()
{
    QTest::addColumn<int>("tickedAfter");
    QTest::addColumn<int>("option");
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("byDailyReceipt");
    QTest::addColumn<bool>("receiptsConfirmed");
    QTest::addColumn<QString>("button7");
    QTest::addColumn<int>("commentEnabled"); ///< -1: not changed

    QTest::newRow("ticked, empty grid") << 1 << 0 << "D" << 0 << true << true << "false" << -1;
    QTest::newRow("unticked, empty grid") << 0 << 0 << "D" << 0 << true << true << "false" << -1;
    QTest::newRow("ticked, code A") << 1 << 0 << "A" << 2 << true << true << "false" << -1;
    QTest::newRow("ticked, code D with blanks") << 1 << 0 << " D " << 2 << true << true << "false" << -1;
    QTest::newRow("confirmed batch by D, ticked") << 1 << 0 << "D" << 2 << true << true << "true" << 1;
    QTest::newRow("confirmed batch by D, unticked") << 0 << 0 << "D" << 2 << true << true << "false" << -1;
    QTest::newRow("unconfirmed batch, confirmed option, ticked")
        << 1 << 0 << "D" << 2 << true << false << "false" << -1;
    QTest::newRow("confirmed batch not searched by D, ticked")
        << 1 << 0 << "D" << 2 << false << true << "false" << -1;
    QTest::newRow("unconfirmed batch by D, unticked") << 0 << 1 << "D" << 2 << true << false << "true" << 0;
    QTest::newRow("unconfirmed batch by D, ticked") << 1 << 1 << "D" << 2 << true << false << "true" << 0;
    QTest::newRow("unconfirmed option, confirmed batch")
        << 0 << 1 << "D" << 2 << true << true << "false" << -1;
    QTest::newRow("unconfirmed batch not searched by D")
        << 0 << 1 << "D" << 2 << false << false << "false" << -1;
}

void TestDocument::toUnconfirmClick()
{
    QFETCH(int, tickedAfter);
    QFETCH(int, option);
    QFETCH(QString, code);
    QFETCH(int, rows);
    QFETCH(bool, byDailyReceipt);
    QFETCH(bool, receiptsConfirmed);
    QFETCH(QString, button7);
    QFETCH(int, commentEnabled);

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
    d.lblComment->setVisible(tickedAfter == 0);
    d.txtComment->setVisible(tickedAfter == 0);
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

void TestDocument::gridClick_data()
{
    QTest::addColumn<QList<int>>("clicks"); ///< rows clicked; all but the first with Ctrl
    QTest::addColumn<bool>("detailsBefore");
    QTest::addColumn<bool>("detailsAfter");
    QTest::addColumn<int>("currentRow"); ///< -1: not checked

    QTest::newRow("one row") << QList<int>{1} << false << true << 1;
    // Row 0 is current after the last click, but only row 2 is selected.
    QTest::newRow("one row, another current") << QList<int>{0, 2, 0} << false << true << 2;
    QTest::newRow("two rows") << QList<int>{0, 2} << true << false << -1;
    QTest::newRow("none") << QList<int>{1, 1} << true << false << -1;
}

void TestDocument::gridClick()
{
    QFETCH(QList<int>, clicks);
    QFETCH(bool, detailsBefore);
    QFETCH(bool, detailsAfter);
    QFETCH(int, currentRow);

    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    addRows(*d.mSdgCnfrmPymt, 3);
    d.mCmdCnfrmPymt[2]->setEnabled(detailsBefore);
    d.mCmdCnfrmPymt[3]->setEnabled(detailsBefore);

    for (int i = 0; i < clicks.size(); ++i)
        clickRow(*d.mSdgCnfrmPymt, clicks[i], i > 0);

    QCOMPARE(d.mCmdCnfrmPymt[2]->Enabled(), detailsAfter);
    QCOMPARE(d.mCmdCnfrmPymt[3]->Enabled(), detailsAfter);
    if (currentRow >= 0)
        QCOMPARE(d.mSdgCnfrmPymt->Row(), currentRow);
    QVERIFY(f.env.errors.reports.isEmpty());
}

void TestDocument::dataChanged_data()
{
    QTest::addColumn<bool>("savePending");
    QTest::addColumn<QString>("searchValue");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("option");
    QTest::addColumn<int>("ticked");
    QTest::addColumn<bool>("expected");

    QTest::newRow("unconfirmed batch") << false << "0012345"
                                       << "0012345" << 2 << "D" << 1 << 0 << true;
    QTest::newRow("save outstanding") << true << "0012345"
                                      << "0012345" << 2 << "D" << 1 << 0 << false;
    QTest::newRow("no search value") << false << ""
                                     << "" << 2 << "D" << 1 << 0 << false;
    QTest::newRow("entry with check digit") << false << "0012345"
                                            << "0012345-6" << 2 << "D" << 1 << 0 << true;
    QTest::newRow("entry with blanks and dashes") << false << "12"
                                                  << " 12 -34-5" << 1 << "D" << 1 << 0 << true;
    QTest::newRow("entry changed since the search") << false << "0012345"
                                                    << "0012346" << 2 << "D" << 1 << 0 << false;
    QTest::newRow("empty grid") << false << "0012345"
                                << "0012345" << 0 << "D" << 1 << 0 << false;
    QTest::newRow("code A") << false << "0012345"
                            << "0012345" << 2 << "A" << 1 << 0 << false;
    QTest::newRow("code D with blanks") << false << "0012345"
                                        << "0012345" << 2 << " D " << 1 << 0 << true;
    QTest::newRow("confirmed, ticked") << false << "0012345"
                                       << "0012345" << 2 << "D" << 0 << 1 << true;
    QTest::newRow("confirmed, not ticked") << false << "0012345"
                                           << "0012345" << 2 << "D" << 0 << 0 << false;
}

void TestDocument::dataChanged()
{
    QFETCH(bool, savePending);
    QFETCH(QString, searchValue);
    QFETCH(QString, entry);
    QFETCH(int, rows);
    QFETCH(QString, code);
    QFETCH(int, option);
    QFETCH(int, ticked);
    QFETCH(bool, expected);

    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    d.mFtcboCnfrmPymt[0]->setSelectedCode(code);
    d.mTxtCnfrmPymt->setText(entry);
    d.mstrSearchValue = searchValue;
    addRows(*d.mSdgCnfrmPymt, rows);
    d.mOptCnfrmPymt[option]->setValue(true);
    d.chkToUnconfirm->setValue(ticked);
    d.mblnSavePending = savePending;

    QCOMPARE(d.DataChanged(), expected);
    QVERIFY(f.env.errors.reports.isEmpty());
}

void TestDocument::dataChangedFollowsTheTypedNumber()
{
    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    f.typeNumber(QStringLiteral("0012345"));
    QCOMPARE(d.mTxtCnfrmPymt->Text(), QStringLiteral("0012345"));
    QVERIFY(d.mCmdCnfrmPymt[0]->Enabled());
    QVERIFY(!d.DataChanged());

    f.clickCommand(0);
    QCOMPARE(f.transport().sent.size(), 1);
    f.replyToLast({{QStringLiteral("RECEIPT"), receiptSet({receipt("1001", QDate(2024, 3, 1), "10")})}});
    QVERIFY(d.DataChanged());

    // Another number typed after the search: the list no longer belongs to it.
    f.typeNumber(QStringLiteral("0054321"));
    QVERIFY(!d.DataChanged());
    // Back to the searched number, with its check digit this time.
    d.mTxtCnfrmPymt->setText(QStringLiteral("0012345-6"));
    QVERIFY(d.DataChanged());
    QVERIFY(f.env.errors.reports.isEmpty());
}

void TestDocument::clearingOperations_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("docNumberAfter");
    QTest::addColumn<QStringList>("button7");

    // button7: the entries that end the log, the comment's mark first.
    QTest::newRow("ClearData") << "ClearData"
                               << "0012345" << QStringList{"mark"};
    QTest::newRow("FileNew") << "FileNew"
                             << "" << QStringList{"mark"};
    QTest::newRow("Clear button") << "Clear"
                                  << "0012345" << QStringList{"mark", "button 7"};
}

void TestDocument::clearingOperations()
{
    QFETCH(QString, operation);
    QFETCH(QString, docNumberAfter);
    QFETCH(QStringList, button7);

    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    // A confirmed batch, ticked for unconfirmation, with a reason and a number.
    f.loadBatch({receipt("1001", QDate(2024, 3, 1), "10", "0000042"),
                 receipt("1002", QDate(2024, 3, 2), "5", "0000042")},
                QStringLiteral("Wrong batch"), true);
    QCOMPARE(d.mSdgCnfrmPymt->Rows(), 2);
    DocumentFixture::clickLeftEdge(d.chkToUnconfirm);
    QCOMPARE(d.chkToUnconfirm->Value(), 1);
    d.txtComment->setText(QStringLiteral("Wrong batch, entered twice"));
    d.txtComment->setEnabled(true);
    d.mChkNbr->setValue(1);
    d.mChkNbr->setEnabled(false);
    d.mLblDataCnfrmPymt[4]->setCaption(QStringLiteral("0012345-6"));
    d.mstrDocNumber = QStringLiteral("0012345");
    d.mCmdCnfrmPymt[2]->setEnabled(true);
    d.mCmdCnfrmPymt[3]->setEnabled(true);
    d.dtpConfimDate->setEnabled(true);
    d.mFtcboCnfrmPymt[0]->setSelectedCode(QStringLiteral("A"));
    f.env.log.clear();

    if (operation == QLatin1String("ClearData"))
        d.ClearData();
    else if (operation == QLatin1String("FileNew"))
        d.FileNew();
    else
        f.clickCommand(1);

    QCOMPARE(d.mFtcboCnfrmPymt[0]->SelectedCode(), QStringLiteral("D"));
    QCOMPARE(d.mTxtCnfrmPymt->Text(), QString());
    QCOMPARE(d.mstrSearchValue, QString());
    QCOMPARE(d.mSdgCnfrmPymt->Rows(), 0);
    QVERIFY(d.mOptCnfrmPymt[1]->Value());
    QVERIFY(!d.mOptCnfrmPymt[0]->Value());
    QVERIFY(!d.mCmdCnfrmPymt[0]->Enabled());
    QVERIFY(!d.mCmdCnfrmPymt[2]->Enabled());
    QVERIFY(!d.mCmdCnfrmPymt[3]->Enabled());
    QVERIFY(d.mChkNbr->Enabled());
    QCOMPARE(d.mChkNbr->Value(), 0);
    QCOMPARE(d.mLblDataCnfrmPymt[4]->Caption(), QString());
    QCOMPARE(d.chkToUnconfirm->Value(), 0);
    QVERIFY(!d.dtpConfimDate->Enabled());
    QCOMPARE(d.txtComment->Text(), QString());
    QVERIFY(!d.txtComment->DataChanged());
    QVERIFY(!d.txtComment->Enabled());
    QCOMPARE(d.mstrDocNumber, docNumberAfter);
    // The comment's mark is cleared last; the Clear button then switches button 7 off.
    const QStringList tail = f.env.log.entries().mid(f.env.log.entries().size() - button7.size());
    QCOMPARE(tail.first(), QStringLiteral("ClearHighlight(txtComment)"));
    if (button7.size() > 1)
        QCOMPARE(tail.last(),
                 QStringLiteral("EnableToolbarButton(7,false,%1)").arg(DocumentFixture::DefaultTag));
    QVERIFY(!d.DataChanged());
    QVERIFY(f.env.errors.reports.isEmpty());
}

void TestDocument::beforeUnload_data()
{
    QTest::addColumn<bool>("toolbarFails");
    QTest::newRow("toolbar answers") << false;
    QTest::newRow("toolbar call fails") << true;
}

void TestDocument::beforeUnload()
{
    QFETCH(bool, toolbarFails);

    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    f.search(QStringLiteral("D"), QStringLiteral("0012345"));
    QVERIFY(d.mblnSearchPending);
    const QString key = f.transport().lastRequest().key;

    FailingStatusService failing(f.env.status);
    failing.failOn = toolbarFails ? QStringLiteral("EnableToolbarButton(7,true,") : QString();
    {
        ScopedSeam<StatusService> seam(failing);
        f.env.log.clear();
        d.BeforeUnload();
    }
    StatusService::setInstance(&f.env.status);
    QCOMPARE(f.env.log.matching(QStringLiteral("EnableToolbarButton(")),
             QStringList{QStringLiteral("EnableToolbarButton(7,true,%1)").arg(DocumentFixture::DefaultTag)});
    QCOMPARE(f.env.errors.labels(),
             toolbarFails ? QStringList{QStringLiteral("TAVRO_CnfrmPymt.BeforeUnload")} : QStringList{});
    if (toolbarFails)
        QCOMPARE(f.env.errors.reports.first().message, failing.errorText);
    QVERIFY(!d.mVeskMessage);

    // The reply to the search no longer reaches the document.
    f.env.log.clear();
    f.transport().deliverReply(
        key, {{QStringLiteral("RECEIPT"), receiptSet({receipt("1001", QDate(2024, 3, 1), "10")})}});
    QVERIFY(f.env.log.matching(QStringLiteral("CheckReplyErrors(")).isEmpty());
    QVERIFY(d.mblnSearchPending);
    QCOMPARE(d.mSdgCnfrmPymt->Rows(), 0);
}

void TestDocument::getFormNumber_data()
{
    QTest::addColumn<bool>("withReq");
    QTest::addColumn<qint64>("number");
    QTest::addColumn<QString>("formatted");

    QTest::newRow("REQ 42") << true << qint64(42) << "0000042";
    QTest::newRow("REQ seven digits") << true << qint64(9876543) << "9876543";
    QTest::newRow("REQ 0") << true << qint64(0) << "0000000";
    QTest::newRow("no REQ") << false << qint64(0) << "0000000";
}

void TestDocument::getFormNumber()
{
    QFETCH(bool, withReq);
    QFETCH(qint64, number);
    QFETCH(QString, formatted);

    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    // The check digit comes from the field utility, whatever it is.
    f.env.fields.checkDigit = [](const QString& digits) {
        return digits == QLatin1String("0000000") ? 3 : 7;
    };
    const int checkDigit = formatted == QLatin1String("0000000") ? 3 : 7;

    d.mstrRequestKey = QStringLiteral("KEY-REQ");
    QMap<QString, protocol::DataSet> sets;
    if (withReq)
        sets.insert(QStringLiteral("REQ"), reqSet(number));
    f.env.replies.store(d.Name(), d.mstrRequestKey, sets, {});
    d.mblnCnfrmNbrPending = true;
    d.ReadOnly(false);
    f.env.log.clear();

    d.GetFormNumber();

    QCOMPARE(d.mLblDataCnfrmPymt[4]->Caption(), formatted + u'-' + QString::number(checkDigit));
    QCOMPARE(d.mstrDocNumber, formatted);
    QVERIFY(!d.mblnCnfrmNbrPending);
    QVERIFY(d.mFraCnfrmPymt[1]->Enabled());
    QVERIFY(d.mFraCnfrmPymt[2]->Enabled());
    QVERIFY(f.env.log.containsInOrder({QStringLiteral("CheckDigit(%1)").arg(formatted),
                                       "ClearHighlight(mLblDataCnfrmPymt_4)", "ClearHighlight(mChkNbr)"}));
    QVERIFY(f.env.errors.reports.isEmpty());
}

void TestDocument::resizeRequest_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<bool>("resized");
    QTest::addColumn<bool>("keepsItsSize");

    QTest::newRow("command button") << "mCmdCnfrmPymt_0" << false << false;
    QTest::newRow("standard button") << "plain button" << false << false;
    QTest::newRow("date picker") << "dtpConfimDate" << false << true;
    QTest::newRow("grid") << "mSdgCnfrmPymt" << true << false;
    QTest::newRow("text box") << "txtComment" << true << false;
    QTest::newRow("option") << "mOptCnfrmPymt_0" << true << false;
}

void TestDocument::resizeRequest()
{
    QFETCH(QString, control);
    QFETCH(bool, resized);
    QFETCH(bool, keepsItsSize);

    DocumentFixture f;
    f.show();
    QPushButton plain(f.document);
    plain.setGeometry(10, 10, 80, 24);
    QWidget* widget = control == QLatin1String("plain button") ? &plain : f.child(control);
    QVERIFY(widget);
    ResizeRequest request;
    request.NewWidth = 999.5f;
    request.NewHeight = 777.5f;

    f.document->SsResizer1_BeforeResize(widget, request);

    QVERIFY(!request.ScaleFont);
    QCOMPARE(request.ResizeControl, resized);
    QCOMPARE(request.NewWidth, keepsItsSize ? float(widget->width()) : 999.5f);
    QCOMPARE(request.NewHeight, keepsItsSize ? float(widget->height()) : 777.5f);
    QVERIFY(f.env.errors.reports.isEmpty());
}

void TestDocument::readOnly_data()
{
    QTest::addColumn<bool>("flag");
    QTest::newRow("True unlocks") << true;
    QTest::newRow("False locks") << false;
}

void TestDocument::readOnly()
{
    QFETCH(bool, flag);

    DocumentFixture f;
    f.show();
    TAVRO_CnfrmPymt& d = *f.document;
    for (SSFrame* frame : d.mFraCnfrmPymt)
        frame->setEnabled(!flag);

    d.ReadOnly(flag);

    QCOMPARE(d.mFraCnfrmPymt[1]->Enabled(), flag);
    QCOMPARE(d.mFraCnfrmPymt[2]->Enabled(), flag);
    QCOMPARE(d.mFraCnfrmPymt[0]->Enabled(), !flag);
    // The controls inside keep their own flags; only the effective state follows the frame.
    QVERIFY(d.mCmdCnfrmPymt[0]->Enabled());
    QCOMPARE(d.mCmdCnfrmPymt[0]->isEnabled(), flag);
}

void TestDocument::errorReportedOnceWithLabel_data()
{
    QTest::addColumn<QString>("service"); ///< "status" or "fields"
    QTest::addColumn<QString>("failOn");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("withNumber");

    QTest::newRow("Initialize") << "status"
                                << "EnableToolbarButton(14,"
                                << "create"
                                << "TAVRO_CnfrmPymt.UserDocument_Initialize" << false;
    QTest::newRow("Show") << "status"
                          << "ShowStatus(Loading information)"
                          << "show"
                          << "TAVRO_CnfrmPymt.UserDocument_Show" << false;
    QTest::newRow("combo change") << "fields"
                                  << "ClearHighlight(mFtcboCnfrmPymt_0)"
                                  << "combo"
                                  << "TAVRO_CnfrmPymt.mFtcboCnfrmPymt_Change" << false;
    QTest::newRow("to Unconfirm inside combo change") << "status"
                                                      << "EnableToolbarButton(7,false,"
                                                      << "combo"
                                                      << "TAVRO_CnfrmPymt.chkToUnconfirm_Click" << true;
    QTest::newRow("option click") << "status"
                                  << "EnableToolbarButton(7,false,"
                                  << "option"
                                  << "TAVRO_CnfrmPymt.mOptCnfrmPymt_Click" << false;
    QTest::newRow("ClearData") << "fields"
                               << "ClearHighlight(txtComment)"
                               << "clear"
                               << "TAVRO_CnfrmPymt.ClearData" << false;
    QTest::newRow("ClearData inside FileNew") << "fields"
                                              << "ClearHighlight(txtComment)"
                                              << "new"
                                              << "TAVRO_CnfrmPymt.ClearData" << false;
    QTest::newRow("ConfigureToolbar") << "status"
                                      << "EnableToolbarButton(8,"
                                      << "toolbar"
                                      << "TAVRO_CnfrmPymt.ConfigureToolbar" << false;
    QTest::newRow("GetFormNumberControls") << "fields"
                                           << "CheckDigit("
                                           << "number"
                                           << "TAVRO_CnfrmPymt.GetFormNumberControls" << true;
}

void TestDocument::errorReportedOnceWithLabel()
{
    QFETCH(QString, service);
    QFETCH(QString, failOn);
    QFETCH(QString, action);
    QFETCH(QString, label);
    QFETCH(bool, withNumber);

    TestEnvironment outer; // holds the seams the failing services wrap
    FailingStatusService failingStatus(outer.status);
    FailingFieldUtility failingFields(outer.fields);
    const auto arm = [&] {
        (service == QLatin1String("status") ? failingStatus.failOn : failingFields.failOn) = failOn;
    };
    ScopedSeam<StatusService> statusSeam(failingStatus);
    ScopedSeam<FieldUtility> fieldsSeam(failingFields);
    RecordingErrorReporter& errors = outer.errors;

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
    } else if (action == QLatin1String("clear")) {
        d->ClearData();
    } else if (action == QLatin1String("new")) {
        d->mstrDocNumber = QStringLiteral("0000042");
        d->FileNew();
        QCOMPARE(d->mstrDocNumber, QString());
    } else if (action == QLatin1String("toolbar")) {
        outer.log.clear();
        d->ConfigureToolbar(true);
        // The buttons after the failing one are not switched.
        QCOMPARE(outer.log.matching(QStringLiteral("EnableToolbarButton(")),
                 (QStringList{"EnableToolbarButton(7,true,WIN-9)", "EnableToolbarButton(8,true,WIN-9)"}));
    } else if (action == QLatin1String("number")) {
        QString number = QStringLiteral("42");
        d->GetFormNumberControls(number);
        QVERIFY(d->mstrDocNumber.isEmpty()); // the steps after the failure are not done
    }

    QCOMPARE(errors.labels(), QStringList{label});
    const RecordingErrorReporter::Entry& report = errors.reports.first();
    const QString description =
        service == QLatin1String("status") ? failingStatus.errorText : failingFields.errorText;
    QCOMPARE(report.message, withNumber ? QStringLiteral("440:") + description : description);
    QVERIFY(!report.appText.isEmpty());
    QVERIFY(!report.fourth.isValid());
    if (action == QLatin1String("create"))
        QVERIFY2(outer.log.matching(QStringLiteral("SetReady(")).isEmpty(), "steps after the failure ran");
    if (action == QLatin1String("show")) {
        QVERIFY(!outer.pointer.history.isEmpty());
        QCOMPARE(outer.pointer.history.last(), int(vb::vbDefault));
    }

    // The document stays usable: the officer can still clear the screen.
    failingStatus.failOn.clear();
    failingFields.failOn.clear();
    errors.reports.clear();
    d->mTxtCnfrmPymt->setText(QStringLiteral("0012345"));
    d->ClearData();
    QCOMPARE(d->mTxtCnfrmPymt->Text(), QString());
    QVERIFY(errors.reports.isEmpty());
}

QTEST_MAIN(TestDocument)
#include "tst_document.moc"
