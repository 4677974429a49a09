#include "common/DataSet.h"

#include "runtime/ClassicError.h"
#include "runtime/Currency.h"

#include <cmath>
#include <limits>
#include <QDateTime>

namespace tavro {

FieldType fromWireType(protocol::FieldType type)
{
    switch (type) {
    case protocol::FieldType::Text:
        return FieldType::Text;
    case protocol::FieldType::Long:
        return FieldType::Long;
    case protocol::FieldType::Double:
        return FieldType::Double;
    case protocol::FieldType::Currency:
        return FieldType::Currency;
    case protocol::FieldType::Date:
        return FieldType::Date;
    case protocol::FieldType::Bool:
        return FieldType::Bool;
    }
    return FieldType::Text;
}

namespace {

protocol::FieldType toWireType(FieldType type)
{
    switch (type) {
    case FieldType::Text:
        return protocol::FieldType::Text;
    case FieldType::Long:
        return protocol::FieldType::Long;
    case FieldType::Double:
        return protocol::FieldType::Double;
    case FieldType::Currency:
        return protocol::FieldType::Currency;
    case FieldType::Date:
        return protocol::FieldType::Date;
    case FieldType::Bool:
        return protocol::FieldType::Bool;
    }
    return protocol::FieldType::Text;
}

bool isCurrency(const QVariant& value)
{
    return value.metaType() == QMetaType::fromType<Currency>();
}

bool isInteger(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return true;
    default:
        return false;
    }
}

bool isFloating(const QVariant& value)
{
    return value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float;
}

// Classic Boolean-to-number conversion: True is -1.
qint64 booleanNumber(bool value)
{
    return value ? -1 : 0;
}

qint64 roundToLong(double value)
{
    // Half to even, as the classic CLng rounds; the default rounding mode does exactly that.
    const double rounded = std::nearbyint(value);
    if (!std::isfinite(rounded) || rounded < -9.2233720368547758e18 || rounded >= 9.2233720368547758e18)
        raiseError(err::Overflow);
    return static_cast<qint64>(rounded);
}

qint64 toLong(const QVariant& value)
{
    if (value.typeId() == QMetaType::Bool)
        return booleanNumber(value.toBool());
    if (isInteger(value)) {
        if (value.typeId() == QMetaType::ULongLong &&
            value.toULongLong() > static_cast<quint64>(std::numeric_limits<qint64>::max()))
            raiseError(err::Overflow);
        return value.toLongLong();
    }
    if (isCurrency(value))
        return roundToLong(static_cast<double>(value.value<Currency>().units()) / Currency::Scale);
    if (isFloating(value))
        return roundToLong(value.toDouble());
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed();
        bool ok = false;
        const qint64 whole = text.toLongLong(&ok);
        if (ok)
            return whole;
        const double number = text.toDouble(&ok);
        if (ok)
            return roundToLong(number);
    }
    raiseError(err::TypeMismatch);
}

double toDouble(const QVariant& value)
{
    if (value.typeId() == QMetaType::Bool)
        return static_cast<double>(booleanNumber(value.toBool()));
    if (isCurrency(value))
        return value.value<Currency>().toDouble();
    if (isInteger(value) || isFloating(value))
        return value.toDouble();
    if (value.typeId() == QMetaType::QString) {
        bool ok = false;
        const double number = value.toString().trimmed().toDouble(&ok);
        if (ok)
            return number;
    }
    raiseError(err::TypeMismatch);
}

Currency toCurrency(const QVariant& value)
{
    if (isCurrency(value))
        return value.value<Currency>();
    if (value.typeId() == QMetaType::Bool)
        return Currency::fromLong(booleanNumber(value.toBool()));
    if (isInteger(value))
        return Currency::fromLong(toLong(value));
    if (isFloating(value))
        return Currency::fromDouble(value.toDouble());
    if (value.typeId() == QMetaType::QString) {
        if (const auto amount = Currency::fromPlainText(value.toString().trimmed()))
            return *amount;
    }
    raiseError(err::TypeMismatch);
}

QDate toDate(const QVariant& value)
{
    if (value.typeId() == QMetaType::QDate)
        return value.toDate();
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().date();
    if (value.typeId() == QMetaType::QString) {
        const QDate date = QDate::fromString(value.toString().trimmed(), Qt::ISODate);
        if (date.isValid())
            return date;
    }
    raiseError(err::TypeMismatch);
}

