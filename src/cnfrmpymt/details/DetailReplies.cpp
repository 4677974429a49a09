// Interim detail branches until the detail forms land: they end their request as the
// dispatch expects, so a detail reply leaves the screen usable.
#include "cnfrmpymt/document/TAVRO_CnfrmPymt.h"
#include "common/StatusService.h"

namespace tavro {

void TAVRO_CnfrmPymt::dispatchReceiptDetailReply()
{
    mblnRcptDetPending = false;
    StatusService::instance().ShowStatus(QStringLiteral("Ready"));
}

void TAVRO_CnfrmPymt::dispatchFundsDetailReply()
{
    mblnFundsDetPending = false;
    StatusService::instance().ShowStatus(QStringLiteral("Ready"));
}

void TAVRO_CnfrmPymt::LoadRcptDet(DataSet&) {}
void TAVRO_CnfrmPymt::LoadRcptDetFunds(DataSet&) {}
void TAVRO_CnfrmPymt::LoadFundsDet(DataSet&) {}
QString TAVRO_CnfrmPymt::GetARTypeLiteral(QString&)
{
    return {};
}

} // namespace tavro
