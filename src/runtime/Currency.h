#pragma once

#include <compare>
#include <optional>
#include <QMetaType>
#include <QString>

namespace tavro {

/// \brief Exact money: a 64-bit integer of ten-thousandths.
///
/// Arithmetic that leaves the range +/-922,337,203,685,477.5807 raises the
/// classic overflow error (6). Conversions from numbers round half to even at
/// the fourth decimal, as the classic CCur does.
class Currency
{
public:
    static constexpr qint64 Scale = 10000;

    constexpr Currency() = default;
    static constexpr Currency fromUnits(qint64 units) { return Currency(units); }
    /// Whole and fractional amount, e.g. fromDouble(12.5). Raises 6 when out of range.
    static Currency fromDouble(double value);
    static Currency fromLong(qint64 value);
    /// Plain decimal text as the wire and the database carry it ("-1234.5", "0.0001").
    /// More than four decimals are rounded half to even. Nothing else is accepted.
    static std::optional<Currency> fromPlainText(QStringView text);

    constexpr qint64 units() const { return m_units; }
    double toDouble() const { return static_cast<double>(m_units) / Scale; }
    /// Plain text without grouping or symbol and without trailing zeros ("12.5", "-3", "0.0001"):
    /// the classic text of a Currency value.
    QString toPlainText() const;

    Currency operator+(Currency other) const;
    Currency operator-(Currency other) const;
    Currency operator-() const;
    Currency& operator+=(Currency other) { return *this = *this + other; }
    Currency& operator-=(Currency other) { return *this = *this - other; }
#ifndef Q_MOC_RUN // moc of Qt 6.4 cannot parse a defaulted three-way comparison
    constexpr auto operator<=>(const Currency&) const = default;
#endif

private:
    constexpr explicit Currency(qint64 units) : m_units(units) {}
    qint64 m_units = 0;
};

} // namespace tavro

Q_DECLARE_METATYPE(tavro::Currency)
