#include "controls/SSOption.h"

namespace tavro {

SSOption::SSOption(QWidget* parent) : SSOption(QString(), parent) {}

SSOption::SSOption(const QString& caption, QWidget* parent) : ClassicControl<QRadioButton>(caption, parent)
{
    connect(this, &QAbstractButton::clicked, this, &SSOption::Click);
}

void SSOption::setValue(bool value)
{
    if (value) {
        setChecked(true);
        return;
    }
    if (!isChecked())
        return;
    // An auto-exclusive button refuses to be unchecked while it is the group's checked one.
    setAutoExclusive(false);
    setChecked(false);
    setAutoExclusive(true);
}

} // namespace tavro
