#include "protocol/Messages.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <QCborValue>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStringDecoder>

namespace tavro::protocol {

// ---------------------------------------------------------------- money and data sets

QString moneyToText(Money money)
{
    // Work on the magnitude as unsigned so that the int64 minimum has a positive counterpart.
    const bool negative = money.units < 0;
    const quint64 magnitude = negative ? quint64(0) - quint64(money.units) : quint64(money.units);
    QString text = QString::number(magnitude / 10000);
    if (const quint64 fraction = magnitude % 10000) {
        QString decimals = QStringLiteral("%1").arg(fraction, 4, 10, QChar(u'0'));
        while (decimals.endsWith(u'0'))
            decimals.chop(1);
        text += u'.' + decimals;
    }
    return negative ? u'-' + text : text;
}

std::optional<Money> moneyFromText(QStringView text)
{
    qsizetype pos = 0;
    const bool negative = text.startsWith(u'-');
    if (negative)
        ++pos;
    // Accumulate the magnitude in ten-thousandths; the negative range is one unit larger.
    const quint64 limit = negative ? quint64(std::numeric_limits<qint64>::max()) + 1
                                   : quint64(std::numeric_limits<qint64>::max());
    quint64 magnitude = 0;
    auto push = [&](QChar c) {
        const auto digit = quint64(c.unicode() - u'0');
        if (magnitude > (limit - digit) / 10)
            return false;
        magnitude = magnitude * 10 + digit;
        return true;
    };
    auto isDigit = [](QChar c) { return c >= u'0' && c <= u'9'; };

    const qsizetype wholeStart = pos;
    while (pos < text.size() && isDigit(text[pos])) {
        if (!push(text[pos]))
            return std::nullopt;
        ++pos;
    }
    if (pos == wholeStart)
        return std::nullopt;
    int decimals = 0;
    if (pos < text.size() && text[pos] == u'.') {
        ++pos;
        while (pos < text.size() && isDigit(text[pos])) {
            if (++decimals > 4 || !push(text[pos]))
                return std::nullopt;
            ++pos;
        }
        if (decimals == 0)
            return std::nullopt;
    }
    if (pos != text.size())
        return std::nullopt;
    for (; decimals < 4; ++decimals) {
        if (!push(QChar(u'0')))
            return std::nullopt;
    }
    const qint64 units = negative ? qint64(quint64(0) - magnitude) : qint64(magnitude);
    return Money{units};
}

int DataSet::fieldIndex(const QString& name) const
{
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (fields[i].name == name)
            return int(i);
    }
    return -1;
}

Value DataSet::value(qsizetype record, const QString& name) const
{
    const int index = fieldIndex(name);
    if (index < 0 || record < 0 || record >= records.size() || index >= records[record].size())
        return {};
    return records[record][index];
}

namespace {

struct TypeName
{
    FieldType type;
    const char16_t* name;
};

constexpr TypeName TypeNames[] = {
    {FieldType::Text, u"text"},         {FieldType::Long, u"long"}, {FieldType::Double, u"double"},
    {FieldType::Currency, u"currency"}, {FieldType::Date, u"date"}, {FieldType::Bool, u"bool"},
};

} // namespace

QString errorText(QString text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const bool pairStart = c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        if (pairStart)
            ++i;
        else if (c.isSurrogate() || c.unicode() == 0)
            text[i] = QChar::ReplacementCharacter;
    }
    return text;
}

QString fieldTypeName(FieldType type)
{
    for (const auto& entry : TypeNames) {
        if (entry.type == type)
            return QString::fromUtf16(entry.name);
    }
    return {};
}

std::optional<FieldType> fieldTypeFromName(QStringView name)
{
    for (const auto& entry : TypeNames) {
        if (name == QStringView(entry.name))
            return entry.type;
    }
    return std::nullopt;
}

// ---------------------------------------------------------------- encoding

