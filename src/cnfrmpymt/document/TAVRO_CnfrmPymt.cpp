#include "cnfrmpymt/document/TAVRO_CnfrmPymt.h"

#include "cnfrmpymt/document/GridBolding.h"
#include "common/VeskMessage.h"
#include "controls/CheckBox.h"
#include "controls/CodesCombo.h"
#include "controls/DTPicker.h"
#include "controls/Label.h"
#include "controls/SSCommand.h"
#include "controls/SSFrame.h"
#include "controls/SSOleDBGrid.h"
#include "controls/SSOption.h"
#include "controls/SSResizer.h"
#include "controls/TextBox.h"
#include "controls/Twips.h"

#include <QShowEvent>

namespace tavro {

QString gstrHostTag;
QString gstrMessageTitle;

TAVRO_CnfrmPymt::TAVRO_CnfrmPymt(QWidget* parent) : QWidget(parent)
{
    setObjectName(Name());
    createControls();
    connectControls();
    UserDocument_Initialize();
}

TAVRO_CnfrmPymt::~TAVRO_CnfrmPymt()
{
    setMessageService(nullptr);
}

void TAVRO_CnfrmPymt::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        UserDocument_Show();
}

void TAVRO_CnfrmPymt::setMessageService(VeskMessage* service)
{
    for (const auto& connection : std::as_const(m_serviceConnections))
        disconnect(connection);
    m_serviceConnections.clear();
    mVeskMessage = service;
    if (!service)
        return;
    // Every document of this class has the same name, so each takes only the announcements
    // of its own requests; otherwise a second window would act on the first one's replies.
    m_serviceConnections << connect(service, &VeskMessage::MsgTimeout, this, [this](QString& name) {
        if (announcementIsMine())
            mVeskMessage_MsgTimeout(name);
    });
    m_serviceConnections << connect(service, &VeskMessage::DataReady, this, [this](QVariant& name) {
        if (announcementIsMine())
            mVeskMessage_DataReady(name);
    });
}

bool TAVRO_CnfrmPymt::announcementIsMine() const
{
    const QString key = mVeskMessage ? mVeskMessage->announcedKey() : QString();
    return key.isEmpty() || key == mstrRequestKey;
}

