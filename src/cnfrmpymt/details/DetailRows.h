#pragma once

#include "common/DataSet.h"

#include <functional>
#include <optional>
#include <QString>

namespace tavro {

/// \brief Texts the detail views make of reply records: the tab-separated rows that the
/// document's row builders append to the detail grids, and the reconciliation difference.
///
/// Each function reads the current record of its data set only and never moves it. They
/// raise (ClassicError) where a value does not convert; the callers' traps report it.

/// Row of one "ACNTSRCVBL" record: customer, number-check digit, type, and the five amounts
/// as delivered (unformatted), eight fields in all. A Null field contributes nothing; the
/// hyphen and the seven tabs are always written. \a typeLiteral turns a type code that is
/// not Null into its text; it is not called for a Null code.
QString receivableRow(DataSet& record, const std::function<QString(QString&)>& typeLiteral);

/// Row of one "FUND" record for the receipt's funds grid: "Cash", "Check" or "Overage
/// Adjustment" for C, K and X (nothing for any other code or Null), the reference, and the
/// amount as delivered. Three fields.
QString receiptFundRow(DataSet& record);

/// Where a batch fund goes on the funds form and what its row says.
struct BatchFundRow
{
    int grid = 0; ///< 0 the Checks grid, 1 the Cash grid
    QString text;
};

/// Row of one "FUND" record of a whole batch: checks (K) and overage adjustments (X, with
/// "Excess" as the check number) for the Checks grid, cash (C) for the Cash grid, the amount
/// in the system's currency format. nullopt for any other code and for Null.
std::optional<BatchFundRow> batchFundRow(DataSet& record);

/// The reconciliation difference of two figures as their labels show them: both texts are
/// read back to double precision, subtracted, and the result is written in the system's
/// currency format. Raises 13 for a text that is not an amount and 6 when the difference is
/// not a finite amount in the currency range.
QString currencyDifference(const QString& totalText, const QString& reconciledText);

/// Gives an empty set (one that was defined but never delivered) the fields of a record of
/// its kind: "ACNTSRCVBL" or "FUND". Other names and sets that have fields are left alone.
void defineDetailFields(DataSet& set);

} // namespace tavro
