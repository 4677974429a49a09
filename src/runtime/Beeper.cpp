#include "runtime/Beeper.h"

#include "runtime/Seam.h"

#include <memory>
#include <QApplication>

namespace tavro {

namespace {

class ApplicationBeeper final : public Beeper
{
public:
    void Beep() override
    {
        if (qobject_cast<QApplication*>(QCoreApplication::instance()))
            QApplication::beep();
    }
};

SeamSlot<Beeper>& slot()
{
    static SeamSlot<Beeper> s(
        []() -> std::unique_ptr<Beeper> { return std::make_unique<ApplicationBeeper>(); });
    return s;
}

} // namespace

Beeper& Beeper::instance()
{
    return slot().get();
}
void Beeper::setInstance(Beeper* replacement)
{
    slot().set(replacement);
}

} // namespace tavro