void TAVRO_CnfrmPymt::createControls()
{
    setMinimumSize(twips(DesignWidthTwips), twips(DesignHeightTwips));
    resize(minimumSize());

    // "Select By": what is searched.
    for (int i = 0; i < 3; ++i) {
        mFraCnfrmPymt[i] = new SSFrame(this);
        mFraCnfrmPymt[i]->setIndex(i);
        mFraCnfrmPymt[i]->setObjectName(QStringLiteral("mFraCnfrmPymt_%1").arg(i));
    }
    SSFrame* selectBy = mFraCnfrmPymt[2];
    selectBy->setCaption(QStringLiteral("Select By"));
    selectBy->setGeometry(twipsRect(120, 60, 6000, 2280));

    mFtcboCnfrmPymt[0] = new CodesCombo(selectBy);
    mFtcboCnfrmPymt[0]->setObjectName(QStringLiteral("mFtcboCnfrmPymt_0"));
    mFtcboCnfrmPymt[0]->setIndex(0);
    mFtcboCnfrmPymt[0]->setCodetype(QStringLiteral("CNFRMDOC"));
    mFtcboCnfrmPymt[0]->setGeometry(twipsRect(240, 360, 3000, 330));

    for (int i = 0; i < 4; ++i) {
        mLblCnfrmPymt[i] =
            new Label(i == 3 ? mFraCnfrmPymt[0] : (i == 0 ? selectBy : static_cast<QWidget*>(this)));
        mLblCnfrmPymt[i]->setIndex(i);
        mLblCnfrmPymt[i]->setObjectName(QStringLiteral("mLblCnfrmPymt_%1").arg(i));
    }
    mLblCnfrmPymt[0]->setCaption(QStringLiteral("Account #:"));
    mLblCnfrmPymt[0]->setGeometry(twipsRect(240, 840, 1080, 285));

    mTxtCnfrmPymt = new TextBox(selectBy);
    mTxtCnfrmPymt->setObjectName(QStringLiteral("mTxtCnfrmPymt"));
    mTxtCnfrmPymt->setGeometry(twipsRect(1320, 780, 1920, 330));

    const QStringList optionCaptions{QStringLiteral("Confirmed Receipts"),
                                     QStringLiteral("Unconfirmed Receipts")};
    for (int i = 0; i < 2; ++i) {
        mOptCnfrmPymt[i] = new SSOption(selectBy);
        mOptCnfrmPymt[i]->setIndex(i);
        mOptCnfrmPymt[i]->setObjectName(QStringLiteral("mOptCnfrmPymt_%1").arg(i));
        mOptCnfrmPymt[i]->setText(optionCaptions[i]);
    }
    mOptCnfrmPymt[0]->setGeometry(twipsRect(3480, 360, 2400, 300));
    chkToUnconfirm = new CheckBox(selectBy);
    chkToUnconfirm->setObjectName(QStringLiteral("chkToUnconfirm"));
    chkToUnconfirm->setText(QStringLiteral("(to Unconfirm)"));
    chkToUnconfirm->setGeometry(twipsRect(3720, 690, 2160, 300));
    mOptCnfrmPymt[1]->setGeometry(twipsRect(3480, 1020, 2400, 300));

    for (int i = 0; i < 6; ++i) {
        mCmdCnfrmPymt[i] = new SSCommand(i < 2 ? selectBy : static_cast<QWidget*>(this));
        mCmdCnfrmPymt[i]->setIndex(i);
        mCmdCnfrmPymt[i]->setObjectName(QStringLiteral("mCmdCnfrmPymt_%1").arg(i));
    }
    const QStringList commandCaptions{QStringLiteral("Search"),         QStringLiteral("Clear"),
                                      QStringLiteral("Receipt Detail"), QStringLiteral("Funds Detail"),
                                      QStringLiteral("Persist Data"),   QStringLiteral("Save Data")};
    for (int i = 0; i < 6; ++i)
        mCmdCnfrmPymt[i]->setCaption(commandCaptions[i]);
    mCmdCnfrmPymt[0]->setGeometry(twipsRect(240, 1620, 1215, 390));
    mCmdCnfrmPymt[1]->setGeometry(twipsRect(1575, 1620, 1215, 390));

    // The confirmation group, the date and the unconfirmation reason.
    SSFrame* confirmation = mFraCnfrmPymt[0];
    confirmation->setGeometry(twipsRect(6240, 60, 6240, 2280));
    mLblCnfrmPymt[3]->setCaption(QStringLiteral("Confirmation #"));
    mLblCnfrmPymt[3]->setGeometry(twipsRect(240, 330, 1800, 285));
    mLblDataCnfrmPymt[4] = new Label(confirmation);
    mLblDataCnfrmPymt[4]->setIndex(4);
    mLblDataCnfrmPymt[4]->setObjectName(QStringLiteral("mLblDataCnfrmPymt_4"));
    mLblDataCnfrmPymt[4]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    mLblDataCnfrmPymt[4]->setGeometry(twipsRect(2040, 300, 1260, 330));
    mChkNbr = new CheckBox(confirmation);
    mChkNbr->setObjectName(QStringLiteral("mChkNbr"));
    mChkNbr->setText(QStringLiteral("Get Confirmation Number"));
    mChkNbr->setGeometry(twipsRect(3420, 315, 2700, 300));

    lblConfimDate = new Label(confirmation);
    lblConfimDate->setObjectName(QStringLiteral("lblConfimDate"));
    lblConfimDate->setCaption(QStringLiteral("Confirmation Date"));
    lblConfimDate->setGeometry(twipsRect(240, 780, 1800, 285));
    dtpConfimDate = new DTPicker(confirmation);
    dtpConfimDate->setObjectName(QStringLiteral("dtpConfimDate"));
    dtpConfimDate->setGeometry(twipsRect(2040, 735, 1560, 345));

    lblComment = new Label(confirmation);
    lblComment->setObjectName(QStringLiteral("lblComment"));
    lblComment->setCaption(QStringLiteral("Unconfirmation Reason"));
    lblComment->setGeometry(twipsRect(240, 1170, 2400, 285));
    txtComment = new TextBox(confirmation, true);
    txtComment->setObjectName(QStringLiteral("txtComment"));
    txtComment->setGeometry(twipsRect(240, 1440, 5760, 720));

    // The receipts.
    SSFrame* receipts = mFraCnfrmPymt[1];
    receipts->setGeometry(twipsRect(120, 2400, 12360, 4440));
    mSdgCnfrmPymt = new SSOleDBGrid(receipts);
    mSdgCnfrmPymt->setObjectName(QStringLiteral("mSdgCnfrmPymt"));
    mSdgCnfrmPymt->setCaption(QStringLiteral("Receipts"));
    mSdgCnfrmPymt->setGeometry(twipsRect(120, 180, 12120, 4140));
    struct ColumnDef
    {
        const char* caption;
        const char* key;
        int width;
        ColumnAlignment alignment;
    };
    const ColumnDef columns[] = {
        {"Receipt #", "Receipt Number", 1400, ColumnAlignment::Left},
        {"Receipt Date", "Receipt Date", 1300, ColumnAlignment::Left},
        {"Receipt Amount", "Total Receipt Amount", 1700, ColumnAlignment::Right},
        {"Confirmation #", "Confirmation Number", 1400, ColumnAlignment::Left},
        {"Issuing Registry#:Name", "ISSUINGOFFICERNAME", 2900, ColumnAlignment::Left},
        {"Entering Registry#:Name", "ENTERINGOFFICERNAME", 2900, ColumnAlignment::Left},
    };
    for (const ColumnDef& c : columns) {
        SSColumn& column =
            mSdgCnfrmPymt->addColumn(QString::fromLatin1(c.key), QString::fromLatin1(c.caption));
        column.setWidth(c.width);
        column.setAlignment(c.alignment);
    }
    mSdgCnfrmPymt->StyleSets(QString::fromLatin1(UnboldStyleSet));

    mLblCnfrmPymt[1]->setCaption(QStringLiteral("Total Receipts Amount:"));
    mLblCnfrmPymt[1]->setGeometry(twipsRect(240, 6990, 2460, 300));
    mLblCnfrmPymt[2]->setGeometry(twipsRect(2760, 6990, 2700, 300));
    mCmdCnfrmPymt[2]->setGeometry(twipsRect(8760, 6960, 1755, 390));
    mCmdCnfrmPymt[3]->setGeometry(twipsRect(10680, 6960, 1755, 390));
    mCmdCnfrmPymt[4]->setGeometry(twipsRect(5760, 6960, 1215, 390));
    mCmdCnfrmPymt[5]->setGeometry(twipsRect(7080, 6960, 1215, 390));
    mCmdCnfrmPymt[4]->setVisible(false);
    mCmdCnfrmPymt[5]->setVisible(false);

    SsResizer1 = new SSResizer(this);
    SsResizer1->setObjectName(QStringLiteral("SsResizer1"));
}

