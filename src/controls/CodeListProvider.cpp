#include "controls/CodeListProvider.h"

#include "runtime/Seam.h"

namespace tavro {

namespace {
SeamSlot<CodeListProvider>& slot()
{
    static SeamSlot<CodeListProvider> s([]() { return std::make_unique<CodeListProvider>(); });
    return s;
}
} // namespace

CodeListProvider::~CodeListProvider() = default;

QList<std::pair<QString, QString>> CodeListProvider::codes(const QString& codetype)
{
    Q_UNUSED(codetype);
    return {};
}

CodeListProvider& CodeListProvider::instance()
{
    return slot().get();
}

void CodeListProvider::setInstance(CodeListProvider* provider)
{
    slot().set(provider);
}

} // namespace tavro
