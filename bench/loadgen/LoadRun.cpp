#include "LoadRun.h"

#include "protocol/Messages.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <QDate>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QTimer>
#include <QWebSocket>

namespace tavro::loadgen {

using namespace protocol;

namespace {

const QString Requester = QStringLiteral("TAVRO_CnfrmPymt");

QString sevenDigits(qint64 number)
{
    return QStringLiteral("%1").arg(number, 7, 10, QLatin1Char('0'));
}

Criterion criterion(const QString& key, const QString& value)
{
    return {QStringLiteral("KESTROVA"), key, QStringLiteral("="), value};
}

class Client;

// A batch this run confirmed, with its number, waiting to be unconfirmed.
struct Confirmed
{
    qint64 batch = 0;
    QString number;
};

// What every client shares: the options, the clock, the results, the batches still free to
// confirm or to unconfirm and the journal. Everything runs on one thread, so none of it needs a lock.
struct Shared
{
    const Options& options;
    Results& results;
    QEventLoop loop;
    QElapsedTimer clock;
    qint64 measuredFrom = -1;
    qint64 issued = 0;
    qint64 nextConfirm = 0;
    int ready = 0;
    int done = 0;
    std::vector<std::unique_ptr<Client>> clients;
    QList<Confirmed> toUnconfirm;
    QList<qint64> toReconfirm;
    QList<JournalEntry> toResend;
    const QString runId = QString::number(QRandomGenerator::global()->generate64(), 36);
    QFile journal;

    explicit Shared(const Options& o, Results& r) : options(o), results(r) {}
    qint64 lastBatch() const { return options.firstBatch + options.batches - 1; }
    bool measuring() const { return measuredFrom >= 0; }
    bool mayIssue()
    {
        if (options.count > 0)
            return issued < options.count;
        return double(clock.nsecsElapsed() - measuredFrom) < options.seconds * 1e9;
    }
    std::optional<qint64> takeConfirmBatch()
    {
        if (!toReconfirm.isEmpty())
            return toReconfirm.takeFirst();
        if (nextConfirm > lastBatch())
            return std::nullopt;
        return nextConfirm++;
    }
    void clientReady();
    void clientDone();
    // Flushed line by line: the process on the other end may be killed at any moment, and what
    // was acknowledged before must be on file.
    void record(const JournalEntry& entry)
    {
        if (!journal.isOpen())
            return;
        journal.write((entry.toLine() + u'\n').toUtf8());
        journal.flush();
    }
};

class Client : public QObject
{
public:
    Client(Shared& shared, int index)
        : m_shared(shared), m_index(index), m_random(quint32(index) * 2654435761u + 17u)
    {
        for (const MixEntry& entry : shared.options.mix)
            for (int i = 0; i < entry.weight; ++i)
                m_schedule.append(entry.kind);
        m_position = m_schedule.isEmpty() ? 0 : index % m_schedule.size();
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, [this] { fail(QStringLiteral("timeout")); });
        connect(&m_socket, &QWebSocket::connected, this, [this] {
            m_phase = Phase::SigningIn;
            send(Login{m_shared.options.user, m_shared.options.password});
        });
        connect(&m_socket, &QWebSocket::textMessageReceived, this, &Client::received);
        connect(&m_socket, &QWebSocket::binaryMessageReceived, this,
                [this] { fail(QStringLiteral("binary-frame")); });
        connect(&m_socket, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), this,
                [this] { fail(QStringLiteral("socket: %1").arg(m_socket.errorString())); });
        connect(&m_socket, &QWebSocket::disconnected, this, [this] { fail(QStringLiteral("disconnected")); });
    }

    void open()
    {
        m_timer.start(m_shared.options.timeoutMs);
        m_socket.open(m_shared.options.url);
    }

    // Starts the measured steps.
    void go() { next(); }

private:
    enum class Phase
    {
        Connecting,
        SigningIn,
        Warmup,
        WaitingToStart,
        Running,
        Done
    };

    void send(const Message& message)
    {
        m_timer.start(m_shared.options.timeoutMs);
        m_sentAt = m_shared.clock.nsecsElapsed();
        m_socket.sendTextMessage(QString::fromUtf8(encode(message)));
    }

    Request request(int code)
    {
        Request r;
        // Keys differ from run to run: the server answers a key it has seen with its first answer.
        r.key = QStringLiteral("%1c%2-%3").arg(m_shared.runId).arg(m_index).arg(++m_sequence);
        r.requester = Requester;
        r.userId = m_profile.userId;
        r.version = QStringLiteral("5.1");
        r.requestCode = code;
        return r;
    }

