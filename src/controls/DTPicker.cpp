#include "controls/DTPicker.h"

#include "runtime/ClassicError.h"

namespace tavro {

namespace {

// Counts how often the character at \a pos repeats.
qsizetype runLength(const QString& text, qsizetype pos)
{
    qsizetype end = pos;
    while (end < text.size() && text.at(end) == text.at(pos))
        ++end;
    return end - pos;
}

bool isQtFormatLetter(QChar c)
{
    return QStringLiteral("dMyhHmszaApPt").contains(c);
}

} // namespace

DTPicker::DTPicker(QWidget* parent) : ClassicControl<QDateEdit>(parent)
{
    setCalendarPopup(true);
    ++m_assigning;
    setDateRange(earliestDate(), latestDate());
    setDate(QDate::currentDate());
    --m_assigning;
    connect(this, &QDateEdit::dateChanged, this, [this]() {
        if (m_assigning == 0)
            emit Change();
    });
}

QString DTPicker::qtFormat(const QString& classicFormat)
{
    QString result;
    QString literal; // letters that are plain text here but would be format letters to Qt
    const auto flushLiteral = [&] {
        if (!literal.isEmpty())
            result += QLatin1Char('\'') + literal + QLatin1Char('\'');
        literal.clear();
    };
    qsizetype pos = 0;
    while (pos < classicFormat.size()) {
        const QChar c = classicFormat.at(pos);
        if (c == QLatin1Char('\'')) {
            // Quoted literal: the same syntax in both, copied up to the closing quote.
            flushLiteral();
            const qsizetype close = classicFormat.indexOf(QLatin1Char('\''), pos + 1);
            const qsizetype end = close < 0 ? classicFormat.size() : close + 1;
            result += classicFormat.mid(pos, end - pos);
            pos = end;
            continue;
        }
        const qsizetype run = runLength(classicFormat, pos);
        pos += run;
        if (!QStringLiteral("dMyhHmst").contains(c) && isQtFormatLetter(c)) {
            literal += QString(run, c);
            continue;
        }
        flushLiteral();
        switch (c.unicode()) {
        case 'd':
        case 'M':
            result += QString(qMin<qsizetype>(run, 4), c);
            break;
        case 'y':
            // One-digit and three-digit years have no Qt equivalent.
            result += run <= 2 ? QStringLiteral("yy") : QStringLiteral("yyyy");
            break;
        case 'h':
        case 'H':
        case 'm':
        case 's':
            result += QString(qMin<qsizetype>(run, 2), c);
            break;
        case 't':
            result += QStringLiteral("AP");
            break;
        default:
            result += QString(run, c);
            break;
        }
    }
    flushLiteral();
    return result;
}

void DTPicker::setCustomFormat(const QString& format)
{
    m_customFormat = format;
    ++m_assigning;
    setDisplayFormat(qtFormat(format));
    --m_assigning;
}

void DTPicker::setMinDate(const QDate& date)
{
    if (!date.isValid() || date < earliestDate() || date > maximumDate())
        raiseError(err::InvalidPropertyValue);
    ++m_assigning;
    setMinimumDate(date); // moves the value up when it was below
    --m_assigning;
}

void DTPicker::setMaxDate(const QDate& date)
{
    if (!date.isValid() || date > latestDate() || date < minimumDate())
        raiseError(err::InvalidPropertyValue);
    ++m_assigning;
    setMaximumDate(date); // moves the value down when it was above
    --m_assigning;
}

void DTPicker::setValue(const QDate& date)
{
    if (!date.isValid() || date < minimumDate() || date > maximumDate())
        raiseError(err::InvalidPropertyValue);
    ++m_assigning;
    setDate(date);
    --m_assigning;
}

} // namespace tavro
