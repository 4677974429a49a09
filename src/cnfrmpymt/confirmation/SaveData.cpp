// Saving: validates the screen in a fixed order and sends one confirmation or unconfirmation.
#include "cnfrmpymt/document/TAVRO_CnfrmPymt.h"
#include "common/DataSet.h"
#include "common/ErrorReporter.h"
#include "common/FieldUtility.h"
#include "common/StatusService.h"
#include "common/UserProfile.h"
#include "common/VeskRequest.h"
#include "controls/CheckBox.h"
#include "controls/DTPicker.h"
#include "controls/Label.h"
#include "controls/SSOption.h"
#include "controls/TextBox.h"
#include "runtime/App.h"
#include "runtime/Classic.h"
#include "runtime/ClassicError.h"
#include "runtime/MessageBox.h"
#include "runtime/ScreenPointer.h"

#include <QDate>

namespace tavro {

namespace {
/// Abandons the save after its reason was shown.
[[noreturn]] void cancelSave()
{
    raiseError(err::SaveCancelled);
}

void cancelWithStatus(const QString& text)
{
    StatusService::instance().ShowStatus(text);
    cancelSave();
}
} // namespace

void TAVRO_CnfrmPymt::SaveData()
{
    QString step;
    bool sent = false;
    const std::optional<ClassicError> error = captureError([&] {
        FieldUtility& fields = FieldUtility::instance();
        const bool unconfirm = chkToUnconfirm->Value() == 1 && mOptCnfrmPymt[0]->Value();

        if (mOptCnfrmPymt[1]->Value() && mblnReceiptsConfirmed)
            cancelWithStatus(QStringLiteral("Receipts are already Confirmed.  Save request canceled"));
        if (mOptCnfrmPymt[0]->Value() && !mblnReceiptsConfirmed)
            cancelWithStatus(QStringLiteral("Receipts are already Unconfirmed.  Save request canceled"));
        if (!DataChanged())
            cancelWithStatus(QStringLiteral("Information did not change.  Save request canceled"));

        const QString confirmationNumber = vb::Left(mLblDataCnfrmPymt[4]->Caption(), 7);
        if (!unconfirm && vb::Val(confirmationNumber) == 0) {
            StatusService::instance().ShowWarning(
                QStringLiteral("Can not save confirm payment without confirmation number. "
                               "Please get a confirmation number first"));
            fields.HighlightControl(mLblDataCnfrmPymt[4]);
            fields.HighlightControl(mChkNbr);
            cancelSave();
        }

        QString entry = vb::Trim(mTxtCnfrmPymt->Text());
        QString message;
        if (!fields.ValidateNumber(QStringLiteral("F"), entry, message))
            cancelWithStatus(QStringLiteral("Invalid Confirmation Number: ") + message +
                             QStringLiteral(".  Save request canceled"));

        const QString batchNumber = entryNumberPart();
        if (!vb::IsNumeric(batchNumber))
            cancelWithStatus(QStringLiteral("Invalid Confirmation Number.  Save request canceled"));

        const bool commentVisible = txtComment->Visible();
        if (unconfirm && vb::Trim(txtComment->Text()).isEmpty()) {
            if (commentVisible)
                fields.HighlightControl(txtComment);
            cancelWithStatus(QStringLiteral("Explaination comment required. Unconfirm request canceled"));
        }
        if (unconfirm && !txtComment->DataChanged()) {
            if (commentVisible)
                fields.HighlightControl(txtComment);
            cancelWithStatus(QStringLiteral("Explaination comment not changed. Unconfirm request canceled"));
        } else if (commentVisible) {
            fields.ClearHighlight(txtComment);
        }

        if (unconfirm) {
            if (commentVisible)
                fields.ClearHighlight(txtComment);
            const QString prompt = QStringLiteral("This command will unconfirm the batch ") + batchNumber +
                                   QStringLiteral("\r\n\r\n") + QString(26, u' ') +
                                   QStringLiteral("Are you sure?");
            const int answer =
                MessageBox::instance().MsgBox(prompt, vb::vbOKCancel + vb::vbDefaultButton2,
                                              QStringLiteral("Unconfirm This Batch of Receipts"));
            if (answer == vb::vbCancel)
                cancelWithStatus(QStringLiteral("Unconfirm request canceled"));
        }

        ScreenPointer::instance().setMousePointer(vb::vbHourglass);
        StatusService::instance().ShowStatus(QStringLiteral("Saving Confirmation"));
        mblnSavePending = true;
        StatusService::instance().SetReady(false);

        VeskRequest request = newRequest(72);
        auto record = std::make_shared<DataSet>();
        record->Define(QStringLiteral("CONFIRMATION"));
        record->Prepare();
        record->AddNew();
        const auto write = [&](const QString& field, const QVariant& value) {
            record->Fields().Item(field).setValue(value);
        };
        step = QStringLiteral("action");
        write(QStringLiteral("ACTION"), unconfirm ? QStringLiteral("UNCONFIRM") : QStringLiteral("UPD"));
        step = QStringLiteral("DLY_RCPT_NBR");
        write(QStringLiteral("DLY_RCPT_NBR"), vb::Val(batchNumber));
        step = QStringLiteral("CNFRMTN_NBR");
        if (!unconfirm)
            write(QStringLiteral("CNFRMTN_NBR"), confirmationNumber);
        step = QStringLiteral("CNFRMTN_DT");
        if (!unconfirm)
            write(QStringLiteral("CNFRMTN_DT"), dtpConfimDate->Value());
        else
            write(QStringLiteral("CNFRMTN_DT"), QDate::currentDate().toString(QStringLiteral("MM-dd-yyyy")));
        step = QStringLiteral("DLY_RCPT_CMMT_TXT");
        if (unconfirm)
            write(QStringLiteral("DLY_RCPT_CMMT_TXT"), vb::Left(vb::Trim(txtComment->Text()), 254));
        const UserProfile& profile = UserProfile::instance();
        step = QStringLiteral("TRP_ID");
        write(QStringLiteral("TRP_ID"), profile.TrpId());
        step = QStringLiteral("TRP_DSTRCT_ID");
        write(QStringLiteral("TRP_DSTRCT_ID"), profile.TrpDstrctId());
        step = QStringLiteral("CNFRMTN_OFCR_ID");
        write(QStringLiteral("CNFRMTN_OFCR_ID"), profile.OfficerId());

        step = QStringLiteral("update");
        record->Update();
        request.AttachDataSet(record, QStringLiteral("CONFIRMATION"));
        mstrRequestKey = request.RequestKey();
        request.AddOption(QStringLiteral("COMMITANYWAY"));
        request.Send();
        sent = true;
        mblnTimedOut = false;
    });

    if (error) {
        if (error->number() != err::SaveCancelled)
            ErrorReporter::instance().Report(error->description(), App::Title(),
                                             QStringLiteral("TAVRO_CnfrmPymt.SaveData: ") + step);
        if (vb::Trim(mstrSaveError).isEmpty())
            mstrSaveError = QStringLiteral("Save was cancelled.");
    }
    // The reply restores the pointer once a request is out; nothing else would after a refusal.
    ScreenPointer::instance().setMousePointer(sent ? vb::vbHourglass : vb::vbDefault);
}

} // namespace tavro
