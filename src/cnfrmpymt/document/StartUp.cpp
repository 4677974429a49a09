// Start-up, first showing, resizing and the toolbar of the Confirm Payment document.
#include "cnfrmpymt/document/GridBolding.h"
#include "cnfrmpymt/document/TAVRO_CnfrmPymt.h"
#include "common/FieldUtility.h"
#include "common/ProcedureTrap.h"
#include "common/StatusService.h"
#include "common/VeskMessage.h"
#include "controls/CheckBox.h"
#include "controls/CodesCombo.h"
#include "controls/DTPicker.h"
#include "controls/Label.h"
#include "controls/SSCommand.h"
#include "controls/SSOleDBGrid.h"
#include "controls/SSOption.h"
#include "controls/SSResizer.h"
#include "controls/TextBox.h"
#include "runtime/ClassicError.h"
#include "runtime/ScreenPointer.h"

#include <QDate>
#include <QPushButton>

namespace tavro {

namespace {
void enableToolbarButton(int button, bool enabled)
{
    StatusService::instance().EnableToolbarButton(button, enabled, gstrHostTag);
}

/// The host window holding \a document: the nearest enclosing window that carries a Tag.
QWidget* hostWindowOf(QWidget* document)
{
    for (QWidget* w = document->parentWidget(); w; w = w->parentWidget())
        if (w->property("Tag").isValid())
            return w;
    return nullptr;
}
} // namespace

void TAVRO_CnfrmPymt::UserDocument_Initialize()
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.UserDocument_Initialize"), [&] {
        mblnTimedOut = false;

        enableToolbarButton(12, true);
        enableToolbarButton(14, false);
        enableToolbarButton(8, false);
        enableToolbarButton(7, false);
        enableToolbarButton(9, false);
        enableToolbarButton(6, true);
        StatusService::instance().SetReady(true);

        const QList<QWidget*> tabOrder{mFtcboCnfrmPymt[0], mTxtCnfrmPymt,    mOptCnfrmPymt[0],
                                       chkToUnconfirm,     mOptCnfrmPymt[1], mCmdCnfrmPymt[0],
                                       mCmdCnfrmPymt[1],   txtComment,       dtpConfimDate};
        for (int i = 0; i < tabOrder.size(); ++i) {
            tabOrder[i]->setProperty("TabIndex", i);
            if (i > 0)
                QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);
        }

        const QDate today = QDate::currentDate();
        dtpConfimDate->setCustomFormat(QStringLiteral("MM/dd/yyyy"));
        dtpConfimDate->setMinDate(QDate(1900, 1, 1));
        dtpConfimDate->setMaxDate(today);
        dtpConfimDate->setValue(today);
        dtpConfimDate->setEnabled(false);

        lblConfimDate->setVisible(false);
        dtpConfimDate->setVisible(false);
        dtpConfimDate->setEnabled(false);

        lblComment->setVisible(chkToUnconfirm->Visible());
        txtComment->setVisible(chkToUnconfirm->Visible());
        txtComment->setEnabled(false);
        chkToUnconfirm->setVisible(false);
        chkToUnconfirm->setValue(0);

        mOptCnfrmPymt[0]->setValue(false);
        mOptCnfrmPymt[1]->setValue(true);

        mSdgCnfrmPymt->Columns(QStringLiteral("Confirmation Number")).setVisible(false);
        mFtcboCnfrmPymt[0]->setSelectedCode(QStringLiteral("D"));

        mCmdCnfrmPymt[2]->setEnabled(false);
        mCmdCnfrmPymt[3]->setEnabled(false);
        mCmdCnfrmPymt[5]->setEnabled(false);
        mstrDocNumber.clear();

        mOptCnfrmPymt_Click(1, true);
    });
}

void TAVRO_CnfrmPymt::UserDocument_Show()
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.UserDocument_Show"), [&] {
        QWidget* host = hostWindowOf(this);
        if (!host)
            raiseError(err::ObjectRequired, QStringLiteral("The document is not inside a host window."));
        gstrHostTag = host->property("Tag").toString();
        gstrMessageTitle = host->windowTitle();

        StatusService::instance().ShowStatus(QStringLiteral("Loading information"));
        ScreenPointer::instance().setMousePointer(vb::vbHourglass);
        if (!mVeskMessage)
            setMessageService(VeskMessage::GetInstance());
        enableToolbarButton(7, false);
        StatusService::instance().ShowStatus(QStringLiteral("Ready"));
        FieldUtility::instance().ClearHighlight(mSdgCnfrmPymt);
        SetGridBolding(*mSdgCnfrmPymt);
    });
    ScreenPointer::instance().setMousePointer(vb::vbDefault);
}

void TAVRO_CnfrmPymt::SsResizer1_BeforeResize(QWidget* Control, ResizeRequest& Request)
{
    runProcedure(QStringLiteral("TAVRO_Cnfrmpymt.SsResizer1_BeforeResize"), [&] {
        Request.ScaleFont = false;
        if (qobject_cast<QPushButton*>(Control))
            Request.ResizeControl = false;
        if (qobject_cast<DTPicker*>(Control)) {
            Request.NewHeight = static_cast<float>(Control->height());
            Request.NewWidth = static_cast<float>(Control->width());
            Request.ResizeControl = false;
        }
    });
}

void TAVRO_CnfrmPymt::ConfigureToolbar(bool Enabled)
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.ConfigureToolbar"), [&] {
        for (int button : {7, 8, 12, 9, 14})
            enableToolbarButton(button, Enabled);
    });
}

void TAVRO_CnfrmPymt::SetGridBolding(SSOleDBGrid& Grid)
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.SetGridBolding"), [&] { applyGridBolding(Grid); });
}

} // namespace tavro
