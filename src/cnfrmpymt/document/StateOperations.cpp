// The state operations the host calls (changed?, clear, new, unload) and the procedures that
// take a confirmation number into the display.
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
#include "controls/SSFrame.h"
#include "controls/SSOleDBGrid.h"
#include "controls/SSOption.h"
#include "controls/TextBox.h"
#include "runtime/Classic.h"
#include "runtime/ClassicError.h"

namespace tavro {

QString TAVRO_CnfrmPymt::entryNumberPart() const
{
    const QString text = mTxtCnfrmPymt->Text();
    const int dash = vb::InStr(text, QStringLiteral("-"));
    return vb::Trim(dash > 0 ? vb::Left(text, dash - 1) : text);
}

bool TAVRO_CnfrmPymt::DataChanged()
{
    bool changed = false;
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.DataChanged"),
                 [&] {
                     if (mblnSavePending)
                         raiseError(err::QuietAbort);
                     if (mstrSearchValue.isEmpty() || entryNumberPart() != mstrSearchValue)
                         return;
                     changed = mSdgCnfrmPymt->Rows() >= 1 &&
                               vb::Trim(mFtcboCnfrmPymt[0]->SelectedCode()) == QLatin1String("D") &&
                               (mOptCnfrmPymt[1]->Value() ||
                                (mOptCnfrmPymt[0]->Value() && chkToUnconfirm->Value() == 1));
                 },
                 {.quiet = {err::QuietAbort}});
    return changed;
}

void TAVRO_CnfrmPymt::ClearData()
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.ClearData"), [&] {
        mFtcboCnfrmPymt[0]->setSelectedCode(QStringLiteral("D"));
        mTxtCnfrmPymt->setText(QString());
        mstrSearchValue.clear();
        mSdgCnfrmPymt->RemoveAll();
        mOptCnfrmPymt[1]->setValue(true);
        mCmdCnfrmPymt[0]->setEnabled(false);
        mCmdCnfrmPymt[2]->setEnabled(false);
        mCmdCnfrmPymt[3]->setEnabled(false);
        mChkNbr->setEnabled(true);
        mChkNbr->setValue(0);
        mLblDataCnfrmPymt[4]->setCaption(QString());
        chkToUnconfirm->setValue(0);
        dtpConfimDate->setEnabled(false);
        txtComment->setText(QString());
        txtComment->setDataChanged(false);
        txtComment->setEnabled(false);
        FieldUtility::instance().ClearHighlight(txtComment);
    });
}

void TAVRO_CnfrmPymt::FileNew()
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.FileNew"), [&] {
        mstrDocNumber.clear();
        ClearData();
    });
}

void TAVRO_CnfrmPymt::BeforeUnload()
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.BeforeUnload"),
                 [&] { StatusService::instance().EnableToolbarButton(7, true, gstrHostTag); });
    setMessageService(nullptr);
}

void TAVRO_CnfrmPymt::ReadOnly(bool Flag)
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.ReadOnly"), [&] {
        mFraCnfrmPymt[1]->setEnabled(Flag);
        mFraCnfrmPymt[2]->setEnabled(Flag);
    });
}

void TAVRO_CnfrmPymt::GetFormNumber()
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.GetFormNumber"),
                 [&] {
                     qint32 number = 0;
                     if (DataSetPtr req = ReplyStore::instance().GetDataSet(
                             QStringLiteral("REQ"), vb::UCase(vb::Trim(Name())), mstrRequestKey))
                         number = vb::CLng(req->Fields().Item(QStringLiteral("F")).Value());
                     QString text = QString::number(number);
                     GetFormNumberControls(text);
                 },
                 {.quiet = {}, .style = ReportStyle::NumberAndDescription});
}

void TAVRO_CnfrmPymt::GetFormNumberControls(QString& Number)
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.GetFormNumberControls"),
                 [&] {
                     Number = vb::Format(Number, QStringLiteral("0000000"));
                     const int checkDigit = FieldUtility::instance().CheckDigit(Number);
                     mLblDataCnfrmPymt[4]->setCaption(Number + u'-' + QString::number(checkDigit));
                     mstrDocNumber = Number;
                     mblnCnfrmNbrPending = false;
                     ReadOnly(true);
                     FieldUtility::instance().ClearHighlight(mLblDataCnfrmPymt[4]);
                     FieldUtility::instance().ClearHighlight(mChkNbr);
                 },
                 {.quiet = {}, .style = ReportStyle::NumberAndDescription});
}

} // namespace tavro
