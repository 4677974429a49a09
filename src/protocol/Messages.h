#pragma once

#include <optional>
#include <QDate>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <variant>

namespace tavro::protocol {

/// Largest frame either side accepts (16 MiB).
inline constexpr qsizetype MaxFrameBytes = 16 * 1024 * 1024;

/// Request codes of the wire protocol.
enum RequestCode : int
{
    Search = 63,
    Details = 69,
    Save = 72,
    FormNumber = 90
};

enum class FieldType
{
    Text,
    Long,
    Double,
    Currency,
    Date,
    Bool
};

/// Money on the wire: ten-thousandths, written as a decimal string of up to four decimals.
struct Money
{
    qint64 units = 0;
    friend bool operator==(Money, Money) = default;
};

/// The wire text of an amount: plain decimal, no trailing zeros ("12.5", "-3", "0.0001").
QString moneyToText(Money money);
/// Reads "-1234.5678"-style text: an optional "-", digits, optionally "." and 1 to 4 digits.
/// Nothing else (blanks, "+", exponents, grouping, a fifth decimal, a value outside the
/// int64 range of ten-thousandths) is accepted.
std::optional<Money> moneyFromText(QStringView text);

/// A value of a data set: std::monostate is Null.
using Value = std::variant<std::monostate, QString, qint64, double, Money, QDate, bool>;

struct Field
{
    QString name;
    FieldType type = FieldType::Text;
    friend bool operator==(const Field&, const Field&) = default;
};

/// A named table of a request or a reply: typed fields and records of values in field order.
struct DataSet
{
    QList<Field> fields;
    QList<QList<Value>> records;
    /// Index of the field called \a name, or -1.
    int fieldIndex(const QString& name) const;
    /// The value of field \a name in record \a record; Null when either does not exist.
    Value value(qsizetype record, const QString& name) const;
    friend bool operator==(const DataSet&, const DataSet&) = default;
};

struct Criterion
{
    QString systemName;
    QString key;
    QString op;
    QString value;
    friend bool operator==(const Criterion&, const Criterion&) = default;
};

struct Profile
{
    QString userId;
    QString trpId;
    QString trpDstrctId;
    qint32 officerId = 0;
    QString officerName;
    friend bool operator==(const Profile&, const Profile&) = default;
};

struct ReplyError
{
    QString code;
    QString text;
    friend bool operator==(const ReplyError&, const ReplyError&) = default;
};

// Client to server.
struct Login
{
    QString user;
    QString password;
    friend bool operator==(const Login&, const Login&) = default;
};
struct Resume
{
    QString token;
    friend bool operator==(const Resume&, const Resume&) = default;
};
struct ReferenceRequest
{
    friend bool operator==(const ReferenceRequest&, const ReferenceRequest&) = default;
};
/// Asks for a Pong carrying the same key, with nothing else done (measures the round trip).
struct Ping
{
    QString key;
    friend bool operator==(const Ping&, const Ping&) = default;
};
struct Request
{
    QString key;
    QString requester;
    QString userId;
    QString version;
    int requestCode = 0;
    QList<Criterion> criteria;
    QMap<QString, DataSet> dataSets;
    QStringList options;
    friend bool operator==(const Request&, const Request&) = default;
};

// Server to client.
struct Session
{
    QString token;
    Profile profile;
    friend bool operator==(const Session&, const Session&) = default;
};
struct Reference
{
    /// table name -> code -> description
    QMap<QString, QMap<QString, QString>> codeTables;
    /// officer id -> display name
    QMap<qint32, QString> officers;
    friend bool operator==(const Reference&, const Reference&) = default;
};
struct Pong
{
    QString key;
    friend bool operator==(const Pong&, const Pong&) = default;
};
struct Reply
{
    QString key;
    QString requester;
    QList<ReplyError> errors;
    QMap<QString, DataSet> dataSets;
    friend bool operator==(const Reply&, const Reply&) = default;
};
struct Error
{
    QString code;
    QString text;
    friend bool operator==(const Error&, const Error&) = default;
};

using Message =
    std::variant<Login, Resume, ReferenceRequest, Ping, Request, Session, Reference, Pong, Reply, Error>;

/// Codes of the `error` frames and reply errors the codec produces.
namespace errc {
inline constexpr char TooLarge[] = "frame-too-large";
inline constexpr char BadEncoding[] = "bad-encoding";
inline constexpr char BadJson[] = "bad-json";
inline constexpr char UnknownType[] = "unknown-type";
inline constexpr char MissingMember[] = "missing-member";
inline constexpr char WrongType[] = "wrong-type";
inline constexpr char BadValue[] = "bad-value";
inline constexpr char UnknownRequestCode[] = "unknown-request-code";
} // namespace errc

/// A decoded frame, or why it was refused (the text of the `error` frame to answer with).
struct DecodeResult
{
    std::optional<Message> message;
    Error error;
    /// For a refused "request" frame whose key and requester could still be read: a server can
    /// answer with a reply error under that key, so the sender is not left waiting.
    QString requestKey;
    QString requester;
};

/// \brief One compact JSON object, UTF-8.
///
/// Values are written by their own kind; a value that does not fit its field's type is written
/// anyway and refused by the peer's decoder. Non-finite doubles are written as null.
QByteArray encode(const Message& message);
/// \brief Strict reading of one frame (at most MaxFrameBytes).
///
/// Every member is checked for presence and type, every value against its field's type; text
/// must be valid UTF-8 without NUL characters. A "reference" frame with no member but "type" is a
/// ReferenceRequest, otherwise a Reference. Unknown members are ignored. Never throws.
DecodeResult decode(const QByteArray& frame);
/// The name of the message's "type" member ("login", "request", "reply", ...).
QString typeName(const Message& message);

QString fieldTypeName(FieldType type);

/// \a text made fit to travel in an error text: every broken character (a lone surrogate) and
/// every NUL becomes U+FFFD, so that an error quoting what it refused always decodes.
QString errorText(QString text);
std::optional<FieldType> fieldTypeFromName(QStringView name);

} // namespace tavro::protocol
