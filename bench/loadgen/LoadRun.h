#pragma once

#include <optional>
#include <QDate>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace tavro::loadgen {

/// What one client does in one step. A confirmation is a form number (90) and then the save (72)
/// of that number on a batch no other client touches; its latency covers both round trips. An
/// unconfirmation (72 UNCONFIRM, with a reason) takes a batch this run confirmed and has not
/// unconfirmed yet; with none there, the client goes on with the next kind of its mix. Batches
/// this run unconfirmed are confirmed again before new ones are taken, and a batch is in the
/// hands of one client at a time. A resend sends a save of Options::resend again, unchanged and
/// with its request key, as a client does after a lost connection.
enum class Kind
{
    Ping,
    Search,
    Receipt,
    Funds,
    FormNumber,
    Confirm,
    Unconfirm,
    Resend
};

inline constexpr Kind AllKinds[] = {Kind::Ping,       Kind::Search,  Kind::Receipt,   Kind::Funds,
                                    Kind::FormNumber, Kind::Confirm, Kind::Unconfirm, Kind::Resend};

QString kindName(Kind kind);
std::optional<Kind> kindFromName(QStringView name);

/// One kind of the mix and how many of every round of steps it takes.
struct MixEntry
{
    Kind kind = Kind::Ping;
    int weight = 1;
    friend bool operator==(const MixEntry&, const MixEntry&) = default;
};

/// Reads "search:3,ping,confirm:1": kinds separated by commas, each with an optional weight.
std::optional<QList<MixEntry>> parseMix(const QString& text, QString* error);

/// One line of the journal: tab-separated state ("sent" or "ack"), action ("UPD" or
/// "UNCONFIRM"), daily receipt number, confirmation number (the one given, or the one taken
/// away), date (YYYY-MM-DD), request key and the reason of an unconfirmation.
struct JournalEntry
{
    bool acknowledged = false;
    QString action;
    qint64 batch = 0;
    QString number;
    QDate date;
    QString key;
    QString reason;

    QString toLine() const;
    static std::optional<JournalEntry> fromLine(const QString& line);
    friend bool operator==(const JournalEntry&, const JournalEntry&) = default;
};

struct Options
{
    QUrl url;
    int clients = 32;
    QString user;
    QString password;
    /// The run ends after this many seconds, or after \a count steps when count is positive.
    double seconds = 10;
    qint64 count = 0;
    /// Steps each client takes, unmeasured, before the clock starts.
    int warmup = 0;
    QList<MixEntry> mix;
    /// The generated batches: numbers, receipts per batch and the first receipt number.
    qint64 firstBatch = 2000001;
    int batches = 2000;
    int receiptsPerBatch = 20;
    qint64 firstReceipt = 5000001;
    /// Confirmations take unconfirmed batches from here upwards, one per confirmation.
    qint64 confirmFrom = 0;
    /// "F" searches unconfirmed receipts, "T" confirmed ones.
    QString conf = QStringLiteral("F");
    /// A reply that does not come within this time counts as a transport error and ends the client.
    int timeoutMs = 30000;
    /// When set, every save is appended to this file as it is sent and again once it is answered
    /// without an error; see JournalEntry.
    QString journalPath;
    /// Saves the "resend" kind sends again, each once, as they were first sent.
    QList<JournalEntry> resend;
};

struct KindStats
{
    /// Latency of every measured step that was answered without an error, in nanoseconds.
    QList<qint64> latencies;
    /// Reply and error frames by code.
    QMap<QString, qint64> errors;
    /// Replies that had no rows where rows were expected (a search of a confirmed batch, ...).
    qint64 empty = 0;
    qint64 rows = 0;
    qint64 errorCount() const;
};

struct Results
{
    QMap<Kind, KindStats> kinds;
    /// Connection failures, time-outs, undecodable or unexpected frames, by what happened.
    QMap<QString, qint64> transport;
    int signedIn = 0;
    double seconds = 0;
    /// Batches confirmed and unconfirmed in the run (warm-up included), in the order their saves
    /// were answered.
    QList<qint64> confirmedBatches;
    QList<qint64> unconfirmedBatches;
    qint64 transportErrorCount() const;
    qint64 errorCount() const;
};

/// Reads a journal; nullopt with \a error on a line it cannot read. A missing file is empty.
std::optional<QList<JournalEntry>> readJournal(const QString& path, QString* error);
/// The saves of \a journal that were sent and not acknowledged, in the order sent.
QList<JournalEntry> unacknowledged(const QList<JournalEntry>& journal);

/// Nearest-rank percentile \a p (0..100) of \a sorted values.
qint64 percentile(const QList<qint64>& sorted, double p);

/// Runs the load from the calling thread's event loop and returns when every client is done.
Results run(const Options& options);

/// The per-kind table (throughput, p50, p95, p99, max in ms) and every error count.
QString report(const Options& options, const Results& results);

} // namespace tavro::loadgen
