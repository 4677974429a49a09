#pragma once

#include <QWidget>

namespace tavro {

/// \brief The control's own Visible flag: false only when the control itself was hidden.
///
/// Unlike QWidget::isVisible() it does not depend on the parents, so a control inside a
/// hidden frame, or on a form not shown yet, still reports true.
inline bool ownVisible(const QWidget* control)
{
    return control && !control->isHidden();
}

/// \brief The control's own Enabled flag: false only when the control itself was disabled.
///
/// A control inside a disabled frame keeps its own flag (QWidget::isEnabled() would say false).
inline bool ownEnabled(const QWidget* control)
{
    return control && !control->testAttribute(Qt::WA_ForceDisabled);
}

/// \brief The properties every form control shares: own Visible/Enabled flags and the
/// control-array index.
///
/// Setters are Qt's own (setVisible(), setEnabled()). A control that is not part of an array
/// keeps index 0.
template <class Widget> class ClassicControl : public Widget
{
public:
    using Widget::Widget;

    bool Visible() const { return ownVisible(this); }
    bool Enabled() const { return ownEnabled(this); }

    int Index() const { return m_index; }
    void setIndex(int index) { m_index = index; }

private:
    int m_index = 0;
};

} // namespace tavro