namespace {

QJsonValue encodeValue(const Value& value)
{
    struct Visitor
    {
        QJsonValue operator()(std::monostate) const { return QJsonValue(QJsonValue::Null); }
        QJsonValue operator()(const QString& text) const { return text; }
        QJsonValue operator()(qint64 number) const { return number; }
        QJsonValue operator()(double number) const
        {
            return std::isfinite(number) ? QJsonValue(number) : QJsonValue(QJsonValue::Null);
        }
        QJsonValue operator()(Money money) const { return moneyToText(money); }
        QJsonValue operator()(const QDate& date) const
        {
            return date.isValid() ? QJsonValue(date.toString(Qt::ISODate)) : QJsonValue(QJsonValue::Null);
        }
        QJsonValue operator()(bool flag) const { return flag; }
    };
    return std::visit(Visitor{}, value);
}

QJsonObject encodeDataSets(const QMap<QString, DataSet>& dataSets)
{
    QJsonObject sets;
    for (auto it = dataSets.cbegin(); it != dataSets.cend(); ++it) {
        QJsonArray fields;
        for (const Field& field : it->fields)
            fields.append(QJsonObject{{"name", field.name}, {"type", fieldTypeName(field.type)}});
        QJsonArray records;
        for (const auto& record : it->records) {
            QJsonArray values;
            for (const Value& value : record)
                values.append(encodeValue(value));
            records.append(values);
        }
        sets.insert(it.key(), QJsonObject{{"fields", fields}, {"records", records}});
    }
    return sets;
}

QJsonObject encodeObject(const Message& message)
{
    struct Visitor
    {
        QJsonObject operator()(const Login& m) const
        {
            return {{"type", "login"}, {"user", m.user}, {"password", m.password}};
        }
        QJsonObject operator()(const Resume& m) const { return {{"type", "resume"}, {"token", m.token}}; }
        QJsonObject operator()(const ReferenceRequest&) const { return {{"type", "reference"}}; }
        QJsonObject operator()(const Ping& m) const { return {{"type", "ping"}, {"key", m.key}}; }
        QJsonObject operator()(const Request& m) const
        {
            QJsonArray criteria;
            for (const Criterion& c : m.criteria) {
                criteria.append(QJsonObject{
                    {"systemName", c.systemName}, {"key", c.key}, {"operator", c.op}, {"value", c.value}});
            }
            return {{"type", "request"},
                    {"key", m.key},
                    {"requester", m.requester},
                    {"userId", m.userId},
                    {"version", m.version},
                    {"requestCode", m.requestCode},
                    {"criteria", criteria},
                    {"dataSets", encodeDataSets(m.dataSets)},
                    {"options", QJsonArray::fromStringList(m.options)}};
        }
        QJsonObject operator()(const Session& m) const
        {
            const QJsonObject profile{{"UserId", m.profile.userId},
                                      {"TrpId", m.profile.trpId},
                                      {"TrpDstrctId", m.profile.trpDstrctId},
                                      {"OfficerId", m.profile.officerId},
                                      {"OfficerName", m.profile.officerName}};
            return {{"type", "session"}, {"token", m.token}, {"profile", profile}};
        }
        QJsonObject operator()(const Reference& m) const
        {
            QJsonObject tables;
            for (auto t = m.codeTables.cbegin(); t != m.codeTables.cend(); ++t) {
                QJsonObject codes;
                for (auto c = t->cbegin(); c != t->cend(); ++c)
                    codes.insert(c.key(), c.value());
                tables.insert(t.key(), codes);
            }
            QJsonObject officers;
            for (auto o = m.officers.cbegin(); o != m.officers.cend(); ++o)
                officers.insert(QString::number(o.key()), o.value());
            return {{"type", "reference"}, {"codeTables", tables}, {"officers", officers}};
        }
        QJsonObject operator()(const Pong& m) const { return {{"type", "pong"}, {"key", m.key}}; }
        QJsonObject operator()(const Reply& m) const
        {
            QJsonArray errors;
            for (const ReplyError& e : m.errors)
                errors.append(QJsonObject{{"code", e.code}, {"text", e.text}});
            return {{"type", "reply"},
                    {"key", m.key},
                    {"requester", m.requester},
                    {"errors", errors},
                    {"dataSets", encodeDataSets(m.dataSets)}};
        }
        QJsonObject operator()(const Error& m) const
        {
            return {{"type", "error"}, {"code", m.code}, {"text", m.text}};
        }
    };
    return std::visit(Visitor{}, message);
}

} // namespace

