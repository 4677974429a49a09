#pragma once

#include <QFont>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>

namespace tavro {

/// What the resizer is about to do with one control; a BeforeResize handler may change it.
struct ResizeRequest
{
    float NewWidth = 0;        ///< pixels, already scaled from the design size
    float NewHeight = 0;       ///< pixels
    bool ResizeControl = true; ///< false: the control keeps its current size (it still moves)
    bool ScaleFont = true;     ///< false: the control keeps its font
};

/// \brief Scales a container's controls with the container.
///
/// captureDesignLayout() records the container's size and every control's geometry and font
/// as designed. When the container is resized, each control's geometry is scaled by
/// (new size / design size), never below 1 (the layout only grows), then BeforeResize is
/// raised for it, and the request is applied: position always, size only when ResizeControl,
/// font only when ScaleFont (by the smaller of the two factors).
///
/// Controls are the container's child widgets, and the children of plain containers among
/// them (frames, plain QWidgets without a layout) recursively; the inner widgets of a control
/// are left to the control.
class SSResizer : public QObject
{
    Q_OBJECT
public:
    explicit SSResizer(QWidget* container, QObject* parent = nullptr);

    QWidget* container() const { return m_container; }

    /// Records the current layout as the design layout (call once the form is built).
    void captureDesignLayout();
    /// Lays the controls out for the container's current size (done on every resize).
    void resizeControls();

    QSize designSize() const { return m_designSize; }

signals:
    void BeforeResize(QWidget* control, tavro::ResizeRequest& request);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Design
    {
        QPointer<QWidget> control;
        QRect geometry;
        QFont font;
    };
    void collect(QWidget* parent);

    QPointer<QWidget> m_container;
    QSize m_designSize;
    QList<Design> m_controls;
};

} // namespace tavro
