#pragma once

#include "common/DataSet.h"
#include "common/HostedDocument.h"
#include "common/VeskRequest.h"
#include "runtime/TextBuffer.h"

#include <array>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QWidget>

namespace tavro {

class CheckBox;
class CodesCombo;
class DTPicker;
class Label;
class SSCommand;
class SSFrame;
class SSOleDBGrid;
class SSOption;
class SSResizer;
class TextBox;
class VeskMessage;
struct ResizeRequest;

/// Module-wide Strings shared by every Confirm Payment document: the Tag of the host window
/// (which window's toolbar a status call means) and its Caption (the title of message boxes).
extern QString gstrHostTag;
extern QString gstrMessageTitle;

/// \brief The "Confirm Payment" document: search a daily receipt batch, look at its details,
/// confirm it with a number and date or unconfirm it with a reason.
///
/// One class; its procedures are defined in the folder of their subsystem:
/// document/ (start-up, selection controls, state operations, save prompts),
/// messaging/ (commands, requests, reply dispatch, receipts list),
/// confirmation/ (number field, confirmation number, save), details/ (detail loading).
/// Every procedure traps its own errors; nothing escapes to the host.
class TAVRO_CnfrmPymt : public QWidget, public HostedDocument
{
    Q_OBJECT

public:
    explicit TAVRO_CnfrmPymt(QWidget* parent = nullptr);
    ~TAVRO_CnfrmPymt() override;

    /// The document's Name property: the requester of its requests and the addressee of its events.
    QString Name() const { return QStringLiteral("TAVRO_CnfrmPymt"); }

    // Public document operations called by the host.
    QWidget* documentWidget() override { return this; }
    bool DataChanged() override;
    void ClearData() override;
    void FileNew() override;
    void BeforeUnload() override;
    void PersistData() override {}
    void RestoreData() override {}
    bool NeedSave() override;
    bool CloseDocument() override;
    void SaveData() override;
    void LoadReceipts(DataSet& lRsRecordset);
    void CalculateGridTotals();
    void LoadRcptDet(DataSet& lRsRecordset);
    void LoadRcptDetFunds(DataSet& lRsRecordset);
    void LoadFundsDet(DataSet& lRsRecordset);

    // Handlers of the message service's events (public, as the host's interface has them).
    void mVeskMessage_MsgTimeout(QString& DocumentName);
    void mVeskMessage_DataReady(QVariant& DocumentName);

    // Start-up; run by the constructor and by the first showing.
    void UserDocument_Initialize();
    void UserDocument_Show();

    // Event handlers of the controls.
    void SsResizer1_BeforeResize(QWidget* Control, ResizeRequest& Request);
    void mFtcboCnfrmPymt_Change(int Index);
    void mOptCnfrmPymt_Click(int Index, bool Value);
    void chkToUnconfirm_Click();
    void mSdgCnfrmPymt_Click();
    void mCmdCnfrmPymt_Click(int Index);
    void mChkNbr_Click();
    void mTxtCnfrmPymt_KeyDown(int& KeyCode, int Shift);
    void mTxtCnfrmPymt_KeyPress(int& KeyAscii);
    void mTxtCnfrmPymt_KeyUp(int& KeyCode, int Shift);
    void mTxtCnfrmPymt_MouseDown(int Button, int Shift, float X, float Y);
    void mTxtCnfrmPymt_MouseUp(int Button, int Shift, float X, float Y);
    void mTxtCnfrmPymt_Change();
    void mTxtCnfrmPymt_LostFocus();

    // Controls. Arrays are indexed as the screen numbers them; unused indexes stay null.
    std::array<SSFrame*, 3> mFraCnfrmPymt{};
    std::array<CodesCombo*, 1> mFtcboCnfrmPymt{};
    TextBox* mTxtCnfrmPymt = nullptr;
    std::array<SSOption*, 2> mOptCnfrmPymt{};
    CheckBox* mChkNbr = nullptr;
    std::array<Label*, 4> mLblCnfrmPymt{};
    std::array<Label*, 5> mLblDataCnfrmPymt{};
    CheckBox* chkToUnconfirm = nullptr;
    Label* lblComment = nullptr;
    TextBox* txtComment = nullptr;
    Label* lblConfimDate = nullptr;
    DTPicker* dtpConfimDate = nullptr;
    SSOleDBGrid* mSdgCnfrmPymt = nullptr;
    std::array<SSCommand*, 6> mCmdCnfrmPymt{};
    SSResizer* SsResizer1 = nullptr;
    /// The message service while connected; null ("Nothing") before the first showing and after
    /// BeforeUnload.
    VeskMessage* mVeskMessage = nullptr;

    // Members, in declaration order.
    QString mstrRequestKey;
    bool mblnSearchPending = false;
    bool mblnReceiptsConfirmed = false;
    bool mblnSearchByDlyRcpt = false;
    bool mblnRcptDetPending = false;
    bool mblnFundsDetPending = false;
    bool mblnSavePending = false;
    bool mblnCnfrmNbrPending = false;
    bool mblnTimedOut = false;
    QString mstrSearchValue;
    QString mstrSaveError;
    QString mstrTextBefore;
    bool mblnMouseDown = false;
    bool mblnPasteKey = false;
    QString mstrDocNumber;
    bool mblnSaveReplied = false;
    bool mblnSaveFailed = false;

    // Private procedures, public here so that tests can drive them directly.
    void ConfigureToolbar(bool Enabled);
    void SetGridBolding(SSOleDBGrid& Grid);
    void ReadOnly(bool Flag);
    void GetFormNumber();
    void GetFormNumberControls(QString& Number);
    void PopulateGrid();
    QString GetARTypeLiteral(QString& Code);

    /// The design size of the document in twips, from which the resizer scales.
    static constexpr int DesignWidthTwips = 12600;
    static constexpr int DesignHeightTwips = 7560;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Branches of the reply dispatch, each run from mVeskMessage_DataReady.
    void dispatchSearchReply();
    void dispatchReceiptDetailReply();
    void dispatchFundsDetailReply();
    void dispatchSaveReply();
    VeskRequest newRequest(int RequestCode) const;

    void createControls();
    void connectControls();
    void setMessageService(VeskMessage* service);
    bool announcementIsMine() const;
    /// The number part of the entry text: the text before the first "-", or the whole text, trimmed.
    QString entryNumberPart() const;

    QList<QMetaObject::Connection> m_serviceConnections;
    /// The number field's text as the last change handling left it: what a paste through
    /// Ctrl+V or the context menu is undone to.
    QString m_entryTextSeen;
    /// LoadReceipts' row text, one buffer for every row of a list: AddItem copies the cells out.
    TextBuffer m_receiptRow;
};

} // namespace tavro
