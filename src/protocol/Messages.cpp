#include "protocol/Messages.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <QCborValue>
#include <QJsonArray>
#include <QJsonDocument>
#include <utility>

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

// Qt orders an object's members by code point, QMap its keys by UTF-16 unit; the two differ only
// where a surrogate pair meets a character from U+E000 up. Calls \a write with each entry of \a map
// in the object's order.
template <class Map, class Write> void inObjectOrder(const Map& map, Write write)
{
    bool surrogates = false;
    for (auto it = map.cbegin(); it != map.cend() && !surrogates; ++it) {
        for (QChar c : it.key())
            surrogates = surrogates || c.isSurrogate();
    }
    if (!surrogates) {
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            write(it);
        return;
    }
    auto rank = [](QChar c) {
        const char16_t u = c.unicode();
        return u >= 0xE000 ? u - 0x800 : c.isSurrogate() ? u + 0x2000 : u;
    };
    QList<typename Map::const_iterator> order;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        order.append(it);
    std::sort(order.begin(), order.end(), [&](const auto& a, const auto& b) {
        return std::lexicographical_compare(a.key().cbegin(), a.key().cend(), b.key().cbegin(),
                                            b.key().cend(),
                                            [&](QChar x, QChar y) { return rank(x) < rank(y); });
    });
    for (const auto& it : order)
        write(it);
}

// Writes compact JSON straight into one buffer, byte for byte what QJsonDocument writes for the
// same object (members in the order of their names, the same escapes and numbers), without
// building the document first: a search reply is mostly short strings, and the tree of QJsonValues
// cost more than the search's SQL.
class JsonWriter
{
public:
    explicit JsonWriter(qsizetype expected) { m_out.reserve(expected); }

    QByteArray take() { return std::move(m_out); }

    void raw(char c) { m_out.append(c); }
    void raw(const char* text) { m_out.append(text); }

    /// `"name":`; names are the program's own ASCII.
    void name(const char* name)
    {
        m_out.append('"');
        m_out.append(name);
        m_out.append("\":", 2);
    }
    void member(const char* name, const QString& text)
    {
        this->name(name);
        string(text);
    }
    void member(const char* name, qint64 number)
    {
        this->name(name);
        integer(number);
    }

