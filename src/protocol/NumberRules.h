#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

/// \brief The rules of document and confirmation numbers, shared by the client and the server.
///
/// An account number (type "A") is 1 to 10 digits. Every other number (daily receipt "D",
/// confirmation "F", receipt, ...) is 1 to 7 digits, optionally followed by "-" and one check
/// digit computed over the number zero-padded to seven digits:
/// \code
/// QString why;
/// validateNumber(u"D", u"0012345-5", &why); // true
/// validateNumber(u"D", u"0012345-6", &why); // false, why == "The check digit does not match"
/// \endcode
namespace tavro::protocol {

/// Longest account number.
inline constexpr int AccountDigits = 10;
/// Longest number of every other type; also the width of a confirmation number.
inline constexpr int DocumentDigits = 7;

/// \brief The Luhn (mod 10) check digit of \a digits.
///
/// From the rightmost digit leftwards every other digit is doubled (a two-digit product counts
/// as the sum of its digits), starting with the rightmost; the check digit is what brings the sum
/// to a multiple of ten. It catches every single-digit error and every transposition of two
/// adjacent digits except 0 and 9. Leading zeros do not change it, so "12345" and "0012345" have
/// the same check digit. Returns -1 when \a digits holds anything but ASCII digits; the empty text
/// gives 0.
int checkDigit(QStringView digits);

/// \brief Whether \a text is a valid number of the code \a type ("A", "D", "F", ...).
///
/// The text is taken as it is: blanks are refused, callers trim first where they mean to.
/// The type code is compared trimmed. On refusal \a message (when given) receives why, in words an
/// officer understands; on success it is emptied.
bool validateNumber(QStringView type, QStringView text, QString* message);

/// Backspace, as the key filter receives it.
inline constexpr QChar Backspace = QChar(0x08);

/// \brief The keystroke filter of a number entry field holding \a currentText.
///
/// Accepts digits and Backspace; "-" only for types other than "A", only when the text has no "-"
/// yet and is not empty (so the dash never comes first). Everything else is refused.
bool acceptsKey(QStringView type, QStringView currentText, QChar key);

} // namespace tavro::protocol