    qint64 randomBatch() { return m_shared.options.firstBatch + m_random.bounded(m_shared.options.batches); }
    qint64 firstReceiptOf(qint64 batch) const
    {
        return m_shared.options.firstReceipt +
               (batch - m_shared.options.firstBatch) * m_shared.options.receiptsPerBatch;
    }

    void next()
    {
        if (m_phase == Phase::Done)
            return;
        if (m_phase == Phase::Warmup && m_warmupLeft <= 0) {
            m_phase = Phase::WaitingToStart;
            m_shared.clientReady();
            return;
        }
        if (m_phase == Phase::WaitingToStart)
            m_phase = Phase::Running;
        if (m_phase == Phase::Running && !m_shared.mayIssue()) {
            finish();
            return;
        }
        for (qsizetype tries = 0; tries < m_schedule.size(); ++tries) {
            const Kind kind = m_schedule[m_position];
            m_position = (m_position + 1) % m_schedule.size();
            if (start(kind)) {
                if (m_phase == Phase::Running)
                    ++m_shared.issued;
                else
                    --m_warmupLeft;
                return;
            }
        }
        // Nothing of the mix can run any more (every batch is confirmed).
        if (m_phase == Phase::Warmup) {
            m_phase = Phase::WaitingToStart;
            m_shared.clientReady();
        }
        finish();
    }

    bool start(Kind kind)
    {
        m_kind = kind;
        m_confirmStep = 0;
        switch (kind) {
        case Kind::Ping:
            m_key = QStringLiteral("p%1-%2").arg(m_index).arg(++m_sequence);
            send(Ping{m_key});
            return true;
        case Kind::Search: {
            Request r = request(Search);
            r.criteria = {criterion(QStringLiteral("key:DOC_NBR"), sevenDigits(randomBatch())),
                          criterion(QStringLiteral("key:DOC_TYP_CD"), QStringLiteral("D")),
                          criterion(QStringLiteral("key:CONF"), m_shared.options.conf),
                          criterion(QStringLiteral("key:thin"), QStringLiteral("Yes"))};
            sendRequest(r);
            return true;
        }
        case Kind::Receipt: {
            Request r = request(Details);
            const qint64 receipt =
                firstReceiptOf(randomBatch()) + m_random.bounded(m_shared.options.receiptsPerBatch);
            r.criteria = {criterion(QStringLiteral("key:RCPT_NBR"), QString::number(receipt)),
                          criterion(QStringLiteral("key:THIN"), QStringLiteral("Yes"))};
            sendRequest(r);
            return true;
        }
        case Kind::Funds: {
            Request r = request(Details);
            DataSet set;
            set.fields = {{QStringLiteral("FRCPT_NBR"), FieldType::Text}};
            const qint64 first = firstReceiptOf(randomBatch());
            for (int i = 0; i < m_shared.options.receiptsPerBatch; ++i)
                set.records.append(QList<Value>{QString::number(first + i)});
            r.dataSets.insert(QStringLiteral("RECEIPT"), set);
            sendRequest(r);
            return true;
        }
        case Kind::FormNumber:
            sendFormNumber();
            return true;
        case Kind::Resend:
            if (m_shared.toResend.isEmpty())
                return false;
            m_saved = m_shared.toResend.takeFirst();
            m_batch = m_saved.batch;
            m_number = m_saved.number;
            m_confirmStep = 2;
            sendRequest(saveRequest(m_saved));
            return true;
        case Kind::Unconfirm: {
            if (m_shared.toUnconfirm.isEmpty())
                return false;
            const Confirmed taken = m_shared.toUnconfirm.takeFirst();
            m_batch = taken.batch;
            m_number = taken.number;
            sendUnconfirm();
            return true;
        }
        case Kind::Confirm: {
            const auto batch = m_shared.takeConfirmBatch();
            if (!batch)
                return false;
            m_batch = *batch;
            m_confirmStep = 1;
            m_confirmStarted = m_shared.clock.nsecsElapsed();
            sendFormNumber();
            return true;
        }
        }
        return false;
    }

    void sendFormNumber()
    {
        Request r = request(FormNumber);
        r.criteria = {criterion(QStringLiteral("key:FORM_TYP_CD"), QStringLiteral("F"))};
        sendRequest(r);
    }

