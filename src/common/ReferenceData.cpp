#include "common/ReferenceData.h"

#include "runtime/Seam.h"

namespace tavro {

namespace {

SeamSlot<ReferenceData>& slot()
{
    // The controls' provider slot must outlive this one: the default ReferenceData
    // uninstalls itself from it when it is destroyed at exit. Touching it first makes
    // it constructed first and so destroyed last.
    static SeamSlot<ReferenceData> s = [] {
        (void)CodeListProvider::instance();
        return SeamSlot<ReferenceData>(
            []() -> std::unique_ptr<ReferenceData> { return std::make_unique<ReferenceData>(); });
    }();
    return s;
}

} // namespace

ReferenceData::~ReferenceData()
{
    if (m_isProvider && &CodeListProvider::instance() == this)
        CodeListProvider::setInstance(nullptr);
}

void ReferenceData::setReference(const protocol::Reference& reference)
{
    m_tables = reference.codeTables;
    m_officers.clear();
    for (auto it = reference.officers.cbegin(); it != reference.officers.cend(); ++it)
        m_officers.insert(it.key(), it.value());
    CodeListProvider::setInstance(this);
    m_isProvider = true;
}

void ReferenceData::clear()
{
    m_tables.clear();
    m_officers.clear();
}

QString ReferenceData::codeDescription(const QString& table, const QString& code) const
{
    return m_tables.value(table).value(code);
}

QString ReferenceData::officerName(qint32 officerId) const
{
    return m_officers.value(officerId);
}

QList<std::pair<QString, QString>> ReferenceData::codes(const QString& codetype)
{
    QList<std::pair<QString, QString>> result;
    const auto table = m_tables.constFind(codetype);
    if (table == m_tables.cend())
        return result;
    result.reserve(table->size());
    for (auto it = table->cbegin(); it != table->cend(); ++it)
        result.append({it.key(), it.value()});
    return result;
}

ReferenceData& ReferenceData::instance()
{
    return slot().get();
}

void ReferenceData::setInstance(ReferenceData* data)
{
    slot().set(data);
}

} // namespace tavro
