// The one handler of the message service's DataReady: matches a reply to this document and to
// the request that is outstanding, and runs that request's branch.
#include "cnfrmpymt/document/TAVRO_CnfrmPymt.h"
#include "common/DataSet.h"
#include "common/FieldUtility.h"
#include "common/ProcedureTrap.h"
#include "common/ReplyStore.h"
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
#include "runtime/ClassicError.h"
#include "runtime/MessageBox.h"
#include "runtime/ScreenPointer.h"

namespace tavro {

namespace {
const QString kDispatchLabel = QStringLiteral("TAVRO_CnfrmPymt.veskMessage_DataReady");

[[noreturn]] void abortDispatch()
{
    raiseError(err::QuietAbort);
}

void showStatus(const QString& text)
{
    StatusService::instance().ShowStatus(text);
}
} // namespace

void TAVRO_CnfrmPymt::mVeskMessage_DataReady(QVariant& DocumentName)
{
    runProcedure(
        kDispatchLabel,
        [&] {
            if (vb::UCase(vb::Trim(vb::CStr(DocumentName))) != vb::UCase(vb::Trim(Name())))
                abortDispatch();
            StatusService::instance().SetReady(true);

            const QString errors = FieldUtility::instance().CheckReplyErrors(Name(), kDispatchLabel, 0);
            if (!errors.isEmpty()) {
                MessageBox::instance().MsgBox(errors, vb::vbOKOnly + vb::vbExclamation, gstrMessageTitle);
                if (mblnCnfrmNbrPending) {
                    mChkNbr->setValue(0);
                    ReadOnly(true);
                }
                if (mblnTimedOut) {
                    if (mblnSavePending)
                        mLblDataCnfrmPymt[4]->setCaption(QString());
                    showStatus(QStringLiteral("Search timed out"));
                    mblnSaveReplied = true;
                    abortDispatch();
                }
                mblnSavePending = false;
                mblnSaveFailed = true;
                mblnSaveReplied = true;
                showStatus(QStringLiteral("Search was not successful"));
                abortDispatch();
            }

            mblnSaveReplied = true;
            ScreenPointer::instance().setMousePointer(vb::vbHourglass);
            if (mblnCnfrmNbrPending)
                GetFormNumber();
            else if (mblnSearchPending)
                dispatchSearchReply();
            if (mblnRcptDetPending)
                dispatchReceiptDetailReply();
            if (mblnFundsDetPending)
                dispatchFundsDetailReply();
            if (mblnSavePending)
                dispatchSaveReply();
        },
        {.quiet = {err::QuietAbort}});

    mSdgCnfrmPymt->setEnabled(true);
    ScreenPointer::instance().setMousePointer(vb::vbDefault);
}

void TAVRO_CnfrmPymt::dispatchSearchReply()
{
    ReplyStore& store = ReplyStore::instance();
    txtComment->setText(QString());
    txtComment->setDataChanged(false);
    FieldUtility::instance().ClearHighlight(txtComment);
    mblnReceiptsConfirmed = false;

    if (DataSetPtr confirmation = store.GetDataSet(QStringLiteral("CONFIRMATION"), Name(), mstrRequestKey)) {
        if (confirmation->RecordCount() > 0) {
            confirmation->Prepare();
            confirmation->MoveFirst();
            // A batch that was never unconfirmed has no comment: it shows as empty.
            const QVariant comment = confirmation->Fields().Item(QStringLiteral("DLY_RCPT_CMMT_TXT")).Value();
            txtComment->setText(comment.isNull() ? QString() : vb::Trim(vb::CStr(comment)));
            // Bare line feeds from the back end become line breaks the box shows.
            QString text = txtComment->Text();
            text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
            text.replace(QLatin1String("\n"), QLatin1String("\r\n"));
            txtComment->setText(text);
            txtComment->setDataChanged(false);
        }
    } else {
        txtComment->setDataChanged(false);
    }

    const QString description = mFtcboCnfrmPymt[0]->SelectedDescription();
    const QString entryText = mTxtCnfrmPymt->Text();
    DataSetPtr receipts = store.GetDataSet(QStringLiteral("RECEIPT"), Name(), mstrRequestKey);
    if (!receipts) {
        txtComment->setEnabled(false);
        dtpConfimDate->setEnabled(false);
        mLblCnfrmPymt[2]->setCaption(QString());
        QString warning;
        if (!mOptCnfrmPymt[0]->Enabled())
            warning = QStringLiteral("No ") + description + QStringLiteral(" found for ") + entryText;
        else if (mOptCnfrmPymt[0]->Value())
            warning =
                QStringLiteral("No Confirmed ") + description + QStringLiteral(" found for ") + entryText;
        else
            warning =
                QStringLiteral("No Unconfirmed ") + description + QStringLiteral(" found for ") + entryText;
        StatusService::instance().ShowWarning(warning);
        ScreenPointer::instance().setMousePointer(vb::vbDefault);
        abortDispatch();
    }

    mSdgCnfrmPymt->setRedraw(false);
    mSdgCnfrmPymt->RemoveAll();
    receipts->Prepare();
    receipts->MoveFirst();
    while (!receipts->Eof()) {
        LoadReceipts(*receipts);
        receipts->MoveNext();
    }
    mSdgCnfrmPymt->setRedraw(true);
    const bool anyReceipt = receipts->RecordCount() > 0;
    txtComment->setEnabled(mOptCnfrmPymt[0]->Value() && anyReceipt);
    txtComment->setEnabled(txtComment->Enabled() && chkToUnconfirm->Value() == 1);
    dtpConfimDate->setEnabled(mOptCnfrmPymt[1]->Value() && anyReceipt);

    CalculateGridTotals();

    const QString code = mFtcboCnfrmPymt[0]->SelectedCode();
    if (mSdgCnfrmPymt->Rows() > 0) {
        mSdgCnfrmPymt->MoveFirst();
        mCmdCnfrmPymt[5]->setEnabled(vb::Trim(code) == QLatin1String("D"));
    } else {
        mCmdCnfrmPymt[5]->setEnabled(false);
    }

    bool saveOn = false;
    if (mSdgCnfrmPymt->Rows() < 1 || code != QLatin1String("D"))
        saveOn = false;
    else if (mOptCnfrmPymt[1]->Value())
        saveOn = true;
    else
        saveOn = mOptCnfrmPymt[0]->Value() && chkToUnconfirm->Value() == 1;
    StatusService::instance().EnableToolbarButton(7, saveOn, gstrHostTag);

    mblnSearchPending = false;
    showStatus(QStringLiteral("Displaying ") + description + u' ' + entryText);
}

void TAVRO_CnfrmPymt::dispatchSaveReply()
{
    if (chkToUnconfirm->Value() == 1) {
        // An unconfirmation: the batch is now among the unconfirmed ones.
        mOptCnfrmPymt[0]->setValue(false);
        mOptCnfrmPymt[1]->setValue(true);
        chkToUnconfirm->setValue(0);
    } else {
        mOptCnfrmPymt[0]->setValue(true);
        mOptCnfrmPymt[1]->setValue(false);
    }
    mCmdCnfrmPymt_Click(0);
    StatusService::instance().EnableToolbarButton(7, false, gstrHostTag);
    mblnSavePending = false;
    mstrDocNumber.clear();
    mLblDataCnfrmPymt[4]->setCaption(QString());
    showStatus(QStringLiteral("Ready"));
}

} // namespace tavro