    // The save \a entry describes, built the same way every time: a resend must be the same request.
    Request saveRequest(const JournalEntry& entry)
    {
        Request r = request(Save);
        r.key = entry.key;
        DataSet set;
        set.fields = {{QStringLiteral("ACTION"), FieldType::Text},
                      {QStringLiteral("DLY_RCPT_NBR"), FieldType::Long},
                      {QStringLiteral("CNFRMTN_DT"), FieldType::Date}};
        QList<Value> record{entry.action, entry.batch, entry.date};
        if (entry.action == u"UPD") {
            set.fields += {{QStringLiteral("CNFRMTN_NBR"), FieldType::Text},
                           {QStringLiteral("CNFRMTN_OFCR_ID"), FieldType::Long},
                           {QStringLiteral("TRP_ID"), FieldType::Text},
                           {QStringLiteral("TRP_DSTRCT_ID"), FieldType::Text}};
            record += {entry.number, qint64(m_profile.officerId), m_profile.trpId, m_profile.trpDstrctId};
        } else {
            set.fields.append({QStringLiteral("DLY_RCPT_CMMT_TXT"), FieldType::Text});
            record.append(entry.reason);
        }
        set.records.append(record);
        r.dataSets.insert(QStringLiteral("CONFIRMATION"), set);
        return r;
    }

    void sendSave(qint64 number)
    {
        m_number = sevenDigits(number);
        const QString key = request(Save).key;
        m_saved = {false, QStringLiteral("UPD"), m_batch, m_number, QDate::currentDate(), key, QString()};
        m_confirmStep = 2;
        sendRequest(saveRequest(m_saved));
        m_shared.record(m_saved);
    }

    void sendUnconfirm()
    {
        const QString key = request(Save).key;
        m_saved = {false,
                   QStringLiteral("UNCONFIRM"),
                   m_batch,
                   m_number,
                   QDate::currentDate(),
                   key,
                   QStringLiteral("Load run %1 takes back %2").arg(key, m_number)};
        sendRequest(saveRequest(m_saved));
        m_shared.record(m_saved);
    }

    // A save's answer must show the batch as the save left it; only then is it acknowledged.
    bool acknowledge(const Reply& reply, bool confirmed)
    {
        const auto set = reply.dataSets.constFind(QStringLiteral("CONFIRMATION"));
        const Value number =
            set == reply.dataSets.cend() ? Value(QString()) : set->value(0, QStringLiteral("CNFRMTN_NBR"));
        if (number != (confirmed ? Value(m_number) : Value()))
            return false;
        m_saved.acknowledged = true;
        m_shared.record(m_saved);
        if (confirmed) {
            m_shared.results.confirmedBatches.append(m_batch);
            m_shared.toUnconfirm.append({m_batch, m_number});
        } else {
            m_shared.results.unconfirmedBatches.append(m_batch);
            m_shared.toReconfirm.append(m_batch);
        }
        return true;
    }

    void sendRequest(const Request& r)
    {
        m_key = r.key;
        send(r);
    }

