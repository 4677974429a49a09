#pragma once

#include <array>
#include <QDialog>
#include <QHash>
#include <QLocale>
#include <QString>

namespace tavro {

class Currency;
class Label;
class SSCommand;
class SSFrame;
class SSOleDBGrid;

/// \brief The modal "Funds Detail" form: a batch's funds in a Checks, a Cash and a Credit Card
/// grid, each with a tick column and three figures under it (total, reconciled total and their
/// difference) that follow every tick.
///
/// One shared instance, as for TAVRO_RcptDet: Load() creates and loads it on first use,
/// Unload() ("OK") closes and destroys it. Ticks and figures live only on the form.
/// \code
/// TAVRO_FundsDet& form = TAVRO_FundsDet::Load();
/// form.mSdgFundsDet[0]->AddItem("1001\t5512\t$100.00");
/// form.CalculateChecksTotal();
/// form.CalculateRecChecksTotal();
/// form.mLblDataFundsDet[7]->setCaption(
///     currencyDifference(form.mLblDataFundsDet[3]->Caption(), form.mLblDataFundsDet[5]->Caption()));
/// form.exec();
/// \endcode
class TAVRO_FundsDet : public QDialog
{
    Q_OBJECT

public:
    /// The shared instance, created (running Form_Load) if it is not loaded.
    static TAVRO_FundsDet& Load();
    /// The shared instance when it is loaded, otherwise nullptr; never creates one.
    static TAVRO_FundsDet* Loaded();
    /// Ends a modal showing, if any, and destroys the instance (deferred).
    void Unload();

    // The figures of each grid: all rows, or the ticked rows only. A calculator that fails
    // reports and leaves its label as it was.
    void CalculateChecksTotal();
    void CalculateRecChecksTotal();
    void CalculateCashTotal();
    void CalculateRecCashTotal();
    void CalculateCreditTotal();
    void CalculateRecCreditTotal();

    // Event handlers.
    void Form_Load();
    void mCmdFundsDet_Click();
    void mSdgFundsDet_Change(int Index);

    // Controls; arrays are indexed as the form numbers them, unused indexes stay null.
    /// 0 and 1: the header (document type and number); 3, 5, 7 / 9, 11, 13 / 15, 17, 19: the
    /// total, reconciled total and difference of the Checks / Cash / Credit Card grid.
    std::array<Label*, 20> mLblDataFundsDet{};
    /// The captions beside the figures: 2, 4, 6 / 8, 10, 12 / 14, 16, 18.
    std::array<Label*, 19> mLblFundsDet{};
    SSFrame* mFraFundsDet = nullptr;
    /// 0 Checks, 1 Cash, 2 Credit Card.
    std::array<SSOleDBGrid*, 3> mSdgFundsDet{};
    SSCommand* mCmdFundsDet = nullptr;

    /// When true, the Checks (Cash) calculators switch that grid's redrawing off for their
    /// pass. Both start false; the change handling sets them once it has run.
    bool mblnChecksRedraw = false;
    bool mblnCashRedraw = false;

    /// The form's client size in twips.
    static constexpr int DesignWidthTwips = 12615;
    static constexpr int DesignHeightTwips = 6555;

public slots:
    /// Escape, the window's close button and an accept unload the form as "OK" does, so that
    /// no showing leaves a filled form behind for the next one.
    void reject() override;
    void accept() override;

private:
    TAVRO_FundsDet();
    ~TAVRO_FundsDet() override;

    enum class Redraw
    {
        Checks,
        Cash,
        Always
    };
    void createControls();
    void SetGridBolding(SSOleDBGrid& Grid);
    void calculate(const QString& label, int grid, bool tickedOnly, int valueLabel, Redraw redraw);
    void showDifference(int totalLabel, int reconciledLabel, int differenceLabel);
    Currency cellAmount(const QString& text, const QLocale& locale);

    /// Amount texts already read back, for the system locale named m_amountsLocale. Every tick
    /// totals the whole grid again; reading each text once keeps that within a frame.
    QHash<QString, qint64> m_amounts; ///< in ten-thousandths
    QString m_amountsLocale;
};

} // namespace tavro
