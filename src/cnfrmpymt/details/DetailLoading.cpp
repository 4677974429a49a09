// The document's side of the two detail views: the dispatch branches that fill and show the
// forms, and the row builders that append one record at a time to their grids.
#include "cnfrmpymt/details/DetailRows.h"
#include "cnfrmpymt/details/TAVRO_FundsDet.h"
#include "cnfrmpymt/details/TAVRO_RcptDet.h"
#include "cnfrmpymt/document/TAVRO_CnfrmPymt.h"
#include "common/FieldUtility.h"
#include "common/ProcedureTrap.h"
#include "common/ReplyStore.h"
#include "common/StatusService.h"
#include "controls/CodesCombo.h"
#include "controls/Label.h"
#include "controls/SSOleDBGrid.h"
#include "controls/TextBox.h"
#include "runtime/Classic.h"
#include "runtime/ScreenPointer.h"

namespace tavro {

namespace {

const QString kTab = QStringLiteral("\t");

QString receiptCell(SSOleDBGrid& grid, const char* column)
{
    return grid.Columns(QString::fromLatin1(column)).Text();
}

void appendRow(SSOleDBGrid& grid, const QString& row)
{
    grid.setFieldSeparator(kTab);
    grid.AddItem(row);
}

} // namespace

void TAVRO_CnfrmPymt::dispatchReceiptDetailReply()
{
    ReplyStore& store = ReplyStore::instance();
    // Held here for as long as the form shows them; released when the dispatch returns.
    DataSetPtr accounts = store.GetDataSet(QStringLiteral("ACNTSRCVBL"), Name(), mstrRequestKey);
    DataSetPtr funds = store.GetDataSet(QStringLiteral("FUND"), Name(), mstrRequestKey);

    TAVRO_RcptDet& form = TAVRO_RcptDet::Load();
    SSOleDBGrid& receipts = *mSdgCnfrmPymt;
    form.mLblDataRcptDet[1]->setCaption(vb::Trim(receiptCell(receipts, "Receipt Number")));
    form.mLblDataRcptDet[3]->setCaption(vb::Trim(receiptCell(receipts, "Receipt Date")));
    form.mLblDataRcptDet[5]->setCaption(receiptCell(receipts, "Total Receipt Amount"));
    QString issuing = receiptCell(receipts, "ISSUINGOFFICERNAME");
    QString entering = receiptCell(receipts, "ENTERINGOFFICERNAME");
    form.FillOfficerInfo(issuing, entering);
    form.LoadReceiptAccounts(accounts);
    form.LoadReceiptFunds(funds);

    ScreenPointer::instance().setMousePointer(vb::vbDefault);
    StatusService::instance().ShowStatus(QStringLiteral("Displaying Receipt Details for ") +
                                         receiptCell(receipts, "Receipt Number"));
    // "OK" unloads the form: it must not be used after this.
    form.exec();

    mblnRcptDetPending = false;
    StatusService::instance().ShowStatus(QStringLiteral("Ready"));
}

void TAVRO_CnfrmPymt::dispatchFundsDetailReply()
{
    DataSetPtr funds = ReplyStore::instance().GetDataSet(QStringLiteral("FUND"), Name(), mstrRequestKey);
    TAVRO_FundsDet& form = TAVRO_FundsDet::Load();
    if (funds) {
        funds->Prepare();
        funds->MoveFirst();
        while (!funds->Eof()) {
            LoadFundsDet(*funds);
            funds->MoveNext();
        }
        const QString entryText = mTxtCnfrmPymt->Text();
        form.mLblDataFundsDet[0]->setCaption(vb::UCase(mFtcboCnfrmPymt[0]->SelectedDescription()) + u':');
        form.mLblDataFundsDet[1]->setCaption(entryText);

        form.CalculateChecksTotal();
        form.CalculateRecChecksTotal();
        form.mLblDataFundsDet[7]->setCaption(
            currencyDifference(form.mLblDataFundsDet[3]->Caption(), form.mLblDataFundsDet[5]->Caption()));
        form.mSdgFundsDet[0]->MoveFirst();

        form.CalculateCashTotal();
        form.CalculateRecCashTotal();
        form.mLblDataFundsDet[13]->setCaption(
            currencyDifference(form.mLblDataFundsDet[9]->Caption(), form.mLblDataFundsDet[11]->Caption()));
        form.mSdgFundsDet[1]->MoveFirst();

        ScreenPointer::instance().setMousePointer(vb::vbDefault);
        StatusService::instance().ShowStatus(QStringLiteral("Displaying Funds Details for ") + entryText);
        form.exec();
    }
    mblnFundsDetPending = false;
    StatusService::instance().ShowStatus(QStringLiteral("Ready"));
}

void TAVRO_CnfrmPymt::LoadRcptDet(DataSet& lRsRecordset)
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.LoadRcptDet"), [&] {
        const QString row =
            receivableRow(lRsRecordset, [this](QString& code) { return GetARTypeLiteral(code); });
        appendRow(*TAVRO_RcptDet::Load().mSdgRcptDet[0], row);
    });
}

void TAVRO_CnfrmPymt::LoadRcptDetFunds(DataSet& lRsRecordset)
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.LoadRcptDetFunds"), [&] {
        const QString row = receiptFundRow(lRsRecordset);
        appendRow(*TAVRO_RcptDet::Load().mSdgRcptDet[1], row);
    });
}

QString TAVRO_CnfrmPymt::GetARTypeLiteral(QString& Code)
{
    QString literal;
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.GetARTypeLiteral"), [&] {
        literal = FieldUtility::instance().GetCodeDescription(Code, QStringLiteral("CNFRMDOC"));
    });
    return literal;
}

void TAVRO_CnfrmPymt::LoadFundsDet(DataSet& lRsRecordset)
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.LoadFundsDet"), [&] {
        if (const std::optional<BatchFundRow> row = batchFundRow(lRsRecordset))
            appendRow(*TAVRO_FundsDet::Load().mSdgFundsDet[static_cast<std::size_t>(row->grid)], row->text);
    });
}

} // namespace tavro