    void received(const QString& text)
    {
        const qint64 now = m_shared.clock.nsecsElapsed();
        if (m_phase == Phase::Done)
            return;
        m_timer.stop();
        const DecodeResult decoded = decode(text.toUtf8());
        if (!decoded.message) {
            fail(QStringLiteral("undecodable: %1").arg(decoded.error.code));
            return;
        }
        const Message& message = *decoded.message;
        if (m_phase == Phase::SigningIn) {
            if (const auto* session = std::get_if<Session>(&message)) {
                m_profile = session->profile;
                ++m_shared.results.signedIn;
                m_warmupLeft = m_shared.options.warmup;
                m_phase = Phase::Warmup;
                next();
            } else if (const auto* error = std::get_if<Error>(&message)) {
                fail(QStringLiteral("sign-in refused: %1").arg(error->code));
            } else {
                fail(QStringLiteral("unexpected %1 frame").arg(typeName(message)));
            }
            return;
        }
        if (m_phase != Phase::Warmup && m_phase != Phase::Running) {
            fail(QStringLiteral("unexpected %1 frame").arg(typeName(message)));
            return;
        }
        const bool measured = m_phase == Phase::Running;
        KindStats& stats = m_shared.results.kinds[m_kind];
        auto refused = [&](const QString& code) {
            if (measured)
                ++stats.errors[code];
            next();
        };
        auto answered = [&](qint64 rows, bool empty) {
            if (measured) {
                stats.latencies.append(now - (m_kind == Kind::Confirm ? m_confirmStarted : m_sentAt));
                stats.rows += rows;
                if (empty)
                    ++stats.empty;
            }
            next();
        };

        if (const auto* error = std::get_if<Error>(&message)) {
            refused(error->code);
            return;
        }
        if (const auto* pong = std::get_if<Pong>(&message)) {
            if (m_kind != Kind::Ping || pong->key != m_key)
                fail(QStringLiteral("unexpected pong"));
            else
                answered(0, false);
            return;
        }
        const auto* reply = std::get_if<Reply>(&message);
        if (!reply || reply->key != m_key) {
            fail(reply ? QStringLiteral("reply to another request")
                       : QStringLiteral("unexpected %1 frame").arg(typeName(message)));
            return;
        }
        if (!reply->errors.isEmpty()) {
            refused(reply->errors.front().code);
            return;
        }
        auto rowsOf = [reply](const char* name) -> qint64 {
            const auto set = reply->dataSets.constFind(QString::fromLatin1(name));
            return set == reply->dataSets.cend() ? -1 : set->records.size();
        };
        switch (m_kind) {
        case Kind::Ping:
            fail(QStringLiteral("reply to a ping"));
            return;
        case Kind::Search: {
            const qint64 rows = rowsOf("RECEIPT");
            answered(std::max<qint64>(rows, 0), rows <= 0);
            return;
        }
        case Kind::Receipt:
        case Kind::Funds: {
            const qint64 rows = rowsOf("FUND");
            answered(std::max<qint64>(rows, 0), rows <= 0);
            return;
        }
        case Kind::Unconfirm:
        case Kind::Resend:
        case Kind::FormNumber:
        case Kind::Confirm: {
            if (m_kind == Kind::Unconfirm || m_confirmStep == 2) {
                if (acknowledge(*reply, m_saved.action == u"UPD"))
                    answered(1, false);
                else
                    refused(QStringLiteral("saved-state-differs"));
                return;
            }

            const auto set = reply->dataSets.constFind(QStringLiteral("REQ"));
            const Value number = set == reply->dataSets.cend() ? Value() : set->value(0, QStringLiteral("F"));
            const auto* n = std::get_if<qint64>(&number);
            if (!n) {
                refused(QStringLiteral("no-form-number"));
                return;
            }
            if (m_kind == Kind::Confirm)
                sendSave(*n);
            else
                answered(1, false);
            return;
        }
        }
    }

    void fail(const QString& what)
    {
        if (m_phase == Phase::Done)
            return;
        ++m_shared.results.transport[what];
        if (m_phase == Phase::Connecting || m_phase == Phase::SigningIn || m_phase == Phase::Warmup)
            m_shared.clientReady();
        finish();
    }

    void finish()
    {
        if (m_phase == Phase::Done)
            return;
        m_phase = Phase::Done;
        m_timer.stop();
        disconnect(&m_socket, nullptr, this, nullptr);
        m_socket.abort();
        m_shared.clientDone();
    }

    Shared& m_shared;
    int m_index;
    QRandomGenerator m_random;
    QWebSocket m_socket;
    QTimer m_timer;
    Phase m_phase = Phase::Connecting;
    QList<Kind> m_schedule;
    qsizetype m_position = 0;
    int m_warmupLeft = 0;
    Profile m_profile;
    int m_sequence = 0;
    Kind m_kind = Kind::Ping;
    QString m_key;
    qint64 m_sentAt = 0;
    qint64 m_confirmStarted = 0;
    int m_confirmStep = 0;
    qint64 m_batch = 0;
    QString m_number;
    JournalEntry m_saved;
};

void Shared::clientReady()
{
    if (++ready < int(clients.size()))
        return;
    // Every client has signed in and warmed up (or failed): the measured part starts for all at once.
    measuredFrom = clock.nsecsElapsed();
    for (const auto& client : clients)
        QTimer::singleShot(0, client.get(), [c = client.get()] { c->go(); });
}

void Shared::clientDone()
{
    if (++done == int(clients.size()))
        QTimer::singleShot(0, &loop, [this] { loop.quit(); });
}

} // namespace

