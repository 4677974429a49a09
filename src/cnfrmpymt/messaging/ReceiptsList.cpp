// The receipts grid: one row per receipt of a search reply, the total and the date range.
#include "cnfrmpymt/document/TAVRO_CnfrmPymt.h"
#include "common/DataSet.h"
#include "common/FieldUtility.h"
#include "common/ProcedureTrap.h"
#include "controls/DTPicker.h"
#include "controls/Label.h"
#include "controls/SSOleDBGrid.h"
#include "controls/SSOption.h"
#include "runtime/Classic.h"
#include "runtime/CurrencyFormat.h"

#include <QDate>

namespace tavro {

namespace {
/// "1234:Jane Roe" for an officer identifier, empty for Null.
QString officerCell(const QVariant& id)
{
    if (id.isNull())
        return {};
    return vb::CStr(id) + u':' + FieldUtility::instance().GetOfficerName(vb::CLng(id), 0);
}
} // namespace

void TAVRO_CnfrmPymt::LoadReceipts(DataSet& lRsRecordset)
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.LoadReceipts"), [&] {
        const auto field = [&](const char* name) {
            return lRsRecordset.Fields().Item(QString::fromLatin1(name)).Value();
        };
        const QChar tab = u'\t';
        QString row;

        if (const QVariant number = field("RCPT_NBR"); !number.isNull())
            row = vb::CStr(number);
        row += tab;
        if (const QVariant date = field("RCPT_DT"); !date.isNull())
            row += vb::CStr(date);
        row += tab;
        if (const QVariant amount = field("RCPT_AMT"); !amount.isNull())
            row += formatCurrency(vb::CCur(amount));
        row += tab;
        const QVariant confirmation = field("CNFRMTN_NBR");
        const QString confirmationText = confirmation.isNull() ? QString() : vb::CStr(confirmation);
        row += confirmationText + tab;
        if (!vb::Trim(confirmationText).isEmpty())
            mblnReceiptsConfirmed = true;
        row += officerCell(field("ISS_OFCR_ID")) + tab;
        row += officerCell(field("ENTR_OFCR_ID")) + tab;

        mSdgCnfrmPymt->setFieldSeparator(QString(tab));
        mSdgCnfrmPymt->AddItem(row);
    });
}

void TAVRO_CnfrmPymt::CalculateGridTotals()
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.CalculateGridTotals"), [&] {
        Currency total;
        QDate latest = vb::dateValueZero();
        SSOleDBGrid& grid = *mSdgCnfrmPymt;
        const int rows = grid.Rows();
        if (rows >= 1) {
            grid.MoveFirst();
            for (;;) {
                const int index = grid.AddItemRowIndex(grid.Bookmark());
                if (index > rows - 1)
                    break;
                const QString amount = vb::CStr(grid.Columns(QStringLiteral("Total Receipt Amount")).Value());
                if (const std::optional<Currency> value = parseCurrency(amount))
                    total += *value;
                const QVariant date = grid.Columns(QStringLiteral("Receipt Date")).Value();
                if (vb::IsDate(date)) {
                    const QDate receiptDate = vb::CDate(date);
                    if (receiptDate > latest)
                        latest = receiptDate;
                }
                if (index == rows - 1)
                    break;
                grid.MoveNext();
            }
        }
        grid.MoveFirst();

        mLblCnfrmPymt[2]->setCaption(formatCurrency(total));
        const QDate today = QDate::currentDate();
        dtpConfimDate->setMaxDate(today);
        dtpConfimDate->setValue(today);
        dtpConfimDate->setMinDate(latest);
        dtpConfimDate->setEnabled(mOptCnfrmPymt[1]->Value() && rows >= 1);
    });
}

} // namespace tavro
