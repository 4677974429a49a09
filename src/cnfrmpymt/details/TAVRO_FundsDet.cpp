#include "cnfrmpymt/details/TAVRO_FundsDet.h"

#include "cnfrmpymt/details/DetailRows.h"
#include "cnfrmpymt/document/GridBolding.h"
#include "common/FieldUtility.h"
#include "common/ProcedureTrap.h"
#include "controls/Label.h"
#include "controls/SSCommand.h"
#include "controls/SSFrame.h"
#include "controls/SSOleDBGrid.h"
#include "controls/Twips.h"
#include "runtime/Classic.h"
#include "runtime/Currency.h"
#include "runtime/CurrencyFormat.h"
#include "runtime/ScreenPointer.h"

#include <QLocale>
#include <QPointer>
#include <QScopeGuard>

namespace tavro {

namespace {

QPointer<TAVRO_FundsDet> s_form;

const QString kAmountColumn = QStringLiteral("Payment Amount");
const QString kTickColumn = QStringLiteral("Check Column");

struct ColumnDef
{
    const char* header;
    const char* name;
    ColumnAlignment alignment;
    bool locked;
    int width;
};

// Every grid ends with the tick column, so that text rows leave it unticked.
constexpr ColumnDef kChecksColumns[] = {
    {"Receipt #", "Receipt Number", ColumnAlignment::Center, true, 1720},
    {"Check #", "Check Number", ColumnAlignment::Center, true, 1588},
    {"Payment Amount", "Payment Amount", ColumnAlignment::Right, true, 2381},
    {"", "Check Column", ColumnAlignment::Left, false, 529},
};
constexpr ColumnDef kCashColumns[] = {
    {"Receipt #", "Receipt Number", ColumnAlignment::Center, true, 1667},
    {"Payment Amount", "Payment Amount", ColumnAlignment::Right, true, 2408},
    {"", "Check Column", ColumnAlignment::Left, false, 556},
};
constexpr ColumnDef kCreditColumns[] = {
    {"Receipt #", "Receipt Number", ColumnAlignment::Center, false, 1508},
    {"Auth. #", "FUND_TYP", ColumnAlignment::Left, false, 1455},
    {"Payment Amount", "Payment Amount", ColumnAlignment::Right, false, 2408},
    {"Expr Date", "FUND_EXPR", ColumnAlignment::Center, false, 1561},
    {"", "Check Column", ColumnAlignment::Left, false, 873},
};

template <std::size_t N> void addColumns(SSOleDBGrid& grid, const ColumnDef (&columns)[N])
{
    for (const ColumnDef& def : columns) {
        const QString name = QString::fromLatin1(def.name);
        SSColumn& column = grid.addColumn(name, QString::fromLatin1(def.header));
        column.setAlignment(def.alignment);
        column.setLocked(def.locked);
        column.setWidth(def.width);
        if (name == kTickColumn)
            column.setStyle(ColumnStyle::CheckBox);
    }
}

} // namespace

TAVRO_FundsDet& TAVRO_FundsDet::Load()
{
    if (!s_form) {
        s_form = new TAVRO_FundsDet();
        s_form->Form_Load();
    }
    return *s_form;
}

TAVRO_FundsDet* TAVRO_FundsDet::Loaded()
{
    return s_form.data();
}

void TAVRO_FundsDet::Unload()
{
    if (s_form == this)
        s_form = nullptr;
    QDialog::done(QDialog::Accepted);
    deleteLater();
}

void TAVRO_FundsDet::reject()
{
    Unload();
}

void TAVRO_FundsDet::accept()
{
    Unload();
}

TAVRO_FundsDet::TAVRO_FundsDet() : QDialog(nullptr)
{
    setObjectName(QStringLiteral("TAVRO_FundsDet"));
    setWindowTitle(QStringLiteral("Funds Detail"));
    setModal(true);
    // The form is laid out in twips for the classic 8-point dialog font; the captions fit it.
    QFont formFont = font();
    formFont.setPointSize(8);
    setFont(formFont);
    createControls();
}

TAVRO_FundsDet::~TAVRO_FundsDet()
{
    if (s_form == this)
        s_form = nullptr;
}

void TAVRO_FundsDet::createControls()
{
    setFixedSize(twips(DesignWidthTwips), twips(DesignHeightTwips));

    for (int i = 0; i < 2; ++i) {
        auto* header = new Label(this);
        header->setObjectName(QStringLiteral("mLblDataFundsDet_%1").arg(i));
        header->setIndex(i);
        mLblDataFundsDet[static_cast<std::size_t>(i)] = header;
    }
    mLblDataFundsDet[0]->setGeometry(twipsRect(120, 180, 3075, 255));
    mLblDataFundsDet[1]->setGeometry(twipsRect(3465, 180, 3075, 255));

    mFraFundsDet = new SSFrame(this);
    mFraFundsDet->setObjectName(QStringLiteral("mFraFundsDet"));
    mFraFundsDet->setGeometry(twipsRect(120, 540, 12375, 5400));

    const char* captions[] = {"Checks", "Cash", "Credit Card"};
    const int lefts[] = {105, 4380, 7560};
    const int widths[] = {4170, 3075, 4695};
    const int captionWidths[] = {1920, 1680, 1920};
    const char* figureCaptions[] = {"Total:", "Reconciled Total:", "Difference:"};
    for (int g = 0; g < 3; ++g) {
        auto* grid = new SSOleDBGrid(mFraFundsDet);
        grid->setObjectName(QStringLiteral("mSdgFundsDet_%1").arg(g));
        grid->setIndex(g);
        grid->setCaption(QString::fromLatin1(captions[g]));
        grid->setGeometry(twipsRect(lefts[g], 180, widths[g], 3705));
        if (g == 0)
            addColumns(*grid, kChecksColumns);
        else if (g == 1)
            addColumns(*grid, kCashColumns);
        else
            addColumns(*grid, kCreditColumns);
        grid->StyleSets(QString::fromLatin1(UnboldStyleSet));
        mSdgFundsDet[static_cast<std::size_t>(g)] = grid;
        connect(grid, &SSOleDBGrid::Change, this, [this, g] { mSdgFundsDet_Change(g); });

        // Under the grid: "Total:", "Reconciled Total:", "Difference:", each with its figure.
        for (int f = 0; f < 3; ++f) {
            const int captionIndex = 2 + 6 * g + 2 * f;
            const int top = 4020 + 450 * f;
            auto* caption = new Label(QString::fromLatin1(figureCaptions[f]), mFraFundsDet);
            caption->setObjectName(QStringLiteral("mLblFundsDet_%1").arg(captionIndex));
            caption->setIndex(captionIndex);
            caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            caption->setGeometry(twipsRect(lefts[g], top, captionWidths[g], 285));
            mLblFundsDet[static_cast<std::size_t>(captionIndex)] = caption;

            auto* value = new Label(mFraFundsDet);
            value->setObjectName(QStringLiteral("mLblDataFundsDet_%1").arg(captionIndex + 1));
            value->setIndex(captionIndex + 1);
            value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            const int valueLeft = lefts[g] + captionWidths[g] + 60;
            value->setGeometry(twipsRect(valueLeft, top, lefts[g] + widths[g] - valueLeft, 285));
            mLblDataFundsDet[static_cast<std::size_t>(captionIndex + 1)] = value;
        }
    }

    mCmdFundsDet = new SSCommand(QStringLiteral("OK"), this);
    mCmdFundsDet->setObjectName(QStringLiteral("mCmdFundsDet"));
    mCmdFundsDet->setGeometry(twipsRect(11400, 6060, 1095, 375));
    mCmdFundsDet->setDefault(true);
    connect(mCmdFundsDet, &SSCommand::Click, this, [this] { mCmdFundsDet_Click(); });
}

void TAVRO_FundsDet::Form_Load()
{
    runProcedure(QStringLiteral("TAVRO_FundsDet.Form_Load"), [&] {
        FieldUtility::instance().SetupForm(this);
        ScreenPointer::instance().setMousePointer(vb::vbDefault);
        for (SSOleDBGrid* grid : mSdgFundsDet)
            FieldUtility::instance().ClearHighlight(grid);
        for (SSOleDBGrid* grid : mSdgFundsDet)
            SetGridBolding(*grid);
    });
}

void TAVRO_FundsDet::mCmdFundsDet_Click()
{
    runProcedure(QStringLiteral("TAVRO_FundsDet.mCmdFundsDet_Click"), [&] { Unload(); });
}

void TAVRO_FundsDet::calculate(const QString& label, int gridIndex, bool tickedOnly, int valueLabel,
                               Redraw redraw)
{
    runProcedure(label, [&] {
        SSOleDBGrid& grid = *mSdgFundsDet[static_cast<std::size_t>(gridIndex)];
        const bool switchRedraw = redraw == Redraw::Always ||
                                  (redraw == Redraw::Checks && mblnChecksRedraw) ||
                                  (redraw == Redraw::Cash && mblnCashRedraw);
        Currency sum;
        if (switchRedraw)
            grid.setRedraw(false);
        // A pass that fails must not leave the grid without repainting.
        const auto redrawAgain = qScopeGuard([&] {
            if (switchRedraw)
                grid.setRedraw(true);
        });

        const int rows = grid.Rows();
        if (rows >= 1) {
            const QLocale locale = QLocale::system();
            if (locale.name() != m_amountsLocale) {
                m_amounts.clear();
                m_amountsLocale = locale.name();
            }
            SSColumn& amount = grid.Columns(kAmountColumn);
            SSColumn& tick = grid.Columns(kTickColumn);
            grid.MoveFirst();
            for (;;) {
                const int index = grid.AddItemRowIndex(grid.Bookmark());
                if (index < 0 || index > rows - 1)
                    break;
                if (!tickedOnly || tick.Value().toBool())
                    sum += cellAmount(amount.Text(), locale);
                if (index == rows - 1)
                    break;
                grid.MoveNext();
            }
        }
        mLblDataFundsDet[static_cast<std::size_t>(valueLabel)]->setCaption(formatCurrency(sum));
    });
}

// An empty cell counts as zero; anything else must read as an amount of the locale.
Currency TAVRO_FundsDet::cellAmount(const QString& text, const QLocale& locale)
{
    const auto known = m_amounts.constFind(text);
    if (known != m_amounts.cend())
        return Currency::fromUnits(*known);
    const Currency amount = vb::Trim(text).isEmpty() ? Currency() : vb::CCur(QVariant(text), locale);
    m_amounts.insert(text, amount.units());
    return amount;
}

void TAVRO_FundsDet::CalculateChecksTotal()
{
    calculate(QStringLiteral("TAVRO_FundsDet.CalculateChecksTotal"), 0, false, 3, Redraw::Checks);
}

void TAVRO_FundsDet::CalculateRecChecksTotal()
{
    calculate(QStringLiteral("TAVRO_FundsDet.CalculateRecChecksTotal"), 0, true, 5, Redraw::Checks);
}

void TAVRO_FundsDet::CalculateCashTotal()
{
    calculate(QStringLiteral("TAVRO_FundsDet.CalculateCashTotal"), 1, false, 9, Redraw::Cash);
}

void TAVRO_FundsDet::CalculateRecCashTotal()
{
    calculate(QStringLiteral("TAVRO_FundsDet.CalculateRecCashTotal"), 1, true, 11, Redraw::Cash);
}

void TAVRO_FundsDet::CalculateCreditTotal()
{
    calculate(QStringLiteral("TAVRO_FundsDet.CalculateCREDITTotal"), 2, false, 15, Redraw::Always);
}

void TAVRO_FundsDet::CalculateRecCreditTotal()
{
    calculate(QStringLiteral("TAVRO_FundsDet.CalculateRecCreditTotal"), 2, true, 17, Redraw::Always);
}

void TAVRO_FundsDet::showDifference(int totalLabel, int reconciledLabel, int differenceLabel)
{
    mLblDataFundsDet[static_cast<std::size_t>(differenceLabel)]->setCaption(
        currencyDifference(mLblDataFundsDet[static_cast<std::size_t>(totalLabel)]->Caption(),
                           mLblDataFundsDet[static_cast<std::size_t>(reconciledLabel)]->Caption()));
}

void TAVRO_FundsDet::mSdgFundsDet_Change(int Index)
{
    runProcedure(QStringLiteral("TAVRO_FundsDet.mSdgFundsDet_Change"), [&] {
        SSOleDBGrid& grid = *mSdgFundsDet.at(static_cast<std::size_t>(Index));
        const QVariant current = grid.Bookmark();
        // The calculators walk every row; the officer's view must neither flicker nor scroll.
        const auto recalculate = [&](bool& redrawFlag, auto total, auto reconciled, int first) {
            const QVariant firstVisible = grid.FirstRow();
            grid.setRedraw(false);
            // Should a step fail, the grid still repaints afterwards.
            auto redrawAgain = qScopeGuard([&] { grid.setRedraw(true); });
            redrawFlag = false;
            (this->*total)();
            (this->*reconciled)();
            showDifference(first, first + 2, first + 4);
            if (!firstVisible.isNull())
                grid.setFirstRow(firstVisible);
            redrawAgain.dismiss();
            grid.setRedraw(true);
            redrawFlag = true;
        };
        switch (Index) {
        case 0:
            recalculate(mblnChecksRedraw, &TAVRO_FundsDet::CalculateChecksTotal,
                        &TAVRO_FundsDet::CalculateRecChecksTotal, 3);
            break;
        case 1:
            recalculate(mblnCashRedraw, &TAVRO_FundsDet::CalculateCashTotal,
                        &TAVRO_FundsDet::CalculateRecCashTotal, 9);
            break;
        case 2:
            CalculateCreditTotal();
            CalculateRecCreditTotal();
            showDifference(15, 17, 19);
            break;
        default:
            break;
        }
        grid.setBookmark(current);
    });
}

void TAVRO_FundsDet::SetGridBolding(SSOleDBGrid& Grid)
{
    runProcedure(QStringLiteral("TAVRO_FundsDet.SetGridBolding"), [&] { applyGridBolding(Grid); });
}

} // namespace tavro