QByteArray encode(const Message& message)
{
    return QJsonDocument(encodeObject(message)).toJson(QJsonDocument::Compact);
}

QString typeName(const Message& message)
{
    return encodeObject(message).value(QLatin1String("type")).toString();
}

// ---------------------------------------------------------------- decoding

namespace {

// Thrown only inside decode() and caught there: the reader unwinds from any depth with the
// first fault it meets.
struct Refusal
{
    Error error;
};

[[noreturn]] void refuse(const char* code, const QString& text)
{
    throw Refusal{Error{QString::fromLatin1(code), errorText(text)}};
}

QString describe(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return QStringLiteral("true or false");
    case QJsonValue::Double:
        return QStringLiteral("a number");
    case QJsonValue::String:
        return QStringLiteral("text");
    case QJsonValue::Array:
        return QStringLiteral("a list");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    case QJsonValue::Undefined:
        break;
    }
    return QStringLiteral("nothing");
}

[[noreturn]] void wrongType(const QString& path, const char* expected, const QJsonValue& got)
{
    refuse(errc::WrongType,
           QStringLiteral("\"%1\" must be %2, not %3").arg(path, QLatin1String(expected), describe(got)));
}

QString checkedText(const QJsonValue& value, const QString& path)
{
    if (!value.isString())
        wrongType(path, "text", value);
    QString text = value.toString();
    // The JSON reader lets "\ud800" and "\u0000" escapes through; neither can be stored.
    if (!QStringView(text).isValidUtf16())
        refuse(errc::BadEncoding,
               QStringLiteral("\"%1\" holds a broken character (a lone surrogate)").arg(path));
    if (text.contains(QChar(u'\0')))
        refuse(errc::BadValue, QStringLiteral("\"%1\" may not contain the NUL character").arg(path));
    return text;
}

class ObjectReader
{
public:
    ObjectReader(const QJsonObject& object, QString path) : m_object(object), m_path(std::move(path)) {}

    QString memberPath(QLatin1String name) const
    {
        return m_path.isEmpty() ? QString(name) : m_path + u'.' + name;
    }

    QJsonValue required(QLatin1String name) const
    {
        const QJsonValue value = m_object.value(name);
        if (value.isUndefined())
            refuse(errc::MissingMember, QStringLiteral("\"%1\" is missing").arg(memberPath(name)));
        return value;
    }

    QString text(QLatin1String name) const { return checkedText(required(name), memberPath(name)); }

    QString optionalText(QLatin1String name) const
    {
        const QJsonValue value = m_object.value(name);
        return value.isUndefined() ? QString() : checkedText(value, memberPath(name));
    }

    qint64 integer(QLatin1String name, qint64 low, qint64 high) const
    {
        const QJsonValue value = required(name);
        const QCborValue cbor = QCborValue::fromJsonValue(value);
        if (!cbor.isInteger())
            wrongType(memberPath(name), "a whole number", value);
        const qint64 number = cbor.toInteger();
        if (number < low || number > high)
            refuse(errc::BadValue, QStringLiteral("\"%1\" is out of range").arg(memberPath(name)));
        return number;
    }

    QJsonObject object(QLatin1String name) const
    {
        const QJsonValue value = required(name);
        if (!value.isObject())
            wrongType(memberPath(name), "an object", value);
        return value.toObject();
    }