bool toBool(const QVariant& value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (isCurrency(value))
        return value.value<Currency>().units() != 0;
    if (isInteger(value) || isFloating(value))
        return value.toDouble() != 0.0;
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed();
        if (text.compare(u"True", Qt::CaseInsensitive) == 0)
            return true;
        if (text.compare(u"False", Qt::CaseInsensitive) == 0)
            return false;
        bool ok = false;
        const double number = text.toDouble(&ok);
        if (ok)
            return number != 0.0;
    }
    raiseError(err::TypeMismatch);
}

QString toText(const QVariant& value)
{
    if (isCurrency(value))
        return value.value<Currency>().toPlainText();
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    if (value.typeId() == QMetaType::QDate)
        return value.toDate().toString(Qt::ISODate);
    if (!value.canConvert<QString>())
        raiseError(err::TypeMismatch);
    return value.toString();
}

} // namespace

QVariant fromWireValue(const protocol::Value& value)
{
    return std::visit(
        [](const auto& v) -> QVariant {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>)
                return QVariant();
            else if constexpr (std::is_same_v<T, protocol::Money>)
                return QVariant::fromValue(Currency::fromUnits(v.units));
            else
                return QVariant::fromValue(v);
        },
        value);
}

protocol::Value toWireValue(const QVariant& value, protocol::FieldType type)
{
    if (value.isNull())
        return std::monostate{};
    switch (type) {
    case protocol::FieldType::Text:
        return toText(value);
    case protocol::FieldType::Long:
        return toLong(value);
    case protocol::FieldType::Double:
        return toDouble(value);
    case protocol::FieldType::Currency:
        return protocol::Money{toCurrency(value).units()};
    case protocol::FieldType::Date:
        return toDate(value);
    case protocol::FieldType::Bool:
        return toBool(value);
    }
    raiseError(err::TypeMismatch);
}

DataSet::DataSet() : m_recordset(std::make_shared<tavro::Recordset>()) {}

DataSet::DataSet(RecordsetPtr recordset, QString name)
    : m_recordset(recordset ? std::move(recordset) : std::make_shared<tavro::Recordset>()),
      m_name(std::move(name))
{
}

void DataSet::Define(const QString& name)
{
    m_name = name;
}

void DataSet::Prepare()
{
    m_recordset->MoveFirst();
}

void DataSet::AddNew()
{
    m_recordset->AddNew();
}

FieldsCollection DataSet::Fields()
{
    return m_recordset->Fields();
}

void DataSet::Update()
{
    m_recordset->Update();
}

int DataSet::RecordCount() const
{
    return m_recordset->RecordCount();
}

void DataSet::MoveFirst()
{
    m_recordset->MoveFirst();
}

bool DataSet::Eof() const
{
    return m_recordset->Eof();
}

void DataSet::MoveNext()
{
    m_recordset->MoveNext();
}

protocol::DataSet DataSet::toWire() const
{
    protocol::DataSet wire;
    const tavro::Recordset& rs = *m_recordset;
    wire.fields.reserve(rs.fieldCount());
    for (int f = 0; f < rs.fieldCount(); ++f)
        wire.fields.append({rs.fieldName(f), toWireType(rs.fieldType(f))});
    wire.records.reserve(rs.RecordCount());
    for (int r = 0; r < rs.RecordCount(); ++r) {
        QList<protocol::Value> record;
        record.reserve(rs.fieldCount());
        for (int f = 0; f < rs.fieldCount(); ++f)
            record.append(toWireValue(rs.valueAt(r, f), wire.fields.at(f).type));
        wire.records.append(std::move(record));
    }
    return wire;
}

std::shared_ptr<DataSet> DataSet::fromWire(const QString& name, const protocol::DataSet& wire)
{
    auto rs = std::make_shared<tavro::Recordset>();
    // Field names are unique without regard to case in a record set; a repeated wire name
    // lands in the field of the first one.
    QList<int> target;
    target.reserve(wire.fields.size());
    for (const protocol::Field& field : wire.fields)
        target.append(rs->appendField(field.name, fromWireType(field.type)));
    for (const QList<protocol::Value>& record : wire.records) {
        QList<QVariant> values(rs->fieldCount());
        const qsizetype count = std::min(record.size(), target.size());
        for (qsizetype f = 0; f < count; ++f)
            values[target.at(f)] = fromWireValue(record.at(f));
        rs->appendRecord(std::move(values));
    }
    rs->MoveFirst();
    return std::make_shared<DataSet>(std::move(rs), name);
}

} // namespace tavro
