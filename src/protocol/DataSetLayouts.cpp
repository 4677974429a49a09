#include "protocol/DataSetLayouts.h"

namespace tavro::protocol {

QList<Field> receiptFields()
{
    return {
        {QStringLiteral("RCPT_NBR"), FieldType::Text},     {QStringLiteral("RCPT_DT"), FieldType::Date},
        {QStringLiteral("RCPT_AMT"), FieldType::Currency}, {QStringLiteral("CNFRMTN_NBR"), FieldType::Text},
        {QStringLiteral("ISS_OFCR_ID"), FieldType::Long},  {QStringLiteral("ENTR_OFCR_ID"), FieldType::Long},
        {QStringLiteral("DLY_RCPT_NBR"), FieldType::Long}};
}

QList<Field> receivableFields()
{
    return {{QStringLiteral("CUST_NAME"), FieldType::Text},
            {QStringLiteral("ACCT_RCVBL_NBR"), FieldType::Long},
            {QStringLiteral("ACCT_RCVBL_CK_NBR"), FieldType::Text},
            {QStringLiteral("ACCT_RCVBL_TYP_CD"), FieldType::Text},
            {QStringLiteral("PYMT_APLD"), FieldType::Currency},
            {QStringLiteral("ASSMT_AMT"), FieldType::Currency},
            {QStringLiteral("LTE_FEE_AMT"), FieldType::Currency},
            {QStringLiteral("ACRD_INTRST_AMT"), FieldType::Currency},
            {QStringLiteral("ACCT_RCVBL_BAL_AMT"), FieldType::Currency}};
}

QList<Field> fundFields()
{
    return {{QStringLiteral("FUND_TYP_CD"), FieldType::Text},
            {QStringLiteral("FUND_RFRNC_NBR"), FieldType::Text},
            {QStringLiteral("FUND_AMT"), FieldType::Currency},
            {QStringLiteral("FUND_DESC"), FieldType::Text},
            {QStringLiteral("EXPRTN_MO_DT"), FieldType::Text},
            {QStringLiteral("EXPRTN_DY_DT"), FieldType::Text},
            {QStringLiteral("EXPRTN_YR_DT"), FieldType::Text},
            {QStringLiteral("FRCPT_NBR"), FieldType::Text}};
}

} // namespace tavro::protocol
