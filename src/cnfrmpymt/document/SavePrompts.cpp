// What the host asks before it leaves or closes the document: offer to save unsaved work.
#include "cnfrmpymt/document/TAVRO_CnfrmPymt.h"
#include "common/ProcedureTrap.h"
#include "runtime/Classic.h"
#include "runtime/ClassicError.h"
#include "runtime/EventPump.h"
#include "runtime/MessageBox.h"
#include "runtime/ScreenPointer.h"

namespace tavro {

bool TAVRO_CnfrmPymt::NeedSave()
{
    bool result = false;
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.NeedSave"), [&] {
        if (!DataChanged())
            return;
        const int answer =
            MessageBox::instance().MsgBox(QStringLiteral("Information on the active window has changed. ") +
                                              QStringLiteral(" Would you like to save your changes?"),
                                          vb::vbYesNoCancel + vb::vbQuestion, gstrMessageTitle);
        if (answer == vb::vbYes) {
            mstrSaveError.clear();
            SaveData();
            result = true;
        } else if (answer == vb::vbCancel) {
            result = true;
            ScreenPointer::instance().setMousePointer(vb::vbDefault);
        }
    });
    return result;
}

bool TAVRO_CnfrmPymt::CloseDocument()
{
    bool mayClose = false;
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.CloseDocument"),
                 [&] {
                     // Error 53 is passed over: the procedure goes on with its next statement.
                     const auto step = [](const std::function<void()>& statement) {
                         passOver(err::FileNotFound, statement);
                     };
                     const auto refuse = [] { raiseError(err::QuietAbort); };

                     bool changed = false;
                     step([&] { changed = DataChanged(); });
                     if (changed) {
                         int answer = vb::vbCancel;
                         step([&] {
                             answer = MessageBox::instance().MsgBox(
                                 QStringLiteral(
                                     "Confirm Payment data has changed.  Do you wish to save these changes?"),
                                 vb::vbYesNoCancel + vb::vbQuestion, gstrMessageTitle);
                         });
                         if (answer == vb::vbYes) {
                             mblnSaveReplied = false;
                             mblnSaveFailed = false;
                             mstrSaveError.clear();
                             step([&] { SaveData(); });
                             if (!mstrSaveError.isEmpty())
                                 refuse();
                             // The only wait of the document: until the save's reply has been dispatched.
                             EventPump& pump = EventPump::instance();
                             while (!mblnSaveReplied) {
                                 step([&] { pump.DoEvents(); });
                                 step([&] { pump.Sleep(500); });
                                 step([&] { pump.DoEvents(); });
                             }
                             if (mblnSaveFailed)
                                 refuse();
                         } else if (answer != vb::vbNo) {
                             refuse();
                         }
                     }
                     mayClose = true;
                     ConfigureToolbar(true);
                 },
                 {.quiet = {err::QuietAbort}});
    return mayClose;
}

} // namespace tavro