    void integer(qint64 number)
    {
        char digits[24];
        char* end = digits + sizeof digits;
        char* p = end;
        // Work on the magnitude as unsigned so that the int64 minimum has a positive counterpart.
        quint64 magnitude = number < 0 ? quint64(0) - quint64(number) : quint64(number);
        do {
            *--p = char('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude);
        if (number < 0)
            *--p = '-';
        m_out.append(p, end - p);
    }

    void floating(double number)
    {
        // Rare on the wire; Qt's own writer keeps its rules for integral and non-finite values.
        const QByteArray written =
            QJsonDocument(
                QJsonArray{std::isfinite(number) ? QJsonValue(number) : QJsonValue(QJsonValue::Null)})
                .toJson(QJsonDocument::Compact);
        m_out.append(written.constData() + 1, written.size() - 2);
    }

    void string(QStringView text)
    {
        // Each UTF-16 unit becomes at most six bytes ("\u001f", or a lone surrogate's escape).
        const qsizetype start = m_out.size();
        m_out.resize(start + 2 + 6 * text.size());
        char* out = m_out.data() + start;
        *out++ = '"';
        const char16_t* p = text.utf16();
        const char16_t* const end = p + text.size();
        // Qt's reader drops a raw byte-order mark at the start of a text (it reads each text as
        // a UTF-8 document of its own); escaped, it reads back.
        if (p != end && *p == 0xFEFF) {
            *out++ = '\\';
            out = escape(out, *p++);
        }
        while (p != end) {
            const char16_t u = *p++;
            if (u >= 0x20 && u < 0x80 && u != u'"' && u != u'\\') {
                *out++ = char(u);
            } else if (u < 0x80) {
                *out++ = '\\';
                switch (u) {
                case u'"':
                    *out++ = '"';
                    break;
                case u'\\':
                    *out++ = '\\';
                    break;
                case u'\b':
                    *out++ = 'b';
                    break;
                case u'\f':
                    *out++ = 'f';
                    break;
                case u'\n':
                    *out++ = 'n';
                    break;
                case u'\r':
                    *out++ = 'r';
                    break;
                case u'\t':
                    *out++ = 't';
                    break;
                default:
                    out = escape(out, u);
                }
            } else if (u < 0x800) {
                *out++ = char(0xC0 | (u >> 6));
                *out++ = char(0x80 | (u & 0x3F));
            } else if (!QChar::isSurrogate(u)) {
                *out++ = char(0xE0 | (u >> 12));
                *out++ = char(0x80 | ((u >> 6) & 0x3F));
                *out++ = char(0x80 | (u & 0x3F));
            } else if (QChar::isHighSurrogate(u) && p != end && QChar::isLowSurrogate(*p)) {
                const char32_t c = QChar::surrogateToUcs4(u, *p++);
                *out++ = char(0xF0 | (c >> 18));
                *out++ = char(0x80 | ((c >> 12) & 0x3F));
                *out++ = char(0x80 | ((c >> 6) & 0x3F));
                *out++ = char(0x80 | (c & 0x3F));
            } else {
                *out++ = '\\';
                out = escape(out, u);
            }
        }
        *out++ = '"';
        m_out.resize(out - m_out.constData());
    }

    /// As moneyToText() writes it, quoted.
    void money(Money money)
    {
        const bool negative = money.units < 0;
        const quint64 magnitude = negative ? quint64(0) - quint64(money.units) : quint64(money.units);
        char text[32];
        char* end = text + sizeof text;
        char* p = end;
        *--p = '"';
        quint64 fraction = magnitude % 10000;
        if (fraction) {
            int decimals = 4;
            while (fraction % 10 == 0) {
                fraction /= 10;
                --decimals;
            }
            for (int i = 0; i < decimals; ++i, fraction /= 10)
                *--p = char('0' + fraction % 10);
            *--p = '.';
        }
        quint64 whole = magnitude / 10000;
        do {
            *--p = char('0' + whole % 10);
            whole /= 10;
        } while (whole);
        if (negative)
            *--p = '-';
        *--p = '"';
        m_out.append(p, end - p);
    }

    /// As QDate::toString(Qt::ISODate) writes it, quoted: empty for a year it cannot write in
    /// four digits; null for an invalid date.
    void date(const QDate& date)
    {
        if (!date.isValid()) {
            raw("null");
            return;
        }
        int year = 0, month = 0, day = 0;
        date.getDate(&year, &month, &day);
        if (year < 0 || year > 9999) {
            raw("\"\"");
            return;
        }
        char text[12] = {'"',
                         char('0' + year / 1000),
                         char('0' + year / 100 % 10),
                         char('0' + year / 10 % 10),
                         char('0' + year % 10),
                         '-',
                         char('0' + month / 10),
                         char('0' + month % 10),
                         '-',
                         char('0' + day / 10),
                         char('0' + day % 10),
                         '"'};
        m_out.append(text, sizeof text);
    }

    void value(const Value& value)
    {
        struct Visitor
        {
            JsonWriter& w;
            void operator()(std::monostate) const { w.raw("null"); }
            void operator()(const QString& text) const { w.string(text); }
            void operator()(qint64 number) const { w.integer(number); }
            void operator()(double number) const { w.floating(number); }
            void operator()(Money money) const { w.money(money); }
            void operator()(const QDate& date) const { w.date(date); }
            void operator()(bool flag) const { w.raw(flag ? "true" : "false"); }
        };
        std::visit(Visitor{*this}, value);
    }

    void dataSets(const QMap<QString, DataSet>& sets)
    {
        raw('{');
        bool first = true;
        inObjectOrder(sets, [&](auto it) {
            if (!std::exchange(first, false))
                raw(',');
            string(it.key());
            raw(":{\"fields\":[");
            for (qsizetype i = 0; i < it->fields.size(); ++i) {
                const Field& field = it->fields[i];
                raw(i ? ",{" : "{");
                member("name", field.name);
                raw(',');
                member("type", fieldTypeName(field.type));
                raw('}');
            }
            raw("],\"records\":[");
            for (qsizetype r = 0; r < it->records.size(); ++r) {
                raw(r ? ",[" : "[");
                const QList<Value>& record = it->records[r];
                for (qsizetype v = 0; v < record.size(); ++v) {
                    if (v)
                        raw(',');
                    value(record[v]);
                }
                raw(']');
            }
            raw("]}");
        });
        raw('}');
    }

private:
    static char* escape(char* out, char16_t u)
    {
        static constexpr char Hex[] = "0123456789abcdef";
        *out++ = 'u';
        for (int shift = 12; shift >= 0; shift -= 4)
            *out++ = Hex[(u >> shift) & 0xF];
        return out;
    }

    QByteArray m_out;
};

// A rough size of the frame, so that the buffer is allocated about once.
qsizetype expectedSize(const QMap<QString, DataSet>& sets)
{
    qsizetype values = 0;
    for (const DataSet& set : sets)
        values += set.fields.size() * (set.records.size() + 4);
    return 256 + 12 * values;
}

// Members are written in the order of their names, as a JSON object keeps them.
struct EncodeVisitor
{
    JsonWriter& w;

    void operator()(const Login& m) const
    {
        w.raw('{');
        w.member("password", m.password);
        w.raw(",\"type\":\"login\",");
        w.member("user", m.user);
        w.raw('}');
    }
    void operator()(const Resume& m) const
    {
        w.raw('{');
        w.member("token", m.token);
        w.raw(",\"type\":\"resume\"}");
    }
    void operator()(const ReferenceRequest&) const { w.raw("{\"type\":\"reference\"}"); }
    void operator()(const Ping& m) const
    {
        w.raw('{');
        w.member("key", m.key);
        w.raw(",\"type\":\"ping\"}");
    }
    void operator()(const Pong& m) const
    {
        w.raw('{');
        w.member("key", m.key);
        w.raw(",\"type\":\"pong\"}");
    }
    void operator()(const Request& m) const
    {
        w.raw("{\"criteria\":[");
        for (qsizetype i = 0; i < m.criteria.size(); ++i) {
            const Criterion& c = m.criteria[i];
            w.raw(i ? ",{" : "{");
            w.member("key", c.key);
            w.raw(',');
            w.member("operator", c.op);
            w.raw(',');
            w.member("systemName", c.systemName);
            w.raw(',');
            w.member("value", c.value);
            w.raw('}');
        }
        w.raw("],");
        w.name("dataSets");
        w.dataSets(m.dataSets);
        w.raw(',');
        w.member("key", m.key);
        w.raw(",\"options\":[");
        for (qsizetype i = 0; i < m.options.size(); ++i) {
            if (i)
                w.raw(',');
            w.string(m.options[i]);
        }
        w.raw("],");
        w.member("requestCode", m.requestCode);
        w.raw(',');
        w.member("requester", m.requester);
        w.raw(",\"type\":\"request\",");
        w.member("userId", m.userId);
        w.raw(',');
        w.member("version", m.version);
        w.raw('}');
    }
    void operator()(const Session& m) const
    {
        w.raw("{\"profile\":{");
        w.member("OfficerId", m.profile.officerId);
        w.raw(',');
        w.member("OfficerName", m.profile.officerName);
        w.raw(',');
        w.member("TrpDstrctId", m.profile.trpDstrctId);
        w.raw(',');
        w.member("TrpId", m.profile.trpId);
        w.raw(',');
        w.member("UserId", m.profile.userId);
        w.raw("},");
        w.member("token", m.token);
        w.raw(",\"type\":\"session\"}");
    }
    void operator()(const Reference& m) const
    {
        w.raw("{\"codeTables\":{");
        bool firstTable = true;
        inObjectOrder(m.codeTables, [&](auto t) {
            if (!std::exchange(firstTable, false))
                w.raw(',');
            w.string(t.key());
            w.raw(":{");
            bool firstCode = true;
            inObjectOrder(*t, [&](auto c) {
                if (!std::exchange(firstCode, false))
                    w.raw(',');
                w.string(c.key());
                w.raw(':');
                w.string(c.value());
            });
            w.raw('}');
        });
        // Officer numbers are names here, so they are ordered as text ("10" before "9").
        QList<std::pair<QString, const QString*>> officers;
        officers.reserve(m.officers.size());
        for (auto o = m.officers.cbegin(); o != m.officers.cend(); ++o)
            officers.append({QString::number(o.key()), &o.value()});
        std::sort(officers.begin(), officers.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        w.raw("},\"officers\":{");
        for (qsizetype i = 0; i < officers.size(); ++i) {
            if (i)
                w.raw(',');
            w.string(officers[i].first);
            w.raw(':');
            w.string(*officers[i].second);
        }
        w.raw("},\"type\":\"reference\"}");
    }
    void operator()(const Reply& m) const
    {
        w.raw('{');
        w.name("dataSets");
        w.dataSets(m.dataSets);
        w.raw(",\"errors\":[");
        for (qsizetype i = 0; i < m.errors.size(); ++i) {
            w.raw(i ? ",{" : "{");
            w.member("code", m.errors[i].code);
            w.raw(',');
            w.member("text", m.errors[i].text);
            w.raw('}');
        }
        w.raw("],");
        w.member("key", m.key);
        w.raw(',');
        w.member("requester", m.requester);
        w.raw(",\"type\":\"reply\"}");
    }
    void operator()(const Error& m) const
    {
        w.raw('{');
        w.member("code", m.code);
        w.raw(',');
        w.member("text", m.text);
        w.raw(",\"type\":\"error\"}");
    }
};

} // namespace

QByteArray encode(const Message& message)
{
    qsizetype expected = 256;
    if (const auto* reply = std::get_if<Reply>(&message))
        expected = expectedSize(reply->dataSets);
    else if (const auto* request = std::get_if<Request>(&message))
        expected = expectedSize(request->dataSets);
    JsonWriter writer(expected);
    std::visit(EncodeVisitor{writer}, message);
    return writer.take();
}

QString typeName(const Message& message)
{
    struct Visitor
    {
        const char* operator()(const Login&) const { return "login"; }
        const char* operator()(const Resume&) const { return "resume"; }
        const char* operator()(const ReferenceRequest&) const { return "reference"; }
        const char* operator()(const Ping&) const { return "ping"; }
        const char* operator()(const Request&) const { return "request"; }
        const char* operator()(const Session&) const { return "session"; }
        const char* operator()(const Reference&) const { return "reference"; }
        const char* operator()(const Pong&) const { return "pong"; }
        const char* operator()(const Reply&) const { return "reply"; }
        const char* operator()(const Error&) const { return "error"; }
    };
    return QString::fromLatin1(std::visit(Visitor{}, message));
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

// Whether \a text is "YYYY-MM-DD" in digits, and which date; the common case, read without
// QDate's format parser.
std::optional<QDate> plainIsoDate(QStringView text)
{
    if (text.size() != 10 || text[4] != u'-' || text[7] != u'-')
        return std::nullopt;
    int parts[3] = {0, 0, 0};
    const qsizetype starts[3] = {0, 5, 8};
    const qsizetype lengths[3] = {4, 2, 2};
    for (int p = 0; p < 3; ++p) {
        for (qsizetype i = starts[p]; i < starts[p] + lengths[p]; ++i) {
            const char16_t c = text[i].unicode();
            if (c < u'0' || c > u'9')
                return std::nullopt;
            parts[p] = parts[p] * 10 + (c - u'0');
        }
    }
    const QDate date(parts[0], parts[1], parts[2]);
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

// The value of \a json when it is plainly right for \a type; nullopt sends it to decodeValue(),
// which decides, and words a refusal with the value's path.
std::optional<Value> acceptedValue(const QJsonValue& json, FieldType type)
{
    switch (json.type()) {
    case QJsonValue::Null:
        return Value(std::monostate{});
    case QJsonValue::String:
        if (type == FieldType::Text) {
            QString text = json.toString();
            if (QStringView(text).isValidUtf16() && !text.contains(QChar(u'\0')))
                return Value(std::move(text));
        } else if (type == FieldType::Currency) {
            if (const auto money = moneyFromText(json.toString()))
                return Value(*money);
        } else if (type == FieldType::Date) {
            if (const auto date = plainIsoDate(json.toString()))
                return Value(*date);
        }
        break;
    case QJsonValue::Double:
        if (type == FieldType::Long) {
            const QCborValue cbor = QCborValue::fromJsonValue(json);
            if (cbor.isInteger())
                return Value(cbor.toInteger());
        }
        break;
    case QJsonValue::Bool:
        if (type == FieldType::Bool)
            return Value(json.toBool());
        break;
    default:
        break;
    }
    return std::nullopt;
}

// A field description that is plainly right; nullopt sends it to the full reading, which decides
// and words a refusal with the field's path.
std::optional<Field> acceptedField(const QJsonValue& json)
{
    if (!json.isObject())
        return std::nullopt;
    const QJsonObject object = json.toObject();
    const QJsonValue name = object.value(QLatin1String("name"));
    const QJsonValue type = object.value(QLatin1String("type"));
    if (!name.isString() || !type.isString())
        return std::nullopt;
    QString text = name.toString();
    const auto fieldType = fieldTypeFromName(type.toString());
    if (!fieldType || text.isEmpty() || !QStringView(text).isValidUtf16() || text.contains(QChar(u'\0')))
        return std::nullopt;
    return Field{std::move(text), *fieldType};
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
            if (const auto field = acceptedField(fields[i]); field && set.fieldIndex(field->name) < 0) {
                set.fields.append(*field);
                continue;
            }
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
            // Paths are made only for a refusal: a reply has thousands of values.
            auto recordPath = [&] { return QStringLiteral("%1.records[%2]").arg(setPath).arg(r); };
            if (!records[r].isArray())
                wrongType(recordPath(), "a list", records[r]);
            const QJsonArray values = records[r].toArray();
            if (values.size() != set.fields.size())
                refuse(errc::BadValue, QStringLiteral("\"%1\" has %2 values for %3 fields")
                                           .arg(recordPath())
                                           .arg(values.size())
                                           .arg(set.fields.size()));
            QList<Value> record;
            record.reserve(values.size());
            for (qsizetype v = 0; v < values.size(); ++v) {
                const QJsonValue json = values[v];
                std::optional<Value> value = acceptedValue(json, set.fields[v].type);
                if (!value)
                    value = decodeValue(
                        json, set.fields[v].type,
                        QStringLiteral("%1[%2] (%3)").arg(recordPath()).arg(v).arg(set.fields[v].name));
                record.append(std::move(*value));
            }
            set.records.append(std::move(record));
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
// in strings, numbers such as ".5" or "1.", and a byte-order mark; and it drops a raw byte-order
// mark at the start of a text. Those are refused here, before it reads the frame; the structure
// itself is left to Qt.
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
            // Qt's reader would drop it without a word; the writer escapes it.
            if (end - p > 3 && std::memcmp(p + 1, "\xEF\xBB\xBF", 3) == 0)
                refuse(
                    errc::BadJson,
                    QStringLiteral("The message is not valid JSON for this service (a text starting with a "
                                   "raw byte-order mark at byte %1; write it as \\ufeff)")
                        .arg(offset(p + 1)));
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
        if (!frame.isValidUtf8())
            refuse(errc::BadEncoding, QStringLiteral("The message is not valid UTF-8"));

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
