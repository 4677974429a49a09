#pragma once

#include "controls/ControlState.h"

#include <QLabel>

namespace tavro {

/// \brief A label whose Caption raises Change() whenever it changes, also when the program
/// sets it.
///
/// Setting the caption it already has raises nothing, so a Change handler that rewrites the
/// caption into a form that is stable (formatting an already formatted amount) ends by itself.
/// With AutoSize on, the label resizes itself to its caption, keeping its top-left corner.
class Label : public ClassicControl<QLabel>
{
    Q_OBJECT
public:
    explicit Label(QWidget* parent = nullptr);
    explicit Label(const QString& caption, QWidget* parent = nullptr);

    QString Caption() const { return text(); }
    void setCaption(const QString& caption);
    /// Same as setCaption(), so that QLabel's setter cannot bypass Change().
    void setText(const QString& caption) { setCaption(caption); }

    bool AutoSize() const { return m_autoSize; }
    void setAutoSize(bool autoSize);

signals:
    void Change();

private:
    bool m_autoSize = false;
};

} // namespace tavro
