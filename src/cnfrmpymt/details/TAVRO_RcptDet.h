#pragma once

#include "common/DataSet.h"

#include <array>
#include <QDialog>
#include <QString>
#include <QVariant>

namespace tavro {

class Adodc;
class Label;
class SSCommand;
class SSFrame;
class SSOleDBGrid;

/// \brief The modal "Receipt Details" form: one receipt's header, the receivables its payment
/// was applied to and the funds recorded for it.
///
/// The process has one shared instance. Load() creates and loads it on first use; Unload()
/// (what "OK" does) closes and destroys it, so the next Load() starts from a fresh form.
/// \code
/// TAVRO_RcptDet& form = TAVRO_RcptDet::Load();
/// form.FillOfficerInfo(issuing, entering);
/// form.LoadReceiptAccounts(accounts); // binds; an empty set is made when accounts is null
/// form.LoadReceiptFunds(funds);
/// form.exec();                        // the form may be gone afterwards: do not touch it
/// \endcode
/// Every operation and handler traps its own errors.
class TAVRO_RcptDet : public QDialog
{
    Q_OBJECT

public:
    /// The shared instance, created (running Form_Load) if it is not loaded.
    static TAVRO_RcptDet& Load();
    /// The shared instance when it is loaded, otherwise nullptr; never creates one.
    static TAVRO_RcptDet* Loaded();
    /// Ends a modal showing, if any, and destroys the instance (deferred, so that a handler of
    /// the form itself may call it).
    void Unload();

    // Public operations used by the reply dispatch.
    void FillOfficerInfo(QString& StrIssueOfficerNbr, QString& StrEnteringOfficerNbr);
    void LoadReceiptAccounts(DataSetPtr& lRsAccounts);
    void LoadReceiptFunds(DataSetPtr& lRsFunds);

    // Event handlers.
    void Form_Load();
    void mCmdRcptDet_Click();
    void mLblDataRcptDet_Change(int Index);
    void mSdgRcptDet_RowLoaded(int Index, const QVariant& Bookmark);

    // Controls; arrays are indexed as the form numbers them, unused indexes stay null.
    std::array<Label*, 7> mLblRcptDet{};
    std::array<Label*, 8> mLblDataRcptDet{};
    Label* Label1 = nullptr;
    Label* Label2 = nullptr;
    Label* lblIssuingOfficerNbr = nullptr;
    Label* lblEnteringOfficerNbr = nullptr;
    SSFrame* mFraRcptDet = nullptr;
    std::array<SSOleDBGrid*, 2> mSdgRcptDet{};
    std::array<Adodc*, 2> Adodc1{};
    SSCommand* mCmdRcptDet = nullptr;

    /// The form's client size in twips.
    static constexpr int DesignWidthTwips = 8295;
    static constexpr int DesignHeightTwips = 6060;

public slots:
    /// Escape, the window's close button and an accept unload the form as "OK" does, so that
    /// no showing leaves a filled form behind for the next one.
    void reject() override;
    void accept() override;

private:
    TAVRO_RcptDet();
    ~TAVRO_RcptDet() override;

    void createControls();
    void SetGridBolding(SSOleDBGrid& Grid);
    void formatReceivableRow(SSOleDBGrid& grid);
    void formatFundRow(SSOleDBGrid& grid);
    void bind(int index, DataSetPtr& set, const QString& name, const QString& sort);
};

} // namespace tavro
