#include "runtime/ScreenPointer.h"

#include "runtime/ClassicError.h"
#include "runtime/Seam.h"

#include <memory>
#include <optional>
#include <QCursor>
#include <QGuiApplication>

namespace tavro {

namespace {

std::optional<Qt::CursorShape> shapeOf(int pointer)
{
    switch (pointer) {
    case vb::vbArrow:
        return Qt::ArrowCursor;
    case vb::vbCrosshair:
        return Qt::CrossCursor;
    case vb::vbIbeam:
        return Qt::IBeamCursor;
    case vb::vbSizeAll:
        return Qt::SizeAllCursor;
    case vb::vbSizeNESW:
        return Qt::SizeBDiagCursor;
    case vb::vbSizeNS:
        return Qt::SizeVerCursor;
    case vb::vbSizeNWSE:
        return Qt::SizeFDiagCursor;
    case vb::vbSizeWE:
        return Qt::SizeHorCursor;
    case vb::vbUpArrow:
        return Qt::UpArrowCursor;
    case vb::vbHourglass:
        return Qt::WaitCursor;
    case vb::vbNoDrop:
        return Qt::ForbiddenCursor;
    case vb::vbArrowHourglass:
        return Qt::BusyCursor;
    case vb::vbArrowQuestion:
        return Qt::WhatsThisCursor;
    default:
        return std::nullopt;
    }
}

bool haveGuiApplication()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

class OverrideCursorPointer final : public ScreenPointer
{
public:
    void setMousePointer(int pointer) override
    {
        if (pointer == m_pointer)
            return;
        if (pointer == vb::vbDefault) {
            if (m_overriding && haveGuiApplication())
                QGuiApplication::restoreOverrideCursor();
            m_overriding = false;
        } else {
            const auto shape = shapeOf(pointer);
            if (!shape)
                raiseError(err::InvalidPropertyValue);
            if (haveGuiApplication()) {
                if (m_overriding)
                    QGuiApplication::changeOverrideCursor(QCursor(*shape));
                else
                    QGuiApplication::setOverrideCursor(QCursor(*shape));
                m_overriding = true;
            }
        }
        m_pointer = pointer;
    }
    int mousePointer() const override { return m_pointer; }

private:
    int m_pointer = vb::vbDefault;
    bool m_overriding = false;
};

SeamSlot<ScreenPointer>& slot()
{
    static SeamSlot<ScreenPointer> s(
        []() -> std::unique_ptr<ScreenPointer> { return std::make_unique<OverrideCursorPointer>(); });
    return s;
}

} // namespace

ScreenPointer& ScreenPointer::instance()
{
    return slot().get();
}
void ScreenPointer::setInstance(ScreenPointer* replacement)
{
    slot().set(replacement);
}

} // namespace tavro
