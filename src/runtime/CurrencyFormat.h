#pragma once

#include "runtime/Currency.h"

#include <optional>
#include <QLocale>
#include <QString>
#include <QVariant>

namespace tavro {

class TextBuffer;

/// \brief Currency amounts as the officer sees them: the locale's currency format.
///
/// formatCurrency writes an amount the way QLocale::toCurrencyString does at the locale's
/// regional defaults (its number of decimals, symbol placement, negative style and
/// grouping), but from the exact integer, so that amounts far beyond a double's precision
/// keep every digit. Rounding to the locale's decimals is half away from zero.
/// parseCurrency reads back every text that formatCurrency writes, in every locale, and
/// also plain numbers typed by hand.
/// \code
/// formatCurrency(Currency::fromUnits(-12345000), QLocale("en_US")); // "($1,234.50)"
/// parseCurrency(u"1.234,50 €", QLocale("de_DE"));                  // 1234.5
/// \endcode

/// The amount in the locale's currency format. An amount that rounds to zero at the
/// locale's decimals is written as zero, without a negative style. At the ends of the
/// range, where rounding up would leave it (ja_JP's 922,337,203,685,478), the amount is
/// cut toward zero instead, so that every text written reads back.
QString formatCurrency(Currency amount, const QLocale& locale = QLocale::system());
/// Appends formatCurrency(amount) to \a text, for lists of thousands of amounts.
void appendCurrency(TextBuffer& text, Currency amount, const QLocale& locale = QLocale::system());

/// The number of decimals the locale's currency format shows (2 for en_US, 0 for ja_JP).
int currencyDecimals(const QLocale& locale = QLocale::system());

/// Reads a currency text: the symbol or ISO code before or after the number, with or
/// without a blank; the locale's grouping (any blank stands for a blank separator, an
/// apostrophe for U+2019); a minus sign (ASCII, U+2212 or the locale's) before or after,
/// or parentheses; blanks around. More than four decimals round half to even.
/// Returns nullopt for a text that is not a number and for an amount out of range.
std::optional<Currency> parseCurrency(QStringView text, const QLocale& locale = QLocale::system());
/// A value that reads as an amount: parseCurrency of its text (vb::CStr); nullopt for Null
/// and for values without a text.
std::optional<Currency> readAsCurrency(const QVariant& value, const QLocale& locale = QLocale::system());

/// The classic CDbl of a currency text: the same texts parseCurrency reads, plus exponents,
/// with no limit to the currency range. An empty (or blank) text reads as 0.
/// Raises 13 ("Type mismatch") when the text is not a number, 6 when it exceeds a double.
double currencyTextToDouble(QStringView text, const QLocale& locale = QLocale::system());

} // namespace tavro
