#include "controls/SSResizer.h"

#include <algorithm>
#include <cmath>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLayout>

namespace tavro {

namespace {

// Containers whose children are controls placed by hand (a frame, a plain panel). Other
// widgets are controls, and their children belong to them.
bool holdsControls(const QWidget* widget)
{
    if (widget->layout())
        return false;
    const QMetaObject* type = widget->metaObject();
    return qobject_cast<const QGroupBox*>(widget) || type == &QWidget::staticMetaObject ||
           type == &QFrame::staticMetaObject;
}

int scaled(int value, double factor)
{
    return static_cast<int>(std::lround(value * factor));
}

} // namespace

SSResizer::SSResizer(QWidget* container, QObject* parent) : QObject(parent), m_container(container)
{
    if (m_container)
        m_container->installEventFilter(this);
}

void SSResizer::captureDesignLayout()
{
    m_controls.clear();
    if (!m_container)
        return;
    m_designSize = m_container->size();
    if (!m_container->layout())
        collect(m_container);
}

void SSResizer::collect(QWidget* parent)
{
    const QList<QWidget*> children = parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        if (child->isWindow())
            continue;
        m_controls.append(Design{child, child->geometry(), child->font()});
        if (holdsControls(child))
            collect(child);
    }
}

void SSResizer::resizeControls()
{
    if (!m_container || m_designSize.isEmpty())
        return;
    const double sx = std::max(1.0, double(m_container->width()) / m_designSize.width());
    const double sy = std::max(1.0, double(m_container->height()) / m_designSize.height());
    const double fontFactor = std::min(sx, sy);

    // Parents come before their children, so a frame has its new size before its controls move.
    for (const Design& design : std::as_const(m_controls)) {
        QWidget* control = design.control;
        if (!control)
            continue;
        const QRect& g = design.geometry;
        ResizeRequest request;
        request.NewWidth = static_cast<float>(g.width() * sx);
        request.NewHeight = static_cast<float>(g.height() * sy);
        emit BeforeResize(control, request);
        if (!design.control)
            continue; // the handler deleted it

        const QPoint position(scaled(g.x(), sx), scaled(g.y(), sy));
        const QSize size = request.ResizeControl ? QSize(static_cast<int>(std::lround(request.NewWidth)),
                                                         static_cast<int>(std::lround(request.NewHeight)))
                                                 : control->size();
        control->setGeometry(QRect(position, size));

        if (request.ScaleFont) {
            // The control's current font (bold, family ...) at the design size times the factor.
            QFont font = control->font();
            if (design.font.pointSizeF() > 0)
                font.setPointSizeF(design.font.pointSizeF() * fontFactor);
            else if (design.font.pixelSize() > 0)
                font.setPixelSize(std::max(1, scaled(design.font.pixelSize(), fontFactor)));
            if (font != control->font())
                control->setFont(font);
        }
    }
}

bool SSResizer::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_container && event->type() == QEvent::Resize)
        resizeControls();
    return QObject::eventFilter(watched, event);
}

} // namespace tavro
