// The command buttons and the requests they send: search, clear, receipt and funds details.
#include "cnfrmpymt/document/TAVRO_CnfrmPymt.h"
#include "common/DataSet.h"
#include "common/FieldUtility.h"
#include "common/ProcedureTrap.h"
#include "common/StatusService.h"
#include "common/UserProfile.h"
#include "common/VeskCriterion.h"
#include "common/VeskRequest.h"
#include "controls/CodesCombo.h"
#include "controls/SSCommand.h"
#include "controls/SSOleDBGrid.h"
#include "controls/SSOption.h"
#include "controls/TextBox.h"
#include "runtime/App.h"
#include "runtime/Classic.h"
#include "runtime/MessageBox.h"
#include "runtime/ScreenPointer.h"

namespace tavro {

namespace {
VeskCriterion criterion(const QString& key, const QString& value)
{
    VeskCriterion c;
    c.setSystemName(QStringLiteral("KESTROVA"));
    c.setKey(key);
    c.setOperator(QStringLiteral("="));
    c.setValue(value);
    return c;
}

QString currentReceiptNumber(SSOleDBGrid& grid)
{
    return vb::CStr(grid.Columns(QStringLiteral("Receipt Number")).Value());
}
} // namespace

VeskRequest TAVRO_CnfrmPymt::newRequest(int RequestCode) const
{
    VeskRequest request;
    request.setRequester(Name());
    request.setUserId(UserProfile::instance().UserId());
    request.setVersion(QString::number(App::Major()) + u'.' + QString::number(App::Minor()));
    request.setRequestCode(RequestCode);
    return request;
}

void TAVRO_CnfrmPymt::mCmdCnfrmPymt_Click(int Index)
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.mCmdCnfrmPymt_Click"), [&] {
        mblnSearchPending = false;
        mblnRcptDetPending = false;
        mblnFundsDetPending = false;
        mblnSavePending = false;

        switch (Index) {
        case 0: {
            if (mFtcboCnfrmPymt[0]->SelectedCode().isEmpty()) {
                MessageBox::instance().MsgBox(QStringLiteral("Invalid document type selected"),
                                              vb::vbOKOnly + vb::vbCritical, gstrMessageTitle);
                FieldUtility::instance().HighlightControl(mFtcboCnfrmPymt[0]);
                return;
            }
            mCmdCnfrmPymt[2]->setEnabled(false);
            mCmdCnfrmPymt[3]->setEnabled(false);
            PopulateGrid();
            const QString description = mFtcboCnfrmPymt[0]->SelectedDescription();
            const QString number = mTxtCnfrmPymt->Text();
            QString status;
            if (!mOptCnfrmPymt[0]->Enabled())
                status = QStringLiteral("Requesting ") + description + u' ' + number;
            else if (mOptCnfrmPymt[0]->Value())
                status = QStringLiteral("Requesting Confirmed ") + description + u' ' + number;
            else
                status = QStringLiteral("Requesting Unconfirmed ") + description + u' ' + number;
            StatusService::instance().ShowStatus(status);
            mSdgCnfrmPymt->setEnabled(false);
            ScreenPointer::instance().setMousePointer(vb::vbHourglass);
            break;
        }
        case 1:
            ClearData();
            StatusService::instance().EnableToolbarButton(7, false, gstrHostTag);
            break;
        case 2: {
            mblnRcptDetPending = true;
            VeskRequest request = newRequest(69);
            const QString receipt = currentReceiptNumber(*mSdgCnfrmPymt);
            request.AddCriterion(criterion(QStringLiteral("key:RCPT_NBR"), receipt));
            request.AddCriterion(criterion(QStringLiteral("key:THIN"), QStringLiteral("Yes")));
            mstrRequestKey = request.RequestKey();
            request.Send();
            mblnTimedOut = false;
            StatusService::instance().ShowStatus(QStringLiteral("Requesting Receipt Details for ") + receipt);
            break;
        }
        case 3: {
            mblnFundsDetPending = true;
            VeskRequest request = newRequest(69);
            auto receipts = std::make_shared<DataSet>();
            receipts->Define(QStringLiteral("RECEIPT"));
            receipts->Prepare();
            SSOleDBGrid& grid = *mSdgCnfrmPymt;
            const auto addCurrentRow = [&] {
                receipts->AddNew();
                receipts->Fields()
                    .Item(QStringLiteral("FRCPT_NBR"))
                    .setValue(grid.Columns(QStringLiteral("Receipt Number")).Value());
            };
            const int rows = grid.Rows();
            if (rows == 1) {
                grid.MoveFirst();
                addCurrentRow();
            } else if (rows > 1) {
                grid.setRedraw(false);
                const QVariant current = grid.Bookmark();
                grid.MoveFirst();
                for (int row = 0; row < rows; ++row) {
                    addCurrentRow();
                    if (row < rows - 1)
                        grid.MoveNext();
                }
                grid.setBookmark(current);
                grid.setRedraw(true);
            }
            request.AttachDataSet(receipts, QStringLiteral("RECEIPT"));
            mstrRequestKey = request.RequestKey();
            request.Send();
            mblnTimedOut = false;
            // An empty grid has no current row: its Null number joins the text as nothing.
            const QVariant current = grid.Columns(QStringLiteral("Receipt Number")).Value();
            StatusService::instance().ShowStatus(QStringLiteral("Requesting Funds Details for ") +
                                                 (current.isNull() ? QString() : vb::CStr(current)));
            break;
        }
        default: // "Persist Data" and "Save Data" are invisible; saving goes through the host.
            break;
        }
    });
}

void TAVRO_CnfrmPymt::PopulateGrid()
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.PopulateGrid"), [&] {
        mSdgCnfrmPymt->RemoveAll();
        mblnSearchPending = true;

        VeskRequest request = newRequest(63);
        const VeskCriterion number = criterion(QStringLiteral("key:DOC_NBR"), entryNumberPart());
        request.AddCriterion(number);
        mstrSearchValue = number.Value();
        const QString code = mFtcboCnfrmPymt[0]->SelectedCode();
        request.AddCriterion(criterion(QStringLiteral("key:DOC_TYP_CD"), code));
        request.AddCriterion(criterion(QStringLiteral("key:CONF"), mOptCnfrmPymt[0]->Value()
                                                                       ? QStringLiteral("T")
                                                                       : QStringLiteral("F")));
        request.AddCriterion(criterion(QStringLiteral("key:thin"), QStringLiteral("Yes")));
        mstrRequestKey = request.RequestKey();
        request.Send();
        mblnTimedOut = false;

        mblnSearchByDlyRcpt = vb::Trim(code) == QLatin1String("D");
        SSColumn& confirmation = mSdgCnfrmPymt->Columns(QStringLiteral("Confirmation Number"));
        if (mOptCnfrmPymt[0]->Value())
            confirmation.setVisible(true);
        else if (mOptCnfrmPymt[1]->Value())
            confirmation.setVisible(false);
    });
}

void TAVRO_CnfrmPymt::mVeskMessage_MsgTimeout(QString& DocumentName)
{
    runProcedure(QStringLiteral("TAVRO_Cnfrmpymt.mVeskMessage_MsgTimeout"), [&] {
        if (vb::UCase(vb::Trim(DocumentName)) == vb::UCase(vb::Trim(Name())))
            mblnTimedOut = true;
    });
}

} // namespace tavro