void TAVRO_CnfrmPymt::connectControls()
{
    connect(SsResizer1, &SSResizer::BeforeResize, this,
            [this](QWidget* control, ResizeRequest& request) { SsResizer1_BeforeResize(control, request); });
    SsResizer1->captureDesignLayout();

    connect(mFtcboCnfrmPymt[0], &CodesCombo::Change, this,
            [this](int index) { mFtcboCnfrmPymt_Change(index); });
    for (SSOption* option : mOptCnfrmPymt)
        connect(option, &SSOption::Click, this,
                [this, option] { mOptCnfrmPymt_Click(option->Index(), option->Value()); });
    connect(chkToUnconfirm, &CheckBox::Click, this, [this] { chkToUnconfirm_Click(); });
    connect(mSdgCnfrmPymt, &SSOleDBGrid::Click, this, [this] { mSdgCnfrmPymt_Click(); });
    for (SSCommand* command : mCmdCnfrmPymt)
        connect(command, &SSCommand::Click, this, [this, command] { mCmdCnfrmPymt_Click(command->Index()); });
    connect(mChkNbr, &CheckBox::Click, this, [this] { mChkNbr_Click(); });

    connect(mTxtCnfrmPymt, &TextBox::KeyDown, this,
            [this](int& key, int shift) { mTxtCnfrmPymt_KeyDown(key, shift); });
    connect(mTxtCnfrmPymt, &TextBox::KeyPress, this, [this](int& key) { mTxtCnfrmPymt_KeyPress(key); });
    connect(mTxtCnfrmPymt, &TextBox::KeyUp, this,
            [this](int& key, int shift) { mTxtCnfrmPymt_KeyUp(key, shift); });
    connect(mTxtCnfrmPymt, &TextBox::MouseDown, this, [this](int button, int shift, float x, float y) {
        mTxtCnfrmPymt_MouseDown(button, shift, x, y);
    });
    connect(mTxtCnfrmPymt, &TextBox::MouseUp, this,
            [this](int button, int shift, float x, float y) { mTxtCnfrmPymt_MouseUp(button, shift, x, y); });
    connect(mTxtCnfrmPymt, &TextBox::Change, this, [this] { mTxtCnfrmPymt_Change(); });
    connect(mTxtCnfrmPymt, &TextBox::LostFocus, this, [this] { mTxtCnfrmPymt_LostFocus(); });
}

} // namespace tavro
