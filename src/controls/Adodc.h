#pragma once

#include "controls/ControlState.h"
#include "runtime/Recordset.h"

#include <QWidget>

namespace tavro {

/// \brief The data control: carries a record set for grids bound to it. Never shown.
class Adodc : public ClassicControl<QWidget>
{
    Q_OBJECT
public:
    explicit Adodc(QWidget* parent = nullptr);

    RecordsetPtr Recordset() const { return m_recordset; }
    /// Sets the record set and raises recordsetChanged() (bound grids reload).
    void setRecordset(RecordsetPtr recordset);
    /// Raises recordsetChanged() again, so bound grids reload the same record set.
    void Refresh() { emit recordsetChanged(); }

signals:
    void recordsetChanged();

private:
    RecordsetPtr m_recordset;
};

} // namespace tavro
