#pragma once

#include <optional>
#include <QLocale>
#include <QString>

namespace tavro::detail {

/// \brief A number read from a text, kept as decimal digits so that no precision is lost.
///
/// The value is `digits * 10^(exponent - fractionDigits)`, negated when `negative` is set.
struct DecimalText
{
    bool negative = false;
    QString digits;         ///< ASCII digits, never empty
    int fractionDigits = 0; ///< how many of \c digits stand after the decimal point
    int exponent = 0;
};

enum NumberTextOption
{
    NoNumberTextOption = 0,
    AllowExponent = 1,    ///< "1.5E3", "2e-2"
    AllowRadixPrefix = 2, ///< "&H1F", "&O17", read as the classic integers they stand for
};

/// Reads a whole text as one number written the way people and the locale write amounts:
/// blanks around it, the locale's currency symbol or ISO code before or after it, a sign
/// ('-', U+2212, '+' or the locale's own) before or after it, or parentheses around it,
/// the locale's group separator between the digits of the whole part (any blank stands for
/// a blank separator, an ASCII apostrophe for U+2019) and the locale's decimal point.
/// Digits of any script are read. Returns nullopt when the text is not such a number.
std::optional<DecimalText> readNumberText(QStringView text, const QLocale& locale, int options);

/// The value of a classic "&H"/"&O" literal: up to 16 bits it is a signed 16-bit integer and
/// up to 32 bits a signed 32-bit one ("&HFFFF" is -1); nullopt when it has no digits, a digit
/// outside the base, or more than 32 bits.
std::optional<qint64> radixLiteralValue(QStringView digits, int base);

/// The code point at text[i]; scripts such as Adlam and Chakma have their digits beyond
/// the first plane, as surrogate pairs.
char32_t codePointAt(QStringView text, qsizetype i);
/// Length in UTF-16 units of the decimal digit (of any script) at text[i], 0 if there is none.
qsizetype digitLengthAt(QStringView text, qsizetype i);
int digitValueAt(QStringView text, qsizetype i);

/// Plain text "[-]whole[.fraction]" of the number with the exponent applied, as
/// Currency::fromPlainText reads it; nullopt when the exponent is absurdly large.
std::optional<QString> toPlainDecimal(const DecimalText& number);

/// The nearest double; nullopt when the number is beyond the range of a double.
std::optional<double> toDouble(const DecimalText& number);

} // namespace tavro::detail
