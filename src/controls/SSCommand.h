#pragma once

#include "controls/ControlState.h"

#include <QPushButton>

namespace tavro {

/// \brief A command button. Click() is raised when the officer presses it (mouse, Space,
/// or Enter while it has the focus).
class SSCommand : public ClassicControl<QPushButton>
{
    Q_OBJECT
public:
    explicit SSCommand(QWidget* parent = nullptr);
    explicit SSCommand(const QString& caption, QWidget* parent = nullptr);

    QString Caption() const { return text(); }
    void setCaption(const QString& caption) { setText(caption); }

signals:
    void Click();
};

} // namespace tavro
