#include "cnfrmpymt/details/TAVRO_RcptDet.h"

#include "cnfrmpymt/details/DetailRows.h"
#include "cnfrmpymt/document/GridBolding.h"
#include "common/FieldUtility.h"
#include "common/ProcedureTrap.h"
#include "controls/Adodc.h"
#include "controls/Label.h"
#include "controls/SSCommand.h"
#include "controls/SSFrame.h"
#include "controls/SSOleDBGrid.h"
#include "controls/Twips.h"
#include "runtime/Classic.h"
#include "runtime/CurrencyFormat.h"
#include "runtime/ScreenPointer.h"

#include <QPointer>

namespace tavro {

namespace {

QPointer<TAVRO_RcptDet> s_form;

struct ColumnDef
{
    const char* header;
    const char* name;
    const char* field; // empty: filled by the row formatting
    bool shown;
    ColumnAlignment alignment;
    bool currency;
    int width;
};

// The receivables the payment was applied to; "AR Number" is composed per row.
constexpr ColumnDef kReceivableColumns[] = {
    {"Customer Name", "CUST_NAME", "CUST_NAME", true, ColumnAlignment::Left, false, 4075},
    {"AR #", "AR Number", "", true, ColumnAlignment::Left, false, 2593},
    {"ACCT_RCVBL_NBR", "ACCT_RCVBL_NBR", "ACCT_RCVBL_NBR", false, ColumnAlignment::Right, false, 3200},
    {"ACCT_RCVBL_CK_NBR", "ACCT_RCVBL_CK_NBR", "ACCT_RCVBL_CK_NBR", false, ColumnAlignment::Right, false,
     3200},
    {"AR Type", "ACCT_RCVBL_TYP_CD", "ACCT_RCVBL_TYP_CD", true, ColumnAlignment::Left, false, 3096},
    {"Payment Applied", "PYMT_APLD", "PYMT_APLD", true, ColumnAlignment::Right, true, 3200},
};

// The funds recorded for the receipt; "FUND_EXPR" is composed per row.
constexpr ColumnDef kFundColumns[] = {
    {"Payment Type", "FUND_TYP_CD", "FUND_TYP_CD", true, ColumnAlignment::Left, false, 4154},
    {"Check #", "FUND_RFRNC_NBR", "FUND_RFRNC_NBR", true, ColumnAlignment::Left, false, 3201},
    {"Payment Amount", "FUND_AMT", "FUND_AMT", true, ColumnAlignment::Right, true, 3200},
    {"FUND_DESC", "FUND_DESC", "FUND_DESC", false, ColumnAlignment::Left, false, 3200},
    {"Expiration Date", "FUND_EXPR", "", true, ColumnAlignment::Center, false, 2434},
    {"EXPRTN_MO_DT", "EXPRTN_MO_DT", "EXPRTN_MO_DT", false, ColumnAlignment::Left, false, 3200},
    {"EXPRTN_DY_DT", "EXPRTN_DY_DT", "EXPRTN_DY_DT", false, ColumnAlignment::Left, false, 3200},
    {"EXPRTN_YR_DT", "EXPRTN_YR_DT", "EXPRTN_YR_DT", false, ColumnAlignment::Left, false, 3200},
};

template <std::size_t N> void addColumns(SSOleDBGrid& grid, const ColumnDef (&columns)[N])
{
    for (const ColumnDef& def : columns) {
        SSColumn& column = grid.addColumn(QString::fromLatin1(def.name), QString::fromLatin1(def.header));
        column.setDataField(QString::fromLatin1(def.field));
        column.setVisible(def.shown);
        column.setAlignment(def.alignment);
        if (def.currency)
            column.setNumberFormat(QStringLiteral("CURRENCY"));
        column.setWidth(def.width);
    }
}

Label* newLabel(QWidget* parent, const QString& objectName, const QString& caption, const QRect& geometry,
                Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter)
{
    auto* label = new Label(caption, parent);
    label->setObjectName(objectName);
    label->setGeometry(geometry);
    label->setAlignment(alignment);
    return label;
}

} // namespace

TAVRO_RcptDet& TAVRO_RcptDet::Load()
{
    if (!s_form) {
        s_form = new TAVRO_RcptDet();
        s_form->Form_Load();
    }
    return *s_form;
}

TAVRO_RcptDet* TAVRO_RcptDet::Loaded()
{
    return s_form.data();
}

void TAVRO_RcptDet::Unload()
{
    if (s_form == this)
        s_form = nullptr;
    QDialog::done(QDialog::Accepted);
    deleteLater();
}

void TAVRO_RcptDet::reject()
{
    Unload();
}

void TAVRO_RcptDet::accept()
{
    Unload();
}

TAVRO_RcptDet::TAVRO_RcptDet() : QDialog(nullptr)
{
    setObjectName(QStringLiteral("TAVRO_RcptDet"));
    setWindowTitle(QStringLiteral("Receipt Details"));
    setModal(true);
    // The form is laid out in twips for the classic 8-point dialog font; the captions fit it.
    QFont formFont = font();
    formFont.setPointSize(8);
    setFont(formFont);
    createControls();
}

TAVRO_RcptDet::~TAVRO_RcptDet()
{
    if (s_form == this)
        s_form = nullptr;
}

void TAVRO_RcptDet::createControls()
{
    setFixedSize(twips(DesignWidthTwips), twips(DesignHeightTwips));

    mFraRcptDet = new SSFrame(this);
    mFraRcptDet->setObjectName(QStringLiteral("mFraRcptDet"));
    mFraRcptDet->setGeometry(twipsRect(60, 0, 8175, 5445));
    QWidget* frame = mFraRcptDet;

    // Header: captions at the left, the receipt's values from 1920 on (sized to their text);
    // the registry numbers and the control number at 6000 with their captions before them.
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    const struct
    {
        int index;
        const char* caption;
        int top;
    } captions[] = {{0, "Receipt #:", 180}, {2, "Receipt Date:", 420}, {4, "Total Receipt Amount:", 660}};
    for (const auto& c : captions) {
        mLblRcptDet[c.index] = newLabel(frame, QStringLiteral("mLblRcptDet_%1").arg(c.index),
                                        QString::fromLatin1(c.caption), twipsRect(60, c.top, 1845, 240));
        Label* value = newLabel(frame, QStringLiteral("mLblDataRcptDet_%1").arg(c.index + 1), QString(),
                                twipsRect(1920, c.top, 120, 240));
        value->setAutoSize(true);
        mLblDataRcptDet[c.index + 1] = value;
    }
    mLblRcptDet[6] =
        newLabel(frame, QStringLiteral("mLblRcptDet_6"), QStringLiteral("Daily Receipt Control #:"),
                 twipsRect(3720, 660, 2220, 240), right);
    mLblDataRcptDet[7] =
        newLabel(frame, QStringLiteral("mLblDataRcptDet_7"), QString(), twipsRect(6000, 660, 2100, 240));
    Label1 = newLabel(frame, QStringLiteral("Label1"), QStringLiteral("Issuing Registry#:"),
                      twipsRect(3720, 180, 2220, 240), right);
    lblIssuingOfficerNbr = newLabel(frame, QStringLiteral("lblIssuingOfficerNbr"), QStringLiteral("label"),
                                    twipsRect(6000, 180, 2100, 240));
    Label2 = newLabel(frame, QStringLiteral("Label2"), QStringLiteral("Entering Registry#:"),
                      twipsRect(3720, 420, 2220, 240), right);
    lblEnteringOfficerNbr = newLabel(frame, QStringLiteral("lblEnteringOfficerNbr"), QStringLiteral("label"),
                                     twipsRect(6000, 420, 2100, 240));
    for (std::size_t i = 0; i < mLblRcptDet.size(); ++i)
        if (mLblRcptDet[i])
            mLblRcptDet[i]->setIndex(static_cast<int>(i));
    for (std::size_t i = 0; i < mLblDataRcptDet.size(); ++i)
        if (mLblDataRcptDet[i])
            mLblDataRcptDet[i]->setIndex(static_cast<int>(i));

    const char* gridCaptions[] = {"Receivables that Payment was Applied", "Checks/Cash Recorded"};
    const int gridTops[] = {960, 3180};
    for (int i = 0; i < 2; ++i) {
        auto* data = new Adodc(this);
        data->setObjectName(QStringLiteral("Adodc1_%1").arg(i));
        data->setIndex(i);
        data->setVisible(false);
        Adodc1[i] = data;

        auto* grid = new SSOleDBGrid(frame);
        grid->setObjectName(QStringLiteral("mSdgRcptDet_%1").arg(i));
        grid->setIndex(i);
        grid->setCaption(QString::fromLatin1(gridCaptions[i]));
        grid->setGeometry(twipsRect(120, gridTops[i], 7935, 2160));
        if (i == 0)
            addColumns(*grid, kReceivableColumns);
        else
            addColumns(*grid, kFundColumns);
        grid->StyleSets(QString::fromLatin1(UnboldStyleSet));
        mSdgRcptDet[i] = grid;
        connect(grid, &SSOleDBGrid::RowLoaded, this,
                [this, i](const QVariant& bookmark) { mSdgRcptDet_RowLoaded(i, bookmark); });
        grid->setDataSource(data);
    }

    mCmdRcptDet = new SSCommand(QStringLiteral("OK"), this);
    mCmdRcptDet->setObjectName(QStringLiteral("mCmdRcptDet"));
    mCmdRcptDet->setGeometry(twipsRect(7100, 5550, 1100, 375));
    mCmdRcptDet->setDefault(true);
    connect(mCmdRcptDet, &SSCommand::Click, this, [this] { mCmdRcptDet_Click(); });

    for (Label* value : mLblDataRcptDet)
        if (value)
            connect(value, &Label::Change, this, [this, value] { mLblDataRcptDet_Change(value->Index()); });
}

void TAVRO_RcptDet::Form_Load()
{
    runProcedure(QStringLiteral("TAVRO_RcptDet.Form_Load"), [&] {
        FieldUtility::instance().SetupForm(this);
        ScreenPointer::instance().setMousePointer(vb::vbDefault);
        lblIssuingOfficerNbr->setCaption(QString());
        lblEnteringOfficerNbr->setCaption(QString());
        FieldUtility::instance().ClearHighlight(mSdgRcptDet[0]);
        FieldUtility::instance().ClearHighlight(mSdgRcptDet[1]);
        SetGridBolding(*mSdgRcptDet[0]);
        SetGridBolding(*mSdgRcptDet[1]);
    });
}

void TAVRO_RcptDet::FillOfficerInfo(QString& StrIssueOfficerNbr, QString& StrEnteringOfficerNbr)
{
    runProcedure(QStringLiteral("TAVRO_RcptDet.FillOfficerInfo"), [&] {
        lblIssuingOfficerNbr->setCaption(QString());
        lblIssuingOfficerNbr->setCaption(StrIssueOfficerNbr);
        lblEnteringOfficerNbr->setCaption(QString());
        lblEnteringOfficerNbr->setCaption(StrEnteringOfficerNbr);
    });
}

void TAVRO_RcptDet::bind(int index, DataSetPtr& set, const QString& name, const QString& sort)
{
    if (!set) {
        set = std::make_shared<DataSet>();
        set->Define(name);
        set->Prepare();
        defineDetailFields(*set);
    }
    const RecordsetPtr recordset = set->Recordset();
    if (recordset->RecordCount() >= 1)
        recordset->MoveFirst();
    if (!sort.isEmpty())
        recordset->setSort(sort);
    Adodc1[static_cast<std::size_t>(index)]->setRecordset(recordset);
}

void TAVRO_RcptDet::LoadReceiptAccounts(DataSetPtr& lRsAccounts)
{
    runProcedure(QStringLiteral("TAVRO_RcptDet.LoadReceiptAccounts"), [&] {
        bind(0, lRsAccounts, QStringLiteral("ACNTSRCVBL"), QStringLiteral("ACCT_RCVBL_NBR"));
    });
}

void TAVRO_RcptDet::LoadReceiptFunds(DataSetPtr& lRsFunds)
{
    // Funds keep the order the reply delivered them in.
    runProcedure(QStringLiteral("TAVRO_RcptDet.LoadReceiptFunds"),
                 [&] { bind(1, lRsFunds, QStringLiteral("FUND"), QString()); });
}

void TAVRO_RcptDet::mCmdRcptDet_Click()
{
    runProcedure(QStringLiteral("TAVRO_RcptDet.mCmdRcptDet_Click"), [&] { Unload(); });
}

void TAVRO_RcptDet::mLblDataRcptDet_Change(int Index)
{
    runProcedure(QStringLiteral("TAVRO_RcptDet.mLblDataRcptDet.Change"), [&] {
        if (Index != 5)
            return;
        Label* total = mLblDataRcptDet[5];
        // A formatted amount formats to the same text, and the label raises no change for an
        // unchanged caption: the rewrite below ends after one more round. Text that is not an
        // amount is left as it is.
        if (const std::optional<Currency> amount = parseCurrency(total->Caption()))
            total->setCaption(formatCurrency(*amount));
    });
}

void TAVRO_RcptDet::mSdgRcptDet_RowLoaded(int Index, const QVariant& Bookmark)
{
    Q_UNUSED(Bookmark); // the grid makes the loaded row current before it asks
    runProcedure(QStringLiteral("TAVRO_RcptDet.mSdgRcptDet_RowLoaded"), [&] {
        if (Index == 0)
            formatReceivableRow(*mSdgRcptDet[0]);
        else if (Index == 1)
            formatFundRow(*mSdgRcptDet[1]);
    });
}

void TAVRO_RcptDet::formatReceivableRow(SSOleDBGrid& grid)
{
    SSColumn& type = grid.Columns(QStringLiteral("ACCT_RCVBL_TYP_CD"));
    type.setText(FieldUtility::instance().GetCodeDescription(type.Text(), QStringLiteral("REFDOCTYP")));
    grid.Columns(QStringLiteral("AR Number"))
        .setText(
            vb::Format(grid.Columns(QStringLiteral("ACCT_RCVBL_NBR")).Text(), QStringLiteral("0000000")) +
            u'-' + grid.Columns(QStringLiteral("ACCT_RCVBL_CK_NBR")).Text());
}

void TAVRO_RcptDet::formatFundRow(SSOleDBGrid& grid)
{
    SSColumn& type = grid.Columns(QStringLiteral("FUND_TYP_CD"));
    const QString code = type.Text();
    QString expiry;
    if (code == u"R") {
        // Joined as delivered: no padding, no check that it is a date.
        const QString month = grid.Columns(QStringLiteral("EXPRTN_MO_DT")).Text();
        const QString day = grid.Columns(QStringLiteral("EXPRTN_DY_DT")).Text();
        const QString year = grid.Columns(QStringLiteral("EXPRTN_YR_DT")).Text();
        expiry = day.isEmpty() ? month + u'/' + year : month + u'/' + day + u'/' + year;
    } else {
        expiry = QStringLiteral("N/A");
    }
    grid.Columns(QStringLiteral("FUND_EXPR")).setText(expiry);
    if (code == u"C")
        grid.Columns(QStringLiteral("FUND_RFRNC_NBR")).setText(QStringLiteral("N/A"));
    // Last, so that the tests above saw the raw code.
    type.setText(FieldUtility::instance().GetCodeDescription(code, QStringLiteral("FUNDTYP")));
}

void TAVRO_RcptDet::SetGridBolding(SSOleDBGrid& Grid)
{
    runProcedure(QStringLiteral("TAVRO_RcptDet.SetGridBolding"), [&] { applyGridBolding(Grid); });
}

} // namespace tavro