    QJsonArray optionalArray(QLatin1String name) const
    {
        const QJsonValue value = m_object.value(name);
        if (value.isUndefined())
            return {};
        if (!value.isArray())
            wrongType(memberPath(name), "a list", value);
        return value.toArray();
    }

    QJsonObject optionalObject(QLatin1String name) const
    {
        const QJsonValue value = m_object.value(name);
        if (value.isUndefined())
            return {};
        if (!value.isObject())
            wrongType(memberPath(name), "an object", value);
        return value.toObject();
    }

private:
    const QJsonObject& m_object;
    QString m_path;
};

QJsonObject objectAt(const QJsonValue& value, const QString& path)
{
    if (!value.isObject())
        wrongType(path, "an object", value);
    return value.toObject();
}

Value decodeValue(const QJsonValue& json, FieldType type, const QString& path)
{
    if (json.isNull())
        return std::monostate{};
    switch (type) {
    case FieldType::Text:
        return checkedText(json, path);
    case FieldType::Long: {
        const QCborValue cbor = QCborValue::fromJsonValue(json);
        if (!cbor.isInteger())
            wrongType(path, "a whole number (long)", json);
        return cbor.toInteger();
    }
    case FieldType::Double: {
        if (!json.isDouble())
            wrongType(path, "a number (double)", json);
        const QCborValue cbor = QCborValue::fromJsonValue(json);
        return cbor.isInteger() ? double(cbor.toInteger()) : json.toDouble();
    }
    case FieldType::Currency: {
        if (!json.isString())
            wrongType(path, "an amount written as text (currency)", json);
        const auto money = moneyFromText(json.toString());
        if (!money)
            refuse(
                errc::BadValue,
                QStringLiteral("\"%1\" is not an amount (digits, up to 4 decimals, within range)").arg(path));
        return *money;
    }
    case FieldType::Date: {
        if (!json.isString())
            wrongType(path, "a date written as YYYY-MM-DD", json);
        const QString text = json.toString();
        const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
        if (text.size() != 10 || !date.isValid())
            refuse(errc::BadValue, QStringLiteral("\"%1\" is not a date written as YYYY-MM-DD").arg(path));
        return date;
    }
    case FieldType::Bool:
        if (!json.isBool())
            wrongType(path, "true or false (bool)", json);
        return json.toBool();
    }
    return std::monostate{};
}

