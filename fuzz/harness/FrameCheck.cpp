#include "FuzzChecks.h"
#include "protocol/Messages.h"

#include <QSet>

namespace tavro::fuzz {

using namespace protocol;

namespace {

const QSet<QString>& codecErrorCodes()
{
    static const QSet<QString> codes{
        QString::fromLatin1(errc::TooLarge),      QString::fromLatin1(errc::BadEncoding),
        QString::fromLatin1(errc::BadJson),       QString::fromLatin1(errc::UnknownType),
        QString::fromLatin1(errc::MissingMember), QString::fromLatin1(errc::WrongType),
        QString::fromLatin1(errc::BadValue),      QString::fromLatin1(errc::UnknownRequestCode)};
    return codes;
}

// An answer the other side must be able to read exactly as it was sent.
QString checkReadsBack(const Message& message, const char* what)
{
    const QByteArray encoded = encode(message);
    const DecodeResult again = decode(encoded);
    if (!again.message)
        return QStringLiteral("%1 encodes to a frame the decoder refuses (%2: %3)")
            .arg(QLatin1String(what), again.error.code, again.error.text);
    if (!(*again.message == message))
        return QStringLiteral("%1 reads back different from what was encoded").arg(QLatin1String(what));
    if (encode(*again.message) != encoded)
        return QStringLiteral("%1 encodes differently the second time").arg(QLatin1String(what));
    return {};
}

} // namespace

QString checkFrame(QByteArrayView data)
{
    const DecodeResult first = decode(data.toByteArray());
    if (first.message) {
        if (typeName(*first.message).isEmpty())
            return QStringLiteral("a decoded message has no type name");
        return checkReadsBack(*first.message, "a decoded message");
    }
    if (!codecErrorCodes().contains(first.error.code))
        return QStringLiteral("a refused frame gives the unknown error code \"%1\"").arg(first.error.code);
    if (first.error.text.isEmpty())
        return QStringLiteral("a refused frame (%1) gives no reason").arg(first.error.code);
    if (QString why = checkReadsBack(first.error, "the error frame for a refused frame"); !why.isEmpty())
        return why;
    if (!first.requestKey.isEmpty() || !first.requester.isEmpty()) {
        Reply answer;
        answer.key = first.requestKey;
        answer.requester = first.requester;
        answer.errors.append(ReplyError{first.error.code, first.error.text});
        return checkReadsBack(answer, "the reply error for a refused request");
    }
    return {};
}

} // namespace tavro::fuzz
