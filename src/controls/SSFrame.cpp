#include "controls/SSFrame.h"

namespace tavro {

SSFrame::SSFrame(QWidget* parent) : ClassicControl<QGroupBox>(parent) {}

SSFrame::SSFrame(const QString& caption, QWidget* parent) : ClassicControl<QGroupBox>(caption, parent) {}

} // namespace tavro
