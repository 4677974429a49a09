#include "cnfrmpymt/details/DetailRows.h"

#include "protocol/DataSetLayouts.h"
#include "runtime/Classic.h"
#include "runtime/ClassicError.h"
#include "runtime/Currency.h"
#include "runtime/CurrencyFormat.h"

#include <cmath>
#include <utility>

namespace tavro {

namespace {

constexpr QChar kTab = u'\t';

QVariant fieldValue(DataSet& record, const char* name)
{
    return record.Fields().Item(QString::fromLatin1(name)).Value();
}

// The plain text of a field; Null contributes nothing.
QString fieldText(DataSet& record, const char* name)
{
    const QVariant value = fieldValue(record, name);
    return value.isNull() ? QString() : vb::CStr(value);
}

} // namespace

QString receivableRow(DataSet& record, const std::function<QString(QString&)>& typeLiteral)
{
    QString row;
    row += fieldText(record, "CUST_NAME");
    row += kTab;
    row += fieldText(record, "ACCT_RCVBL_NBR");
    row += u'-';
    row += fieldText(record, "ACCT_RCVBL_CK_NBR");
    row += kTab;
    if (const QVariant type = fieldValue(record, "ACCT_RCVBL_TYP_CD"); !type.isNull()) {
        QString code = vb::CStr(type);
        row += typeLiteral(code);
    }
    row += kTab;
    row += fieldText(record, "PYMT_APLD");
    row += kTab;
    row += fieldText(record, "ASSMT_AMT");
    row += kTab;
    row += fieldText(record, "LTE_FEE_AMT");
    row += kTab;
    row += fieldText(record, "ACRD_INTRST_AMT");
    row += kTab;
    row += fieldText(record, "ACCT_RCVBL_BAL_AMT");
    return row;
}

QString receiptFundRow(DataSet& record)
{
    QString row;
    if (const QVariant type = fieldValue(record, "FUND_TYP_CD"); !type.isNull()) {
        const QString code = vb::CStr(type);
        if (code == u"C")
            row += QStringLiteral("Cash");
        else if (code == u"K")
            row += QStringLiteral("Check");
        else if (code == u"X")
            row += QStringLiteral("Overage Adjustment");
    }
    row += kTab;
    row += fieldText(record, "FUND_RFRNC_NBR");
    row += kTab;
    row += fieldText(record, "FUND_AMT");
    return row;
}

std::optional<BatchFundRow> batchFundRow(DataSet& record)
{
    enum class Kind
    {
        Check,
        Overage,
        Cash
    };
    const QVariant type = fieldValue(record, "FUND_TYP_CD");
    if (type.isNull())
        return std::nullopt;
    const QString code = vb::CStr(type);
    Kind kind;
    if (code == u"K")
        kind = Kind::Check;
    else if (code == u"X")
        kind = Kind::Overage;
    else if (code == u"C")
        kind = Kind::Cash;
    else
        return std::nullopt;

    QString row = fieldText(record, "FRCPT_NBR");
    switch (kind) {
    case Kind::Check:
        row += kTab;
        row += fieldText(record, "FUND_RFRNC_NBR");
        row += kTab;
        break;
    case Kind::Overage:
        // An adjustment has no check of its own; its reference is not shown.
        row += kTab;
        row += QStringLiteral("Excess");
        row += kTab;
        break;
    case Kind::Cash:
        row += kTab;
        break;
    }
    if (const QVariant amount = fieldValue(record, "FUND_AMT"); !amount.isNull())
        row += formatCurrency(vb::CCur(amount));
    return BatchFundRow{kind == Kind::Cash ? 1 : 0, row};
}

QString currencyDifference(const QString& totalText, const QString& reconciledText)
{
    const double difference = currencyTextToDouble(totalText) - currencyTextToDouble(reconciledText);
    if (!std::isfinite(difference))
        raiseError(err::Overflow);
    return formatCurrency(Currency::fromDouble(difference));
}

void defineDetailFields(DataSet& set)
{
    const RecordsetPtr recordset = set.Recordset();
    if (!recordset || recordset->fieldCount() > 0)
        return;
    const QString name = set.Name().trimmed().toUpper();
    QList<protocol::Field> fields;
    if (name == u"ACNTSRCVBL")
        fields = protocol::receivableFields();
    else if (name == u"FUND")
        fields = protocol::fundFields();
    for (const protocol::Field& field : std::as_const(fields))
        recordset->appendField(field.name, fromWireType(field.type));
}

} // namespace tavro
