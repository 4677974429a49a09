#include "FuzzChecks.h"
#include "protocol/Messages.h"
#include "server/Service.h"

#include <cstdio>
#include <cstdlib>
#include <QCoreApplication>
#include <QDir>
#include <QHash>
#include <QLoggingCategory>
#include <QSet>
#include <QTemporaryDir>

namespace tavro::fuzz {

using namespace protocol;
using server::Service;
using server::SessionInfo;

namespace {

[[noreturn]] void giveUp(const QString& why)
{
    std::fprintf(stderr, "request check: cannot prepare the store: %s\n", qPrintable(why));
    std::abort();
}

// One store per process: made on first use, seeded with the demo data, never reset, so that
// inputs also meet the state earlier inputs left (confirmed batches, issued numbers).
class Store
{
public:
    static Store& instance()
    {
        // Deliberately never destroyed: a fuzzer leaves through exit(), and the connections of a
        // store must not be closed after the application object has gone.
        static Store* store = new Store;
        return *store;
    }

    Service& service() { return *m_service; }
    const SessionInfo& officer() const { return m_officer; }
    const SessionInfo& viewer() const { return m_viewer; }
    qint64 lastIssued = 0;
    // The change each request key last stood for, and the number it was answered with (0 for a
    // save): the same request sent again under its key must be answered as the first time.
    struct KeptChange
    {
        QByteArray request;
        qint64 number = 0;
    };
    QHash<QString, KeptChange> changes;

private:
    Store()
    {
        if (!QCoreApplication::instance()) {
            static int argc = 1;
            static char name[] = "tavro-fuzz";
            static char* argv[] = {name, nullptr};
            new QCoreApplication(argc, argv);
        }
        // Thousands of refused requests a second would otherwise be logged one by one.
        QLoggingCategory::setFilterRules(QStringLiteral("tavro.*=false"));
        // A folder in memory where there is one: SQLite's writes stay off the disk.
        const QString base =
            QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
        m_dir = new QTemporaryDir(base + QStringLiteral("/tavro-fuzz-XXXXXX"));
        if (!m_dir->isValid())
            giveUp(m_dir->errorString());
        m_service = new Service(server::DatabaseConfig::sqlite(m_dir->filePath(QStringLiteral("store.db"))));
        QString why;
        if (!m_service->initialize(&why) || !m_service->seedDemo(&why, server::HashCost::Minimal))
            giveUp(why);
        Error error;
        const auto officer = m_service->login(QStringLiteral("demo"), QStringLiteral("demo"), &error);
        const auto viewer = m_service->login(QStringLiteral("viewer"), QStringLiteral("viewer"), &error);
        if (!officer || !viewer)
            giveUp(error.code + u' ' + error.text);
        m_officer = *officer;
        m_viewer = *viewer;
        // The files go with the process; a crashed run leaves them, hence the folder's name.
        std::atexit([] { QDir(instance().m_dir->path()).removeRecursively(); });
    }

