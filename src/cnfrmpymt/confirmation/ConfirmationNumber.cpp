// "Get Confirmation Number": a ready number at once, or a request answered through the dispatch.
#include "cnfrmpymt/document/TAVRO_CnfrmPymt.h"
#include "common/FieldUtility.h"
#include "common/FormNumberCollection.h"
#include "common/ProcedureTrap.h"
#include "controls/CheckBox.h"
#include "controls/Label.h"
#include "runtime/Classic.h"

namespace tavro {

void TAVRO_CnfrmPymt::mChkNbr_Click()
{
    runProcedure(QStringLiteral("TAVRO_CnfrmPymt.mChkNbr_Click"), [&] {
        QString number;
        if (mChkNbr->Value() != 1 || vb::Val(mstrDocNumber) != 0)
            return;

        FieldUtility& fields = FieldUtility::instance();
        FormNumberCollection* ready = nullptr;
        mstrRequestKey = fields.RequestFormNumber(QStringLiteral("F"), vb::UCase(vb::Trim(Name())), ready);
        if (ready) {
            for (int i = 0; i < ready->Count(); ++i)
                number = ready->at(i).GetFormNumber();
            GetFormNumberControls(number);
        }
        if (number.isEmpty() && !vb::Trim(mstrRequestKey).isEmpty()) {
            mblnCnfrmNbrPending = true;
            ReadOnly(false);
            mLblDataCnfrmPymt[4]->setCaption(QStringLiteral("0000000-0"));
            fields.HighlightControl(mLblDataCnfrmPymt[4]);
            fields.HighlightControl(mChkNbr);
        }
    });
}

} // namespace tavro
