#pragma once

#include "LoadRun.h"
#include "server/DatabaseConfig.h"

#include <optional>
#include <QList>
#include <QSqlDatabase>
#include <QStringList>

namespace tavro::faults {

/// What a look at a store after a crash found.
struct StoreReport
{
    /// Every broken rule, one sentence each; empty when the store holds.
    QStringList problems;
    /// The store's own verdict: SQLite's integrity check, or PostgreSQL's amcheck (B-tree
    /// indexes and heaps), or why it could not be asked.
    QString integrity;
    qint64 auditRows = 0, acknowledged = 0, confirmedBatches = 0;
    /// Saves sent but never acknowledged (the server died first) that are in the store all the same.
    qint64 landedUnacknowledged = 0;
};

/// Checks a store that a load client confirmed and unconfirmed in, with \a journal its record
/// of what it sent and what was acknowledged. Batches \a firstBatch to \a lastBatch are the
/// generated ones, which started unconfirmed and without audit rows. The rules:
/// - the store's own integrity check passes;
/// - every receipt of a batch carries the batch's confirmation number (or none when it has none),
///   and a batch has its number, date and officer all set or all empty;
/// - no confirmation number is held by two batches or confirmed twice in the audit, and every
///   confirmation's number was handed out and is marked used by its batch;
/// - per batch, the audit rows are the journal's saves in the order sent: every acknowledged one,
///   and of the unacknowledged ones only some, never one that was not sent;
/// - every batch is as its last audit row left it, and the audit's receipt counts and totals
///   are the batch's.
StoreReport checkStore(const QSqlDatabase& db, server::Dialect dialect,
                       const QList<loadgen::JournalEntry>& journal, qint64 firstBatch, qint64 lastBatch);

} // namespace tavro::faults
