#include "controls/CheckBox.h"

#include "runtime/ClassicError.h"

namespace tavro {

CheckBox::CheckBox(QWidget* parent) : CheckBox(QString(), parent) {}

CheckBox::CheckBox(const QString& caption, QWidget* parent) : ClassicControl<QCheckBox>(caption, parent)
{
    connect(this, &QAbstractButton::clicked, this, &CheckBox::Click);
}

int CheckBox::Value() const
{
    switch (checkState()) {
    case Qt::Unchecked:
        return 0;
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    }
    return 0;
}

void CheckBox::setValue(int value)
{
    switch (value) {
    case 0:
        setCheckState(Qt::Unchecked);
        break;
    case 1:
        setCheckState(Qt::Checked);
        break;
    case 2:
        // Grayed is a state the program sets; the officer's clicks still only toggle 0/1.
        setCheckState(Qt::PartiallyChecked);
        break;
    default:
        raiseError(err::InvalidPropertyValue);
    }
}

} // namespace tavro
