// tavro-loadgen: many concurrent clients of a tavro-server, measuring every kind of step.

#include "LoadRun.h"

#include <cstdio>
#include <QCommandLineParser>
#include <QCoreApplication>

using namespace tavro::loadgen;

namespace {

int failed(const QString& text)
{
    std::fprintf(stderr, "tavro-loadgen: %s\n", qPrintable(text));
    return 2;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavro-loadgen"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Opens N WebSocket connections to a tavro-server, signs each in, and has every client run a mix "
        "of steps one after another for a fixed time or count. Prints, per kind, the answered steps, the "
        "errors, the throughput and the latency percentiles (p50, p95, p99, max), then every error by "
        "code. Exit status 1 when any error was counted.\n\n"
        "Kinds: ping (round trip, nothing done), search (63, one daily batch), receipt (69, one "
        "receipt), funds (69 with the batch's receipts listed), number (90), confirm (90, then 72 UPD on "
        "an unconfirmed batch no other client uses), unconfirm (72 UNCONFIRM, with a reason, of a batch "
        "this run confirmed), resend (see --resend).\n\n"
        "Example, against data from tavro-server --generate 2000 20:\n"
        "  tavro-loadgen --url ws://127.0.0.1:8765 --user bench --password bench --clients 32 "
        "--seconds 10 --mix search:4,ping:1"));
    parser.addHelpOption();
    const QCommandLineOption url(QStringLiteral("url"),
                                 QStringLiteral("The server (default ws://127.0.0.1:8765)."),
                                 QStringLiteral("URL"), QStringLiteral("ws://127.0.0.1:8765"));
    const QCommandLineOption clients(QStringLiteral("clients"),
                                     QStringLiteral("Concurrent connections (default 32)."),
                                     QStringLiteral("N"), QStringLiteral("32"));
    const QCommandLineOption user(QStringLiteral("user"),
                                  QStringLiteral("User to sign in as (default demo)."),
                                  QStringLiteral("NAME"), QStringLiteral("demo"));
    const QCommandLineOption password(QStringLiteral("password"),
                                      QStringLiteral("Password (default: the user name)."),
                                      QStringLiteral("TEXT"));
    const QCommandLineOption seconds(QStringLiteral("seconds"),
                                     QStringLiteral("Measured time in seconds (default 10)."),
                                     QStringLiteral("S"), QStringLiteral("10"));
    const QCommandLineOption count(
        QStringLiteral("count"),
        QStringLiteral("Stop after this many measured steps in all, instead of a time."),
        QStringLiteral("N"));
    const QCommandLineOption warmup(
        QStringLiteral("warmup"),
        QStringLiteral("Unmeasured steps per client before the clock starts (default 5)."),
        QStringLiteral("N"), QStringLiteral("5"));
    const QCommandLineOption mix(
        QStringLiteral("mix"),
        QStringLiteral(
            "Kinds with weights, as in search:4,ping:1 (default ping,search,receipt,funds,number)."),
        QStringLiteral("MIX"), QStringLiteral("ping,search,receipt,funds,number"));
    const QCommandLineOption firstBatch(
        QStringLiteral("first-batch"),
        QStringLiteral("First generated daily receipt number (default 2000001)."), QStringLiteral("N"),
        QStringLiteral("2000001"));
    const QCommandLineOption batches(QStringLiteral("batches"),
                                     QStringLiteral("Generated batches (default 2000)."), QStringLiteral("N"),
                                     QStringLiteral("2000"));
    const QCommandLineOption perBatch(QStringLiteral("receipts-per-batch"),
                                      QStringLiteral("Receipts per generated batch (default 20)."),
                                      QStringLiteral("N"), QStringLiteral("20"));
    const QCommandLineOption firstReceipt(QStringLiteral("first-receipt"),
                                          QStringLiteral("First generated receipt number (default 5000001)."),
                                          QStringLiteral("N"), QStringLiteral("5000001"));
    const QCommandLineOption confirmFrom(
        QStringLiteral("confirm-from"),
        QStringLiteral(
            "Batch the confirmations start at, taking the following ones in turn (default: the first)."),
        QStringLiteral("N"));
    const QCommandLineOption conf(
        QStringLiteral("conf"),
        QStringLiteral("Searches ask for confirmed (T) or unconfirmed (F, default) receipts."),
        QStringLiteral("T|F"), QStringLiteral("F"));
    const QCommandLineOption timeout(
        QStringLiteral("timeout-ms"),
        QStringLiteral("A step not answered in this time ends its client (default 30000)."),
        QStringLiteral("MS"), QStringLiteral("30000"));
    const QCommandLineOption journal(
        QStringLiteral("journal"),
        QStringLiteral("Append every save to FILE when it is sent and when it is acknowledged, one line "
                       "each: sent|ack, UPD|UNCONFIRM, batch, confirmation number, date, reason "
                       "(tab-separated)."),
        QStringLiteral("FILE"));
    const QCommandLineOption resend(
        QStringLiteral("resend"),
        QStringLiteral("Instead of the mix, send every save that FILE (a journal) shows sent and not "
                       "acknowledged once more, unchanged and with its request key, as a client does after "
                       "a lost connection."),
        QStringLiteral("FILE"));
    parser.addOptions({url, clients, user, password, seconds, count, warmup, mix, firstBatch, batches,
                       perBatch, firstReceipt, confirmFrom, conf, timeout, journal, resend});
    parser.process(app);

    Options options;
    options.url = QUrl(parser.value(url));
    if (!options.url.isValid() || (options.url.scheme() != u"ws" && options.url.scheme() != u"wss"))
        return failed(QStringLiteral("--url must be ws://HOST:PORT or wss://HOST:PORT"));
    options.user = parser.value(user);
    options.password = parser.isSet(password) ? parser.value(password) : options.user;
    options.conf = parser.value(conf);
    if (options.conf != u"T" && options.conf != u"F")
        return failed(QStringLiteral("--conf must be T or F"));
    QString why;
    const auto parsedMix = parseMix(parser.value(mix), &why);
    if (!parsedMix)
        return failed(QStringLiteral("--mix: %1").arg(why));
    options.mix = *parsedMix;

    auto number = [&parser](const QCommandLineOption& option, qint64 least, qint64* out) {
        bool ok = false;
        *out = parser.value(option).toLongLong(&ok);
        return ok && *out >= least;
    };
    qint64 n = 0;
    if (!number(clients, 1, &n) || n > 10000)
        return failed(QStringLiteral("--clients must be from 1 to 10000"));
    options.clients = int(n);
    bool ok = false;
    options.seconds = parser.value(seconds).toDouble(&ok);
    if (!ok || options.seconds <= 0)
        return failed(QStringLiteral("--seconds must be a positive number"));
    if (parser.isSet(count) && !number(count, 1, &options.count))
        return failed(QStringLiteral("--count must be a positive number"));
    if (!number(warmup, 0, &n) || n > 1000000)
        return failed(QStringLiteral("--warmup must be a number from 0"));
    options.warmup = int(n);
    if (!number(firstBatch, 1, &options.firstBatch))
        return failed(QStringLiteral("--first-batch must be a positive number"));
    if (!number(batches, 1, &n) || n > 10000000)
        return failed(QStringLiteral("--batches must be a positive number"));
    options.batches = int(n);
    if (!number(perBatch, 1, &n) || n > 100000)
        return failed(QStringLiteral("--receipts-per-batch must be a positive number"));
    options.receiptsPerBatch = int(n);
    if (!number(firstReceipt, 1, &options.firstReceipt))
        return failed(QStringLiteral("--first-receipt must be a positive number"));
    if (parser.isSet(confirmFrom) && !number(confirmFrom, 1, &options.confirmFrom))
        return failed(QStringLiteral("--confirm-from must be a positive number"));
    if (!number(timeout, 1, &n) || n > 3600000)
        return failed(QStringLiteral("--timeout-ms must be a positive number of milliseconds"));
    options.timeoutMs = int(n);
    options.journalPath = parser.value(journal);
    if (parser.isSet(resend)) {
        const auto sent = readJournal(parser.value(resend), &why);
        if (!sent)
            return failed(QStringLiteral("--resend: %1").arg(why));
        options.resend = unacknowledged(*sent);
        options.mix = {{Kind::Resend, 1}};
        options.warmup = 0;
        if (options.resend.isEmpty()) {
            std::fputs("Nothing to resend: every save of the journal was acknowledged.\n", stdout);
            return 0;
        }
    }

    const Results results = run(options);
    std::fputs(qPrintable(report(options, results)), stdout);
    return results.errorCount() == 0 && results.signedIn == options.clients ? 0 : 1;
}
