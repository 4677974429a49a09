#pragma once

#include "controls/ControlState.h"

#include <QRadioButton>

namespace tavro {

/// \brief An option button. Option buttons with the same parent exclude each other.
///
/// Assignments by the program raise no event; Click() is raised only when the officer
/// selects the button (mouse click or arrow keys inside the group).
/// \code
/// option->setValue(true);   // clears the other option buttons of the same parent
/// option->setValue(false);  // no option of the group is on afterwards
/// \endcode
class SSOption : public ClassicControl<QRadioButton>
{
    Q_OBJECT
public:
    explicit SSOption(QWidget* parent = nullptr);
    explicit SSOption(const QString& caption, QWidget* parent = nullptr);

    QString Caption() const { return text(); }
    void setCaption(const QString& caption) { setText(caption); }

    bool Value() const { return isChecked(); }
    /// true selects it and clears its siblings; false clears it, which leaves the whole group
    /// without a selection when it was the selected one. Raises no event.
    void setValue(bool value);

signals:
    void Click();
};

} // namespace tavro
