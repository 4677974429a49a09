#pragma once

#include "controls/ControlState.h"

#include <QCheckBox>

namespace tavro {

/// \brief A check box holding 0 (clear), 1 (ticked) or 2 (grayed).
///
/// setValue() raises no event; Click() is raised when the officer toggles the box
/// (mouse or Space), after the value has changed.
class CheckBox : public ClassicControl<QCheckBox>
{
    Q_OBJECT
public:
    explicit CheckBox(QWidget* parent = nullptr);
    explicit CheckBox(const QString& caption, QWidget* parent = nullptr);

    QString Caption() const { return text(); }
    void setCaption(const QString& caption) { setText(caption); }

    int Value() const;
    /// 0, 1 or 2; any other value raises ClassicError 380 and leaves the box as it was.
    void setValue(int value);

signals:
    void Click();
};

} // namespace tavro
