#include "runtime/Recordset.h"

#include "runtime/ClassicError.h"
#include "runtime/Currency.h"

#include <algorithm>
#include <QDate>

namespace tavro {

FieldType fieldTypeOf(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return FieldType::Long;
    case QMetaType::Double:
    case QMetaType::Float:
        return FieldType::Double;
    case QMetaType::QDate:
    case QMetaType::QDateTime:
        return FieldType::Date;
    case QMetaType::Bool:
        return FieldType::Bool;
    default:
        if (value.metaType() == QMetaType::fromType<Currency>())
            return FieldType::Currency;
        return FieldType::Text;
    }
}

QString Field::Name() const
{
    return m_index < 0 ? m_missingName : m_owner->fieldName(m_index);
}

FieldType Field::Type() const
{
    if (m_index < 0)
        raiseError(err::ItemNotFound);
    return m_owner->fieldType(m_index);
}

QVariant Field::Value() const
{
    return valueRef();
}

const QVariant& Field::valueRef() const
{
    if (m_index < 0)
        raiseError(err::ItemNotFound);
    return m_owner->m_records.at(m_owner->m_order.at(m_owner->requireCurrent())).at(m_index);
}

void Field::setValue(const QVariant& value)
{
    const int record = m_owner->requireCurrent();
    if (m_index < 0)
        m_index = m_owner->appendField(m_missingName, fieldTypeOf(value));
    m_owner->m_records[m_owner->m_order.at(record)][m_index] = value;
}

Field FieldsCollection::Item(const QString& name) const
{
    const int index = m_owner->fieldIndex(name);
    if (index < 0)
        return Field(m_owner, name);
    return Field(m_owner, index);
}

Field FieldsCollection::Item(int index) const
{
    if (index < 0 || index >= m_owner->fieldCount())
        raiseError(err::ItemNotFound);
    return Field(m_owner, index);
}

int FieldsCollection::Count() const
{
    return m_owner->fieldCount();
}

int Recordset::appendField(const QString& name, FieldType type)
{
    const int existing = fieldIndex(name);
    if (existing >= 0)
        return existing;
    m_fields.append({name, type});
    for (auto& record : m_records)
        record.append(QVariant());
    return fieldCount() - 1;
}

int Recordset::fieldIndex(const QString& name) const
{
    for (int i = 0; i < fieldCount(); ++i)
        if (m_fields.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void Recordset::MoveFirst()
{
    m_position = 0;
}

void Recordset::MoveNext()
{
    if (Eof())
        raiseError(err::NoCurrentRecord);
    ++m_position;
    prefetchAhead();
}

void Recordset::prefetchAhead() const
{
    // Records are mostly read in order, thousands at a time (a list being filled), and a large
    // set's values and texts have long left the cache: the values of the record a few places
    // on, and the texts of a nearer one, are fetched now, so that neither waits when its turn
    // comes.
    constexpr int kValuesAhead = 8, kTextsAhead = 4;
    if (m_position + kValuesAhead < RecordCount())
        __builtin_prefetch(m_records[m_order[m_position + kValuesAhead]].constData());
    if (m_position + kTextsAhead < RecordCount()) {
        // Types compared by their interfaces: QMetaType's equality goes on to compare ids.
        const QtPrivate::QMetaTypeInterface* const text = QMetaType::fromType<QString>().iface();
        for (const QVariant& value : m_records[m_order[m_position + kTextsAhead]]) {
            if (value.metaType().iface() == text)
                __builtin_prefetch(static_cast<const QString*>(value.constData())->constData());
        }
    }
}

void Recordset::MoveLast()
{
    m_position = std::max(0, RecordCount() - 1);
}

void Recordset::setAbsolutePosition(int position)
{
    if (position < 0 || position > RecordCount())
        raiseError(err::InvalidProcedureCall);
    m_position = position;
}

void Recordset::AddNew()
{
    m_records.append(QList<QVariant>(fieldCount()));
    m_order.append(static_cast<int>(m_records.size()) - 1);
    m_position = RecordCount() - 1;
}

const QList<QVariant>& Recordset::currentValues() const
{
    return m_records.at(m_order.at(requireCurrent()));
}

int Recordset::requireCurrent() const
{
    if (m_position < 0 || m_position >= RecordCount())
        raiseError(err::NoCurrentRecord);
    return m_position;
}

namespace {
int compareValues(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull())
        return int(!a.isNull()) - int(!b.isNull());
    if (a.metaType() == QMetaType::fromType<Currency>() && b.metaType() == QMetaType::fromType<Currency>()) {
        const auto x = a.value<Currency>(), y = b.value<Currency>();
        return x < y ? -1 : (y < x ? 1 : 0);
    }
    const auto order = QVariant::compare(a, b);
    if (order == QPartialOrdering::Less)
        return -1;
    if (order == QPartialOrdering::Greater)
        return 1;
    if (order == QPartialOrdering::Equivalent)
        return 0;
    return QString::compare(a.toString(), b.toString());
}
} // namespace

void Recordset::setSort(const QString& sort)
{
    struct Key
    {
        int field;
        bool descending;
    };
    QList<Key> keys;
    for (const QString& part : sort.split(u',', Qt::SkipEmptyParts)) {
        const QStringList words = part.simplified().split(u' ');
        const int field = fieldIndex(words.value(0).remove(u'[').remove(u']'));
        if (field < 0)
            raiseError(err::ItemNotFound);
        const bool descending = words.size() > 1 && words.at(1).compare(u"DESC", Qt::CaseInsensitive) == 0;
        keys.append({field, descending});
    }
    m_sort = sort;
    m_order.resize(m_records.size());
    for (int i = 0; i < m_order.size(); ++i)
        m_order[i] = i;
    std::stable_sort(m_order.begin(), m_order.end(), [&](int x, int y) {
        for (const Key& key : keys) {
            const int c = compareValues(m_records.at(x).at(key.field), m_records.at(y).at(key.field));
            if (c != 0)
                return key.descending ? c > 0 : c < 0;
        }
        return false;
    });
    m_position = 0;
}

QVariant Recordset::valueAt(int record, int field) const
{
    return m_records.at(m_order.at(record)).at(field);
}

void Recordset::setValueAt(int record, int field, const QVariant& value)
{
    m_records[m_order.at(record)][field] = value;
}

void Recordset::appendRecord(QList<QVariant> values)
{
    values.resize(fieldCount());
    m_records.append(std::move(values));
    m_order.append(static_cast<int>(m_records.size()) - 1);
}

} // namespace tavro
