// The document-number field: key filter, paste check, live validation and zero fill.
#include "cnfrmpymt/document/TAVRO_CnfrmPymt.h"
#include "common/FieldUtility.h"
#include "common/ProcedureTrap.h"
#include "common/StatusService.h"
#include "controls/CodesCombo.h"
#include "controls/SSCommand.h"
#include "controls/SSOption.h"
#include "controls/TextBox.h"
#include "runtime/Beeper.h"
#include "runtime/Classic.h"

namespace tavro {

namespace {
constexpr int kInsertKey = 45;
constexpr int kShiftOnly = 1;
} // namespace

void TAVRO_CnfrmPymt::mTxtCnfrmPymt_KeyDown(int& KeyCode, int Shift)
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.mTxtCnfrmPymt_KeyDown"), [&] {
        if (KeyCode == kInsertKey && Shift == kShiftOnly) {
            mblnPasteKey = true;
            mstrTextBefore = mTxtCnfrmPymt->Text();
        }
    });
}

void TAVRO_CnfrmPymt::mTxtCnfrmPymt_KeyPress(int& KeyAscii)
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.mTxtCnfrmPymt_KeyPress"), [&] {
        const QString code = mFtcboCnfrmPymt[0]->SelectedCode();
        if (!FieldUtility::instance().FilterKey(code, mTxtCnfrmPymt, KeyAscii)) {
            Beeper::instance().Beep();
            KeyAscii = 0;
        }
    });
}

void TAVRO_CnfrmPymt::mTxtCnfrmPymt_KeyUp(int& /*KeyCode*/, int /*Shift*/)
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.mTxtCnfrmPymt_KeyUp"), [&] { mblnPasteKey = false; });
}

void TAVRO_CnfrmPymt::mTxtCnfrmPymt_MouseDown(int /*Button*/, int /*Shift*/, float /*X*/, float /*Y*/)
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.mTxtCnfrmPymt_MouseDown"), [&] {
        mblnMouseDown = true;
        mstrTextBefore = mTxtCnfrmPymt->Text();
    });
}

void TAVRO_CnfrmPymt::mTxtCnfrmPymt_MouseUp(int /*Button*/, int /*Shift*/, float /*X*/, float /*Y*/)
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.mTxtCnfrmPymt_MouseUp"), [&] { mblnMouseDown = false; });
}

void TAVRO_CnfrmPymt::mTxtCnfrmPymt_Change()
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.mTxtCnfrmPymt_Change"), [&] {
        FieldUtility& fields = FieldUtility::instance();
        const QString code = mFtcboCnfrmPymt[0]->SelectedCode();

        // A paste through Ctrl+V or the context menu is checked like one through Shift+Insert.
        if (mTxtCnfrmPymt->isPasting() && !mblnMouseDown && !mblnPasteKey) {
            mstrTextBefore = m_entryTextSeen;
            mblnPasteKey = true;
        }
        if (mblnMouseDown || mblnPasteKey) {
            QString text = mTxtCnfrmPymt->Text();
            QString message;
            if (!fields.ValidateNumber(code, text, message)) {
                Beeper::instance().Beep();
                mTxtCnfrmPymt->setText(mstrTextBefore);
            }
            mblnMouseDown = false;
            mblnPasteKey = false;
        }

        QString trimmed = vb::Trim(mTxtCnfrmPymt->Text());
        if (!trimmed.isEmpty()) {
            QString message;
            if (fields.ValidateNumber(QStringLiteral("D"), trimmed, message)) {
                fields.ClearHighlight(mTxtCnfrmPymt);
                mCmdCnfrmPymt[0]->setEnabled(true);
            } else {
                fields.HighlightControl(mTxtCnfrmPymt);
                mCmdCnfrmPymt[0]->setEnabled(false);
            }
        } else {
            mCmdCnfrmPymt[0]->setEnabled(false);
        }

        bool saveOn = false;
        if (code == QLatin1String("D") && mOptCnfrmPymt[1]->Value() && !mstrSearchValue.isEmpty())
            saveOn = entryNumberPart() == mstrSearchValue;
        StatusService::instance().EnableToolbarButton(7, saveOn, gstrHostTag);
    });
    m_entryTextSeen = mTxtCnfrmPymt->Text();
}

void TAVRO_CnfrmPymt::mTxtCnfrmPymt_LostFocus()
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.mTxtCnfrmPymt_LostFocus"), [&] {
        const QString text = vb::Trim(mTxtCnfrmPymt->Text());
        if (mFtcboCnfrmPymt[0]->SelectedCode() == QLatin1String("A")) {
            mTxtCnfrmPymt->setText(vb::Format(text, QStringLiteral("0000000000")));
            return;
        }
        const int dash = vb::InStr(text, QStringLiteral("-"));
        if (dash == 0)
            mTxtCnfrmPymt->setText(vb::Format(text, QStringLiteral("0000000")));
        else
            mTxtCnfrmPymt->setText(vb::Format(vb::Left(text, dash - 1), QStringLiteral("0000000")) +
                                   vb::Mid(text, dash));
    });
}

} // namespace tavro
