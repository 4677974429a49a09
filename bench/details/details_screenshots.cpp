// Renders the two detail forms with a realistic receipt and batch to PNG files, for the docs
// and for a look at their layout:
//   QT_QPA_PLATFORM=offscreen details_screenshots <folder>
// writes <folder>/receipt-details.png and <folder>/funds-detail.png.

#include "cnfrmpymt/details/DetailRows.h"
#include "cnfrmpymt/details/TAVRO_FundsDet.h"
#include "cnfrmpymt/details/TAVRO_RcptDet.h"
#include "common/ReferenceData.h"
#include "controls/Label.h"
#include "controls/SSOleDBGrid.h"
#include "runtime/Currency.h"
#include "runtime/CurrencyFormat.h"

#include <cstdio>
#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QScrollBar>
#include <QTableView>

using namespace tavro;
using PT = protocol::FieldType;
using protocol::Value;

namespace {

Value money(const char* text)
{
    return protocol::moneyFromText(QString::fromLatin1(text)).value();
}

Value text(const char* value)
{
    return QString::fromUtf8(value);
}

const Value Null = std::monostate{};

DataSetPtr dataSet(const QString& name, const QList<std::pair<const char*, PT>>& fields,
                   const QList<QList<Value>>& records)
{
    protocol::DataSet wire;
    for (const auto& [field, type] : fields)
        wire.fields.append({QString::fromLatin1(field), type});
    wire.records = records;
    return DataSet::fromWire(name, wire);
}

const QList<std::pair<const char*, PT>> kFundFields = {
    {"FUND_TYP_CD", PT::Text},  {"FUND_RFRNC_NBR", PT::Text}, {"FUND_AMT", PT::Currency},
    {"FUND_DESC", PT::Text},    {"EXPRTN_MO_DT", PT::Text},   {"EXPRTN_DY_DT", PT::Text},
    {"EXPRTN_YR_DT", PT::Text}, {"FRCPT_NBR", PT::Text}};

bool save(QWidget& form, const QString& path)
{
    form.show();
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    const bool saved = form.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

bool receiptDetails(const QString& folder)
{
    TAVRO_RcptDet& form = TAVRO_RcptDet::Load();
    form.mLblDataRcptDet[1]->setCaption(QStringLiteral("1004417"));
    form.mLblDataRcptDet[3]->setCaption(QStringLiteral("01/26/2005"));
    form.mLblDataRcptDet[5]->setCaption(formatCurrency(Currency::fromUnits(18'237'500)));
    QString issuing = QStringLiteral("1234:Jane Roe");
    QString entering = QStringLiteral("5678:John Poe");
    form.FillOfficerInfo(issuing, entering);

    DataSetPtr accounts =
        dataSet(QStringLiteral("ACNTSRCVBL"),
                {{"CUST_NAME", PT::Text},
                 {"ACCT_RCVBL_NBR", PT::Long},
                 {"ACCT_RCVBL_CK_NBR", PT::Text},
                 {"ACCT_RCVBL_TYP_CD", PT::Text},
                 {"PYMT_APLD", PT::Currency}},
                {{text("Harbour View Bakery"), qint64(4711), text("3"), text("A"), money("1250")},
                 {text("Harbour View Bakery"), qint64(4712), text("1"), text("L"), money("62.5")},
                 {text("Northgate Timber Ltd."), qint64(12345678), text("6"), text("I"), money("510")}});
    form.LoadReceiptAccounts(accounts);
    DataSetPtr funds =
        dataSet(QStringLiteral("FUND"), kFundFields,
                {{text("K"), text("100512"), money("1500"), text("Check"), Null, Null, Null, text("1004417")},
                 {text("C"), Null, money("22.5"), text("Cash"), Null, Null, Null, text("1004417")},
                 {text("R"), text("4111"), money("300"), text("Card"), text("12"), Null, text("2006"),
                  text("1004417")}});
    form.LoadReceiptFunds(funds);
    return save(form, folder + QStringLiteral("/receipt-details.png"));
}

bool fundsDetail(const QString& folder)
{
    TAVRO_FundsDet& form = TAVRO_FundsDet::Load();
    const QList<QList<Value>> batch = {
        {text("K"), text("100512"), money("1500"), Null, Null, Null, Null, text("1004417")},
        {text("K"), text("2291"), money("250"), Null, Null, Null, Null, text("1004418")},
        {text("X"), text("9"), money("0.5"), Null, Null, Null, Null, text("1004418")},
        {text("K"), text("774"), money("1312.75"), Null, Null, Null, Null, text("1004420")},
        {text("C"), Null, money("22.5"), Null, Null, Null, Null, text("1004417")},
        {text("C"), Null, money("100"), Null, Null, Null, Null, text("1004419")}};
    DataSetPtr funds = dataSet(QStringLiteral("FUND"), kFundFields, batch);
    funds->Prepare();
    for (funds->MoveFirst(); !funds->Eof(); funds->MoveNext()) {
        if (const std::optional<BatchFundRow> row = batchFundRow(*funds))
            form.mSdgFundsDet[static_cast<std::size_t>(row->grid)]->AddItem(row->text);
    }
    form.mLblDataFundsDet[0]->setCaption(QStringLiteral("DAILY RECEIPT:"));
    form.mLblDataFundsDet[1]->setCaption(QStringLiteral("0012345"));
    form.CalculateChecksTotal();
    form.CalculateRecChecksTotal();
    form.mLblDataFundsDet[7]->setCaption(
        currencyDifference(form.mLblDataFundsDet[3]->Caption(), form.mLblDataFundsDet[5]->Caption()));
    form.CalculateCashTotal();
    form.CalculateRecCashTotal();
    form.mLblDataFundsDet[13]->setCaption(
        currencyDifference(form.mLblDataFundsDet[9]->Caption(), form.mLblDataFundsDet[11]->Caption()));
    // The officer has ticked the first two checks and the first cash fund.
    for (const auto& [grid, row] : {std::pair{0, 0}, std::pair{0, 1}, std::pair{1, 0}}) {
        SSOleDBGrid& g = *form.mSdgFundsDet[static_cast<std::size_t>(grid)];
        QAbstractItemModel* model = g.model();
        g.setBookmark(g.RowBookmark(row));
        model->setData(model->index(row, g.Columns(QStringLiteral("Check Column")).Position()), Qt::Checked,
                       Qt::CheckStateRole);
    }
    // Show the amounts and ticks of the narrow grids (their columns are wider than the grids).
    form.show();
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    for (int grid : {0, 1}) {
        QScrollBar* across = form.mSdgFundsDet[static_cast<std::size_t>(grid)]->view()->horizontalScrollBar();
        across->setValue(across->maximum());
    }
    return save(form, folder + QStringLiteral("/funds-detail.png"));
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();

    protocol::Reference reference;
    reference.codeTables[QStringLiteral("REFDOCTYP")] = {
        {QStringLiteral("A"), QStringLiteral("Assessment")},
        {QStringLiteral("L"), QStringLiteral("Late Fee")},
        {QStringLiteral("I"), QStringLiteral("Accrued Interest")}};
    reference.codeTables[QStringLiteral("FUNDTYP")] = {
        {QStringLiteral("C"), QStringLiteral("Cash")},
        {QStringLiteral("K"), QStringLiteral("Check")},
        {QStringLiteral("R"), QStringLiteral("Credit Card")},
        {QStringLiteral("X"), QStringLiteral("Overage Adjustment")}};
    ReferenceData::instance().setReference(reference);

    const bool ok = receiptDetails(folder) && fundsDetail(folder);
    return ok ? 0 : 1;
}