    QTemporaryDir* m_dir = nullptr;
    Service* m_service = nullptr;
    SessionInfo m_officer;
    SessionInfo m_viewer;
};

const QSet<QString>& replyErrorCodes()
{
    namespace e = server::replyerr;
    static const QSet<QString> codes{
        QString::fromLatin1(e::BadRequest),       QString::fromLatin1(e::NotFound),
        QString::fromLatin1(e::NotPermitted),     QString::fromLatin1(e::OtherOfficer),
        QString::fromLatin1(e::AlreadyConfirmed), QString::fromLatin1(e::NotConfirmed),
        QString::fromLatin1(e::Conflict),         QString::fromLatin1(e::NumberNotIssued),
        QString::fromLatin1(e::NumberUsed),       QString::fromLatin1(e::BadDate),
        QString::fromLatin1(e::CommentRequired),  QString::fromLatin1(e::CommentTooLong),
        QString::fromLatin1(e::Unavailable),      QString::fromLatin1(e::TooLarge)};
    return codes;
}

QString checkReply(const Request& request, const Reply& reply)
{
    if (reply.key != request.key || reply.requester != request.requester)
        return QStringLiteral("the reply does not carry the request's key and requester");
    if (!reply.errors.isEmpty() && !reply.dataSets.isEmpty())
        return QStringLiteral("a reply with errors also carries data sets");
    for (const ReplyError& error : reply.errors) {
        if (!replyErrorCodes().contains(error.code))
            return QStringLiteral("the reply error code \"%1\" is not known").arg(error.code);
        if (error.text.isEmpty())
            return QStringLiteral("the reply error %1 has no text").arg(error.code);
    }
    const QByteArray encoded = encode(reply);
    const DecodeResult again = decode(encoded);
    if (!again.message)
        return QStringLiteral("the reply is refused by the decoder (%1: %2)")
            .arg(again.error.code, again.error.text);
    if (!(*again.message == Message(reply)))
        return QStringLiteral("the reply reads back different from what the service answered");
    return {};
}

// A number handed out must be larger than every one handed out before, unless the same request
// came again under its key: then it must be the number of the first answer.
QString checkIssuedNumber(const Request& request, const Reply& reply, Store& store)
{
    const QByteArray encoded = encode(request);
    const auto kept = store.changes.constFind(request.key);
    const bool again = kept != store.changes.cend() && kept->request == encoded && kept->number != 0;
    if (!reply.errors.isEmpty())
        return {};
    const auto set = reply.dataSets.constFind(QStringLiteral("REQ"));
    if (set == reply.dataSets.cend() || set->records.size() != 1)
        return QStringLiteral("a form number reply without errors has no REQ record");
    const Value value = set->value(0, QStringLiteral("F"));
    const qint64* number = std::get_if<qint64>(&value);
    if (!number)
        return QStringLiteral("a form number reply's F is not a whole number");
    if (again) {
        if (*number != kept->number)
            return QStringLiteral("the request %1 sent again was answered with %2, first with %3")
                .arg(request.key.left(64))
                .arg(*number)
                .arg(kept->number);
        return {};
    }
    if (*number <= store.lastIssued)
        return QStringLiteral("the number %1 was handed out after %2").arg(*number).arg(store.lastIssued);
    store.lastIssued = *number;
    if (!request.key.isEmpty())
        store.changes.insert(request.key, {encoded, *number});
    return {};
}

} // namespace

QString checkRequest(QByteArrayView data)
{
    const DecodeResult decoded = decode(data.toByteArray());
    const Request* request = decoded.message ? std::get_if<Request>(&*decoded.message) : nullptr;
    if (!request)
        return {};
    Store& store = Store::instance();

    const Reply officers = store.service().handle(store.officer(), *request);
    if (QString why = checkReply(*request, officers); !why.isEmpty())
        return QStringLiteral("as the officer: ") + why;
    if (request->requestCode == RequestCode::FormNumber) {
        if (QString why = checkIssuedNumber(*request, officers, store); !why.isEmpty())
            return why;
    } else if (request->requestCode == RequestCode::Save && officers.errors.isEmpty()) {
        // The key now stands for this save (a refused change is rolled back with its claim).
        store.changes.remove(request->key);
    }

    const Reply viewers = store.service().handle(store.viewer(), *request);
    if (QString why = checkReply(*request, viewers); !why.isEmpty())
        return QStringLiteral("as the read-only user: ") + why;
    const bool changes =
        request->requestCode == RequestCode::Save || request->requestCode == RequestCode::FormNumber;
    if (changes && (viewers.errors.size() != 1 ||
                    viewers.errors[0].code != QLatin1String(server::replyerr::NotPermitted)))
        return QStringLiteral("a read-only user's save or number request is not refused as not permitted");
    return {};
}

} // namespace tavro::fuzz
