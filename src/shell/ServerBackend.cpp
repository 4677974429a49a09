#include "shell/ServerBackend.h"

#include "server/Database.h"
#include "server/DatabaseConfig.h"
#include "server/Service.h"

namespace tavro {

namespace {

/// The user the embedded back end signs in: the officer of the demo data.
const char* const LocalUser = "demo";

class ServiceBackend final : public EmbeddedBackend
{
public:
    explicit ServiceBackend(const QString& path) : m_service(server::DatabaseConfig::sqlite(path)) {}

    bool open(QString* error) override
    {
        // seedDemo does nothing once batches exist, so a store is seeded only on first use.
        return m_service.initialize(error) && m_service.seedDemo(error);
    }

    std::optional<protocol::Session> signInLocal(QString* error) override
    {
        protocol::Error why;
        m_session = m_service.signInLocal(QString::fromLatin1(LocalUser), &why);
        if (!m_session) {
            if (error)
                *error = why.text;
            return std::nullopt;
        }
        return m_session->session();
    }

    protocol::Reference reference() override
    {
        protocol::Error why;
        return m_service.reference(&why).value_or(protocol::Reference{});
    }

    protocol::Reply handle(const protocol::Request& request) override
    {
        if (!m_session) {
            protocol::Reply reply;
            reply.key = request.key;
            reply.requester = request.requester;
            reply.errors.append({QString::fromLatin1(server::sessionerr::NotSignedIn),
                                 QStringLiteral("Nobody is signed in.")});
            return reply;
        }
        return m_service.handle(*m_session, request);
    }

    QString firstUnconfirmedBatch() override
    {
        QString why;
        const auto db = m_service.database().connection(&why);
        if (!db)
            return {};
        server::Query query(
            *db, QStringLiteral("SELECT MIN(dly_rcpt_nbr) FROM dly_rcpt WHERE cnfrmtn_nbr IS NULL"));
        if (!query.exec() || !query.next() || query.isNull(0))
            return {};
        const qint64 number = server::toInteger(query.value(0));
        query.finish();
        return QStringLiteral("%1").arg(number, 7, 10, QLatin1Char('0'));
    }

private:
    server::Service m_service;
    std::optional<server::SessionInfo> m_session;
};

} // namespace

std::unique_ptr<EmbeddedBackend> makeEmbeddedBackend(const QString& databasePath)
{
    return std::make_unique<ServiceBackend>(databasePath);
}

bool hasEmbeddedBackend()
{
    return true;
}

} // namespace tavro
