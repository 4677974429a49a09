#include "controls/Label.h"

namespace tavro {

Label::Label(QWidget* parent) : ClassicControl<QLabel>(parent) {}

Label::Label(const QString& caption, QWidget* parent) : ClassicControl<QLabel>(caption, parent) {}

void Label::setCaption(const QString& caption)
{
    if (caption == text())
        return;
    QLabel::setText(caption);
    if (m_autoSize)
        adjustSize();
    emit Change();
}

void Label::setAutoSize(bool autoSize)
{
    m_autoSize = autoSize;
    if (m_autoSize)
        adjustSize();
}

} // namespace tavro