QString kindName(Kind kind)
{
    switch (kind) {
    case Kind::Ping:
        return QStringLiteral("ping");
    case Kind::Search:
        return QStringLiteral("search");
    case Kind::Receipt:
        return QStringLiteral("receipt");
    case Kind::Funds:
        return QStringLiteral("funds");
    case Kind::FormNumber:
        return QStringLiteral("number");
    case Kind::Confirm:
        return QStringLiteral("confirm");
    case Kind::Unconfirm:
        return QStringLiteral("unconfirm");
    case Kind::Resend:
        return QStringLiteral("resend");
    }
    return {};
}

std::optional<Kind> kindFromName(QStringView name)
{
    for (Kind kind : AllKinds)
        if (name == kindName(kind))
            return kind;
    return std::nullopt;
}

std::optional<QList<MixEntry>> parseMix(const QString& text, QString* error)
{
    QList<MixEntry> mix;
    for (const QString& part : text.split(u',', Qt::SkipEmptyParts)) {
        const QStringList pieces = part.trimmed().split(u':');
        const auto kind = kindFromName(pieces.front());
        if (!kind || pieces.size() > 2) {
            *error =
                QStringLiteral(
                    "\"%1\" is not one of ping, search, receipt, funds, number, confirm, unconfirm, resend "
                    "(optionally followed by :WEIGHT)")
                    .arg(part.trimmed());
            return std::nullopt;
        }
        bool ok = true;
        const int weight = pieces.size() == 2 ? pieces[1].toInt(&ok) : 1;
        if (!ok || weight < 1 || weight > 1000) {
            *error =
                QStringLiteral("the weight of \"%1\" must be a number from 1 to 1000").arg(pieces.front());
            return std::nullopt;
        }
        mix.append({*kind, weight});
    }
    if (mix.isEmpty()) {
        *error = QStringLiteral("the mix names no kind of step");
        return std::nullopt;
    }
    return mix;
}

qint64 KindStats::errorCount() const
{
    qint64 n = 0;
    for (qint64 count : errors)
        n += count;
    return n;
}

qint64 Results::transportErrorCount() const
{
    qint64 n = 0;
    for (qint64 count : transport)
        n += count;
    return n;
}

qint64 Results::errorCount() const
{
    qint64 n = transportErrorCount();
    for (const KindStats& stats : kinds)
        n += stats.errorCount();
    return n;
}

QString JournalEntry::toLine() const
{
    QString flat = reason;
    flat.replace(u'\t', u' ').replace(u'\n', u' ');
    return QStringList{acknowledged ? QStringLiteral("ack") : QStringLiteral("sent"),
                       action,
                       QString::number(batch),
                       number,
                       date.toString(Qt::ISODate),
                       key,
                       flat}
        .join(u'\t');
}

std::optional<JournalEntry> JournalEntry::fromLine(const QString& line)
{
    const QStringList parts = line.split(u'\t');
    if (parts.size() != 7 || (parts[0] != u"ack" && parts[0] != u"sent") ||
        (parts[1] != u"UPD" && parts[1] != u"UNCONFIRM"))
        return std::nullopt;
    JournalEntry entry{parts[0] == u"ack", parts[1], 0, parts[3], QDate::fromString(parts[4], Qt::ISODate),
                       parts[5],           parts[6]};
    bool ok = false;
    entry.batch = parts[2].toLongLong(&ok);
    if (!ok || entry.batch <= 0 || !entry.date.isValid() || entry.key.isEmpty())
        return std::nullopt;
    return entry;
}

std::optional<QList<JournalEntry>> readJournal(const QString& path, QString* error)
{
    QFile file(path);
    QList<JournalEntry> entries;
    if (!file.exists())
        return entries;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = file.errorString();
        return std::nullopt;
    }
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        const auto entry = JournalEntry::fromLine(QString::fromUtf8(line));
        if (!entry) {
            *error = QStringLiteral("unreadable journal line: %1").arg(QString::fromUtf8(line));
            return std::nullopt;
        }
        entries.append(*entry);
    }
    return entries;
}

QList<JournalEntry> unacknowledged(const QList<JournalEntry>& journal)
{
    QList<JournalEntry> open;
    for (const JournalEntry& entry : journal) {
        if (!entry.acknowledged) {
            open.append(entry);
            continue;
        }
        const auto sent = std::find_if(open.begin(), open.end(), [&](const JournalEntry& e) {
            return e.key == entry.key && e.batch == entry.batch;
        });
        if (sent != open.end())
            open.erase(sent);
    }
    return open;
}

qint64 percentile(const QList<qint64>& sorted, double p)
{
    if (sorted.isEmpty())
        return 0;
    const auto rank = qsizetype(std::ceil(p / 100.0 * double(sorted.size())));
    return sorted[std::clamp<qsizetype>(rank - 1, 0, sorted.size() - 1)];
}