QMap<QString, DataSet> decodeDataSets(const QJsonObject& sets, const QString& path)
{
    QMap<QString, DataSet> result;
    for (auto it = sets.constBegin(); it != sets.constEnd(); ++it) {
        const QString name = checkedText(it.key(), path + QStringLiteral(" name"));
        if (name.isEmpty())
            refuse(errc::BadValue, QStringLiteral("\"%1\" has a data set without a name").arg(path));
        const QString setPath = path + u'.' + name;
        const QJsonObject setObject = objectAt(it.value(), setPath);
        const ObjectReader reader(setObject, setPath);
        DataSet set;

        const QJsonValue fieldsValue = reader.required(QLatin1String("fields"));
        if (!fieldsValue.isArray())
            wrongType(setPath + QStringLiteral(".fields"), "a list", fieldsValue);
        const QJsonArray fields = fieldsValue.toArray();
        for (qsizetype i = 0; i < fields.size(); ++i) {
            const QString fieldPath = QStringLiteral("%1.fields[%2]").arg(setPath).arg(i);
            const QJsonObject fieldObject = objectAt(fields[i], fieldPath);
            const ObjectReader fieldReader(fieldObject, fieldPath);
            Field field;
            field.name = fieldReader.text(QLatin1String("name"));
            if (field.name.isEmpty())
                refuse(errc::BadValue, QStringLiteral("\"%1.name\" is empty").arg(fieldPath));
            if (set.fieldIndex(field.name) >= 0)
                refuse(errc::BadValue,
                       QStringLiteral("\"%1\" names the field \"%2\" twice").arg(setPath, field.name));
            const QString typeText = fieldReader.text(QLatin1String("type"));
            const auto type = fieldTypeFromName(typeText);
            if (!type)
                refuse(errc::BadValue,
                       QStringLiteral("\"%1.type\" is \"%2\"; known types are text, long, double, currency, "
                                      "date and bool")
                           .arg(fieldPath, typeText));
            field.type = *type;
            set.fields.append(field);
        }

        const QJsonValue recordsValue = reader.required(QLatin1String("records"));
        if (!recordsValue.isArray())
            wrongType(setPath + QStringLiteral(".records"), "a list", recordsValue);
        const QJsonArray records = recordsValue.toArray();
        set.records.reserve(records.size());
        for (qsizetype r = 0; r < records.size(); ++r) {
            const QString recordPath = QStringLiteral("%1.records[%2]").arg(setPath).arg(r);
            if (!records[r].isArray())
                wrongType(recordPath, "a list", records[r]);
            const QJsonArray values = records[r].toArray();
            if (values.size() != set.fields.size())
                refuse(errc::BadValue, QStringLiteral("\"%1\" has %2 values for %3 fields")
                                           .arg(recordPath)
                                           .arg(values.size())
                                           .arg(set.fields.size()));
            QList<Value> record;
            record.reserve(values.size());
            for (qsizetype v = 0; v < values.size(); ++v)
                record.append(decodeValue(
                    values[v], set.fields[v].type,
                    QStringLiteral("%1[%2] (%3)").arg(recordPath).arg(v).arg(set.fields[v].name)));
            set.records.append(record);
        }
        result.insert(name, set);
    }
    return result;
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Whether [begin, end) is a JSON number: -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
bool isJsonNumber(const char* begin, const char* end)
{
    const char* p = begin;
    if (p < end && *p == '-')
        ++p;
    if (p == end || !isDigit(*p))
        return false;
    if (*p == '0')
        ++p;
    else
        while (p < end && isDigit(*p))
            ++p;
    if (p < end && *p == '.') {
        const char* digits = ++p;
        while (p < end && isDigit(*p))
            ++p;
        if (p == digits)
            return false;
    }
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p < end && (*p == '+' || *p == '-'))
            ++p;
        const char* digits = p;
        while (p < end && isDigit(*p))
            ++p;
        if (p == digits)
            return false;
    }
    return p == end;
}

// Qt's JSON reader lets through what JSON forbids: unknown escapes ("\x"), raw control characters
// in strings, numbers such as ".5" or "1.", and a byte-order mark. Those are refused here, before
// it reads the frame; the structure itself is left to Qt.
void checkJsonLexically(const QByteArray& frame)
{
    const char* p = frame.constData();
    const char* const end = p + frame.size();
    if (frame.startsWith("\xEF\xBB\xBF"))
        refuse(errc::BadJson,
               QStringLiteral("The message is not valid JSON (it starts with a byte-order mark)"));
    auto offset = [&](const char* at) { return qint64(at - frame.constData()); };
    while (p < end) {
        const char c = *p;
        if (c == '"') {
            for (++p;; ++p) {
                if (p == end)
                    return; // unterminated: the reader says so
                const auto byte = static_cast<unsigned char>(*p);
                if (byte == '"')
                    break;
                if (byte < 0x20)
                    refuse(errc::BadJson,
                           QStringLiteral("The message is not valid JSON (a control character in text "
                                          "at byte %1)")
                               .arg(offset(p)));
                if (byte == '\\') {
                    ++p;
                    if (p == end)
                        return;
                    if (*p == 'u') {
                        for (int i = 0; i < 4; ++i) {
                            if (++p == end || !isHexDigit(*p))
                                refuse(errc::BadJson,
                                       QStringLiteral(
                                           "The message is not valid JSON (a broken \\u escape at byte %1)")
                                           .arg(offset(p)));
                        }
                    } else if (!std::strchr("\"\\/bfnrt", *p) || *p == '\0') {
                        refuse(errc::BadJson,
                               QStringLiteral("The message is not valid JSON (an unknown escape at byte %1)")
                                   .arg(offset(p)));
                    }
                }
            }
            ++p;
        } else if (c == '-' || isDigit(c)) {
            const char* start = p;
            while (p < end && (isDigit(*p) || *p == '-' || *p == '+' || *p == '.' || *p == 'e' || *p == 'E'))
                ++p;
            if (!isJsonNumber(start, p))
                refuse(errc::BadJson,
                       QStringLiteral("The message is not valid JSON (a malformed number at byte %1)")
                           .arg(offset(start)));
        } else if (c == '.') {
            refuse(errc::BadJson,
                   QStringLiteral("The message is not valid JSON (a malformed number at byte %1)")
                       .arg(offset(p)));
        } else {
            ++p;
        }
    }
}

