// Keeps the screen consistent with what the officer selects: document type, confirmed or
// unconfirmed receipts, "(to Unconfirm)" and the receipts grid's selection.
#include "cnfrmpymt/document/TAVRO_CnfrmPymt.h"
#include "common/FieldUtility.h"
#include "common/ProcedureTrap.h"
#include "common/StatusService.h"
#include "controls/CheckBox.h"
#include "controls/CodesCombo.h"
#include "controls/DTPicker.h"
#include "controls/Label.h"
#include "controls/SSCommand.h"
#include "controls/SSOleDBGrid.h"
#include "controls/SSOption.h"
#include "controls/TextBox.h"
#include "runtime/Classic.h"

namespace tavro {

namespace {
void enableSaveButton(bool enabled)
{
    StatusService::instance().EnableToolbarButton(7, enabled, gstrHostTag);
}
} // namespace

void TAVRO_CnfrmPymt::mFtcboCnfrmPymt_Change(int Index)
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.mFtcboCnfrmPymt_Change"), [&] {
        FieldUtility::instance().ClearHighlight(mFtcboCnfrmPymt[0]);
        if (Index != 0)
            return;

        // "N" is compared untrimmed on purpose; the "D" test below trims.
        const bool confirmationNumberType = mFtcboCnfrmPymt[0]->SelectedCode() == QLatin1String("N");
        mOptCnfrmPymt[confirmationNumberType ? 0 : 1]->setValue(true);
        mOptCnfrmPymt[0]->setEnabled(!confirmationNumberType);
        mOptCnfrmPymt[1]->setEnabled(!confirmationNumberType);

        const bool dailyReceipt = vb::Trim(mFtcboCnfrmPymt[0]->SelectedCode()) == QLatin1String("D");
        mLblCnfrmPymt[3]->setVisible(dailyReceipt);
        mLblDataCnfrmPymt[4]->setVisible(dailyReceipt);
        mChkNbr->setVisible(dailyReceipt);
        if (!dailyReceipt) {
            chkToUnconfirm->setVisible(false);
            lblComment->setVisible(chkToUnconfirm->Visible());
            txtComment->setVisible(chkToUnconfirm->Visible());
            mChkNbr->setVisible(false);
            enableSaveButton(false);
        } else {
            enableSaveButton(true);
            chkToUnconfirm_Click();
        }
    });
}

void TAVRO_CnfrmPymt::mOptCnfrmPymt_Click(int /*Index*/, bool /*Value*/)
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.mOptCnfrmPymt_Click"), [&] {
        const bool dailyReceipt = vb::Trim(mFtcboCnfrmPymt[0]->SelectedCode()) == QLatin1String("D");
        if (mOptCnfrmPymt[0]->Value()) {
            mLblCnfrmPymt[3]->setVisible(false);
            mLblDataCnfrmPymt[4]->setVisible(false);
            mChkNbr->setVisible(false);
            chkToUnconfirm->setVisible(dailyReceipt);
            if (chkToUnconfirm->Value() != 1)
                enableSaveButton(false);
        } else {
            chkToUnconfirm->setVisible(false);
            chkToUnconfirm->setValue(0);
            if (mblnReceiptsConfirmed)
                enableSaveButton(false);
        }

        if (dailyReceipt && mOptCnfrmPymt[1]->Value()) {
            mLblCnfrmPymt[3]->setVisible(true);
            mLblDataCnfrmPymt[4]->setVisible(true);
            mChkNbr->setVisible(true);
            mChkNbr->setEnabled(true);
            mChkNbr->setValue(0);
            lblConfimDate->setVisible(true);
            dtpConfimDate->setVisible(true);
            if (mSdgCnfrmPymt->Rows() >= 1 && !mblnReceiptsConfirmed)
                enableSaveButton(true);
        } else {
            lblConfimDate->setVisible(false);
            dtpConfimDate->setVisible(false);
        }
    });
}

void TAVRO_CnfrmPymt::chkToUnconfirm_Click()
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.chkToUnconfirm_Click"),
                 [&] {
                     const bool ticked = chkToUnconfirm->Value() == 1;
                     lblComment->setVisible(ticked);
                     txtComment->setVisible(ticked);

                     if (mSdgCnfrmPymt->Rows() < 1) {
                         enableSaveButton(false);
                         return;
                     }
                     if (mFtcboCnfrmPymt[0]->SelectedCode() != QLatin1String("D")) {
                         enableSaveButton(false);
                         return;
                     }
                     if (mOptCnfrmPymt[1]->Value() && !mblnReceiptsConfirmed && mblnSearchByDlyRcpt) {
                         enableSaveButton(true);
                         txtComment->setEnabled(false);
                         return;
                     }
                     if (mOptCnfrmPymt[0]->Value() && ticked && mblnSearchByDlyRcpt &&
                         mblnReceiptsConfirmed) {
                         enableSaveButton(true);
                         txtComment->setEnabled(true);
                         return;
                     }
                     enableSaveButton(false);
                 },
                 {.quiet = {}, .style = ReportStyle::NumberAndDescription});
}

void TAVRO_CnfrmPymt::mSdgCnfrmPymt_Click()
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.mSdgCnfrmPymt_Click"), [&] {
        const bool oneSelected = mSdgCnfrmPymt->SelBookmarks().Count() == 1;
        if (oneSelected)
            mSdgCnfrmPymt->setBookmark(mSdgCnfrmPymt->SelBookmarks().Item(0));
        mCmdCnfrmPymt[2]->setEnabled(oneSelected);
        mCmdCnfrmPymt[3]->setEnabled(oneSelected);
    });
}

} // namespace tavro
