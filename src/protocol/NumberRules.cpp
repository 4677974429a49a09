#include "protocol/NumberRules.h"

namespace tavro::protocol {

namespace {

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool allDigits(QStringView text)
{
    for (QChar c : text) {
        if (!isAsciiDigit(c))
            return false;
    }
    return true;
}

bool isAccount(QStringView type)
{
    return type.trimmed() == u"A";
}

bool refuse(QString* message, const QString& why)
{
    if (message)
        *message = why;
    return false;
}

} // namespace

int checkDigit(QStringView digits)
{
    if (!allDigits(digits))
        return -1;
    int sum = 0;
    bool doubled = true;
    for (qsizetype i = digits.size() - 1; i >= 0; --i) {
        int d = digits[i].unicode() - u'0';
        if (doubled) {
            d *= 2;
            if (d > 9)
                d -= 9;
        }
        sum += d;
        doubled = !doubled;
    }
    return (10 - sum % 10) % 10;
}

bool validateNumber(QStringView type, QStringView text, QString* message)
{
    if (message)
        message->clear();
    if (text.isEmpty())
        return refuse(message, QStringLiteral("Enter a number"));

    if (isAccount(type)) {
        if (!allDigits(text))
            return refuse(message, QStringLiteral("An account number may contain only digits"));
        if (text.size() > AccountDigits)
            return refuse(message,
                          QStringLiteral("The number may have at most %1 digits").arg(AccountDigits));
        return true;
    }

    const qsizetype dash = text.indexOf(u'-');
    const QStringView number = dash < 0 ? text : text.left(dash);
    if (number.isEmpty())
        return refuse(message, QStringLiteral("The number must come before the dash"));
    if (!allDigits(number))
        return refuse(message,
                      QStringLiteral("The number may contain only digits, a dash and one check digit"));
    if (number.size() > DocumentDigits)
        return refuse(message, QStringLiteral("The number may have at most %1 digits").arg(DocumentDigits));
    if (dash < 0)
        return true;

    const QStringView check = text.mid(dash + 1);
    if (check.isEmpty())
        return refuse(message, QStringLiteral("A check digit must follow the dash"));
    if (check.size() > 1 || !isAsciiDigit(check[0]))
        return refuse(message, QStringLiteral("Only one check digit may follow the dash"));

    const QString padded = QStringLiteral("%1").arg(number, DocumentDigits, u'0');
    if (check[0].unicode() - u'0' != checkDigit(padded))
        return refuse(message, QStringLiteral("The check digit does not match"));
    return true;
}

bool acceptsKey(QStringView type, QStringView currentText, QChar key)
{
    if (isAsciiDigit(key) || key == Backspace)
        return true;
    if (key == u'-')
        return !isAccount(type) && !currentText.isEmpty() && !currentText.contains(u'-');
    return false;
}

} // namespace tavro::protocol