bool isKnownRequestCode(qint64 code)
{
    return code == Search || code == Details || code == Save || code == FormNumber;
}

Request decodeRequest(const ObjectReader& reader, DecodeResult& result)
{
    Request request;
    // Key and requester first: once they are known a refusal can still be answered as a reply.
    request.key = reader.text(QLatin1String("key"));
    request.requester = reader.text(QLatin1String("requester"));
    result.requestKey = request.key;
    result.requester = request.requester;

    request.userId = reader.text(QLatin1String("userId"));
    request.version = reader.text(QLatin1String("version"));
    const qint64 code = reader.integer(QLatin1String("requestCode"), std::numeric_limits<qint64>::min(),
                                       std::numeric_limits<qint64>::max());
    if (!isKnownRequestCode(code))
        refuse(errc::UnknownRequestCode,
               QStringLiteral("Request code %1 is not known; known codes are 63, 69, 72 and 90").arg(code));
    request.requestCode = int(code);

    const QJsonArray criteria = reader.optionalArray(QLatin1String("criteria"));
    for (qsizetype i = 0; i < criteria.size(); ++i) {
        const QString path = QStringLiteral("criteria[%1]").arg(i);
        const QJsonObject object = objectAt(criteria[i], path);
        const ObjectReader c(object, path);
        request.criteria.append(Criterion{c.text(QLatin1String("systemName")), c.text(QLatin1String("key")),
                                          c.text(QLatin1String("operator")), c.text(QLatin1String("value"))});
    }
    request.dataSets =
        decodeDataSets(reader.optionalObject(QLatin1String("dataSets")), QStringLiteral("dataSets"));
    const QJsonArray options = reader.optionalArray(QLatin1String("options"));
    for (qsizetype i = 0; i < options.size(); ++i)
        request.options.append(checkedText(options[i], QStringLiteral("options[%1]").arg(i)));
    return request;
}

Reference decodeReference(const ObjectReader& reader)
{
    Reference reference;
    const QJsonObject tables = reader.object(QLatin1String("codeTables"));
    for (auto t = tables.constBegin(); t != tables.constEnd(); ++t) {
        const QString tablePath = QStringLiteral("codeTables.") + t.key();
        const QJsonObject codes = objectAt(t.value(), tablePath);
        QMap<QString, QString>& table = reference.codeTables[checkedText(t.key(), tablePath)];
        for (auto c = codes.constBegin(); c != codes.constEnd(); ++c)
            table.insert(checkedText(c.key(), tablePath), checkedText(c.value(), tablePath + u'.' + c.key()));
    }
    const QJsonObject officers = reader.object(QLatin1String("officers"));
    for (auto o = officers.constBegin(); o != officers.constEnd(); ++o) {
        bool ok = false;
        const qint32 id = o.key().toInt(&ok);
        if (!ok || QString::number(id) != o.key())
            refuse(errc::BadValue,
                   QStringLiteral("\"officers\" has the key \"%1\", which is not an officer number")
                       .arg(o.key().left(40)));
        reference.officers.insert(id, checkedText(o.value(), QStringLiteral("officers.") + o.key()));
    }
    return reference;
}

