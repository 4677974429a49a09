#pragma once

#include <optional>
#include <QString>

namespace tavro::test {

/// Reads an amount as the screen shows it (the locale's currency format) into ten-thousandths.
/// Kept out of the test sources because moc cannot read the runtime's Currency header.
std::optional<qint64> currencyUnits(const QString& shown);

} // namespace tavro::test
