#pragma once

#include "protocol/Messages.h"

#include <QList>

namespace tavro::protocol {

/// \brief The fields, in order, of the data sets a reply delivers.
///
/// The server builds its replies from these and the client gives them to a set that was
/// defined but never delivered, so both sides agree on names and types.

/// "RECEIPT": the receipts a search finds.
QList<Field> receiptFields();
/// "ACNTSRCVBL": the receivables a receipt's payment was applied to.
QList<Field> receivableFields();
/// "FUND": the funds of one or more receipts.
QList<Field> fundFields();

} // namespace tavro::protocol