Message decodeObject(const QJsonObject& object, DecodeResult& result)
{
    const ObjectReader reader(object, QString());
    const QString type = reader.text(QLatin1String("type"));
    if (type == u"login")
        return Login{reader.text(QLatin1String("user")), reader.text(QLatin1String("password"))};
    if (type == u"resume")
        return Resume{reader.text(QLatin1String("token"))};
    if (type == u"reference")
        return object.size() == 1 ? Message(ReferenceRequest{}) : Message(decodeReference(reader));
    if (type == u"ping")
        return Ping{reader.optionalText(QLatin1String("key"))};
    if (type == u"pong")
        return Pong{reader.optionalText(QLatin1String("key"))};
    if (type == u"request")
        return decodeRequest(reader, result);
    if (type == u"session") {
        const QJsonObject profileObject = reader.object(QLatin1String("profile"));
        const ObjectReader p(profileObject, QStringLiteral("profile"));
        Profile profile{p.text(QLatin1String("UserId")), p.text(QLatin1String("TrpId")),
                        p.text(QLatin1String("TrpDstrctId")),
                        qint32(p.integer(QLatin1String("OfficerId"), std::numeric_limits<qint32>::min(),
                                         std::numeric_limits<qint32>::max())),
                        p.text(QLatin1String("OfficerName"))};
        return Session{reader.text(QLatin1String("token")), profile};
    }
    if (type == u"reply") {
        Reply reply;
        reply.key = reader.text(QLatin1String("key"));
        reply.requester = reader.text(QLatin1String("requester"));
        const QJsonArray errors = reader.optionalArray(QLatin1String("errors"));
        for (qsizetype i = 0; i < errors.size(); ++i) {
            const QString path = QStringLiteral("errors[%1]").arg(i);
            const QJsonObject e = objectAt(errors[i], path);
            const ObjectReader er(e, path);
            reply.errors.append(ReplyError{er.text(QLatin1String("code")), er.text(QLatin1String("text"))});
        }
        reply.dataSets =
            decodeDataSets(reader.optionalObject(QLatin1String("dataSets")), QStringLiteral("dataSets"));
        return reply;
    }
    if (type == u"error")
        return Error{reader.text(QLatin1String("code")), reader.text(QLatin1String("text"))};
    refuse(errc::UnknownType, QStringLiteral("The message type \"%1\" is not known").arg(type.left(40)));
}

} // namespace

DecodeResult decode(const QByteArray& frame)
{
    DecodeResult result;
    try {
        if (frame.size() > MaxFrameBytes)
            refuse(errc::TooLarge, QStringLiteral("The message is larger than 16 MiB"));
        // The JSON reader refuses bad UTF-8 inside strings only; check the whole frame.
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = utf8.decode(frame);
        if (utf8.hasError())
            refuse(errc::BadEncoding, QStringLiteral("The message is not valid UTF-8"));
        Q_UNUSED(decoded);

        checkJsonLexically(frame);
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(frame, &parseError);
        if (parseError.error != QJsonParseError::NoError)
            refuse(errc::BadJson, QStringLiteral("The message is not valid JSON (%1 at byte %2)")
                                      .arg(parseError.errorString())
                                      .arg(parseError.offset));
        if (!document.isObject())
            refuse(errc::BadJson, QStringLiteral("A message must be a JSON object"));
        result.message = decodeObject(document.object(), result);
    } catch (const Refusal& refusal) {
        result.message.reset();
        result.error = refusal.error;
    }
    return result;
}

} // namespace tavro::protocol
