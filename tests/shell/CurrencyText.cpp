#include "CurrencyText.h"

#include "runtime/CurrencyFormat.h"

namespace tavro::test {

std::optional<qint64> currencyUnits(const QString& shown)
{
    const auto amount = parseCurrency(shown);
    if (!amount)
        return std::nullopt;
    return amount->units();
}

} // namespace tavro::test
