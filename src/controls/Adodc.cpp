#include "controls/Adodc.h"

namespace tavro {

Adodc::Adodc(QWidget* parent) : ClassicControl<QWidget>(parent)
{
    setVisible(false);
}

void Adodc::setRecordset(RecordsetPtr recordset)
{
    m_recordset = std::move(recordset);
    emit recordsetChanged();
}

} // namespace tavro
