#pragma once

#include <QDate>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>
#include <variant>

namespace tavro::protocol {

/// Largest frame either side accepts (16 MiB).
inline constexpr qsizetype MaxFrameBytes = 16 * 1024 * 1024;

/// Request codes of the wire protocol.
enum RequestCode : int { Search = 63, Details = 69, Save = 72, FormNumber = 90 };

enum class FieldType { Text, Long, Double, Currency, Date, Bool };

/// Money on the wire: ten-thousandths, written as a decimal string of up to four decimals.
struct Money
{
    qint64 units = 0;
    friend bool operator==(Money, Money) = default;
};

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
    int fieldIndex(const QString& name) const;
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
};
struct Resume
{
    QString token;
};
struct ReferenceRequest
{
};
struct Ping
{
    QString key;
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
};

// Server to client.
struct Session
{
    QString token;
    Profile profile;
};
struct Reference
{
    /// table name -> code -> description
    QMap<QString, QMap<QString, QString>> codeTables;
    /// officer id -> display name
    QMap<qint32, QString> officers;
};
struct Pong
{
    QString key;
};
struct Reply
{
    QString key;
    QString requester;
    QList<ReplyError> errors;
    QMap<QString, DataSet> dataSets;
};
struct Error
{
    QString code;
    QString text;
};

using Message = std::variant<Login, Resume, ReferenceRequest, Ping, Request, Session, Reference, Pong, Reply, Error>;

/// A decoded frame, or why it was refused (the text of the `error` frame to answer with).
struct DecodeResult
{
    std::optional<Message> message;
    Error error;
};

QByteArray encode(const Message& message);
DecodeResult decode(const QByteArray& frame);

QString fieldTypeName(FieldType type);
std::optional<FieldType> fieldTypeFromName(QStringView name);

} // namespace tavro::protocol