Results run(const Options& options)
{
    Results results;
    Shared shared(options, results);
    shared.nextConfirm = options.confirmFrom > 0 ? options.confirmFrom : options.firstBatch;
    shared.toResend = options.resend;
    if (!options.journalPath.isEmpty()) {
        shared.journal.setFileName(options.journalPath);
        if (!shared.journal.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
            ++results.transport[QStringLiteral("journal: %1").arg(shared.journal.errorString())];
            return results;
        }
    }
    for (int i = 0; i < options.clients; ++i)
        shared.clients.push_back(std::make_unique<Client>(shared, i));
    shared.clock.start();
    for (const auto& client : shared.clients)
        client->open();
    if (!shared.clients.empty())
        shared.loop.exec();
    results.seconds =
        shared.measuring() ? double(shared.clock.nsecsElapsed() - shared.measuredFrom) / 1e9 : 0.0;
    for (KindStats& stats : results.kinds)
        std::sort(stats.latencies.begin(), stats.latencies.end());
    return results;
}

QString report(const Options& options, const Results& results)
{
    QString out;
    auto ms = [](qint64 ns) { return QString::number(double(ns) / 1e6, 'f', 3); };
    out += QStringLiteral("%1 clients (%2 signed in) on %3, %4 s measured\n")
               .arg(options.clients)
               .arg(results.signedIn)
               .arg(options.url.toString())
               .arg(results.seconds, 0, 'f', 2);
    out += QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9\n")
               .arg(QStringLiteral("kind"), -8)
               .arg(QStringLiteral("ok"), 9)
               .arg(QStringLiteral("errors"), 7)
               .arg(QStringLiteral("per s"), 10)
               .arg(QStringLiteral("p50 ms"), 9)
               .arg(QStringLiteral("p95 ms"), 9)
               .arg(QStringLiteral("p99 ms"), 9)
               .arg(QStringLiteral("max ms"), 9)
               .arg(QStringLiteral("rows/ok"), 8);
    for (Kind kind : AllKinds) {
        const auto found = results.kinds.constFind(kind);
        if (found == results.kinds.cend())
            continue;
        const KindStats& s = *found;
        const qsizetype ok = s.latencies.size();
        const double perSecond = results.seconds > 0 ? double(ok) / results.seconds : 0.0;
        out += QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9\n")
                   .arg(kindName(kind), -8)
                   .arg(ok, 9)
                   .arg(s.errorCount(), 7)
                   .arg(perSecond, 10, 'f', 1)
                   .arg(ms(percentile(s.latencies, 50)), 9)
                   .arg(ms(percentile(s.latencies, 95)), 9)
                   .arg(ms(percentile(s.latencies, 99)), 9)
                   .arg(ms(s.latencies.isEmpty() ? 0 : s.latencies.back()), 9)
                   .arg(ok > 0 ? double(s.rows) / double(ok) : 0.0, 8, 'f', 1);
        for (auto e = s.errors.cbegin(); e != s.errors.cend(); ++e)
            out += QStringLiteral("  %1 error %2: %3\n").arg(kindName(kind), e.key()).arg(e.value());
        if (s.empty > 0)
            out += QStringLiteral("  %1 answered without rows: %2\n").arg(kindName(kind)).arg(s.empty);
    }
    for (auto t = results.transport.cbegin(); t != results.transport.cend(); ++t)
        out += QStringLiteral("transport error %1: %2\n").arg(t.key()).arg(t.value());
    if (!results.confirmedBatches.isEmpty()) {
        QList<qint64> batches = results.confirmedBatches;
        std::sort(batches.begin(), batches.end());
        const qint64 distinct = std::unique(batches.begin(), batches.end()) - batches.begin();
        out += QStringLiteral("confirmed %1 batches (%2 distinct), %3 to %4\n")
                   .arg(results.confirmedBatches.size())
                   .arg(distinct)
                   .arg(sevenDigits(batches.front()), sevenDigits(batches[distinct - 1]));
    }
    if (!results.unconfirmedBatches.isEmpty())
        out += QStringLiteral("unconfirmed %1 batches\n").arg(results.unconfirmedBatches.size());
    out += QStringLiteral("errors: %1 (transport %2)\n")
               .arg(results.errorCount())
               .arg(results.transportErrorCount());
    return out;
}

} // namespace tavro::loadgen
