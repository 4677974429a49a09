#pragma once

#include "controls/ControlState.h"

#include <QGroupBox>

namespace tavro {

/// \brief A frame that groups controls, with a caption (empty for a plain frame).
///
/// Controls are placed inside it by absolute geometry (twipsRect()); disabling the frame
/// disables everything inside it while their own Enabled flags stay as they were.
class SSFrame : public ClassicControl<QGroupBox>
{
    Q_OBJECT
public:
    explicit SSFrame(QWidget* parent = nullptr);
    explicit SSFrame(const QString& caption, QWidget* parent = nullptr);

    QString Caption() const { return title(); }
    void setCaption(const QString& caption) { setTitle(caption); }
};

} // namespace tavro
