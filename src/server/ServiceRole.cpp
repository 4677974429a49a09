#include "server/ServiceRole.h"

#include "server/ServiceSupport.h"

#include <QRegularExpression>
#include <QSqlError>

namespace tavro::server {

using detail::fail;

namespace {

// What the service does to each table; everything not named here it may not touch.
const std::pair<const char*, const char*> Grants[] = {
    {"schema_version, code_table, officer, app_user, acct_rcvbl, rcvbl_aplctn, fund, nbr_sequence", "SELECT"},
    {"dly_rcpt, rcpt", "SELECT, UPDATE"},
    {"form_nbr", "SELECT, INSERT, UPDATE"},
    {"cnfrmtn_audit", "SELECT, INSERT"},
    {"session_revocation", "SELECT, INSERT, DELETE"},
    {"user_session, request_reply, login_failure", "SELECT, INSERT, UPDATE, DELETE"},
};

// Sequences the service takes numbers from (nextval needs USAGE; identity columns need nothing).
const char* const Sequences = "form_nbr_seq";

} // namespace

bool grantServiceRole(const Database& database, const QString& role, QString* error)
{
    // A role is an identifier, which no driver binds: only plain lower-case names are accepted,
    // and quoted, so the name cannot carry SQL.
    static const QRegularExpression plain(QStringLiteral("^[a-z_][a-z0-9_]{0,62}$"));
    if (!plain.match(role).hasMatch())
        return fail(error, QStringLiteral("The service role \"%1\" must be lower-case letters, digits and _, "
                                          "starting with a letter or _")
                               .arg(role.left(64)));
    if (database.dialect() != Dialect::Postgres)
        return true;
    const auto db = database.connection(error);
    if (!db)
        return false;
    Transaction transaction(*db, database, Transaction::Mode::Write);
    if (!transaction.begin(error))
        return false;
    Query owner(*db,
                QStringLiteral("SELECT current_user, EXISTS (SELECT 1 FROM pg_roles WHERE rolname = ?)"));
    if (!owner.bind(role).exec() || !owner.next())
        return fail(error, owner.error());
    if (owner.value(0).toString() == role)
        return fail(error,
                    QStringLiteral(
                        "The store is opened as the service role %1 itself; grant as the owner of the schema")
                        .arg(role));
    const bool exists = owner.value(1).toBool();
    owner.finish();
    const QString quoted = u'"' + role + u'"';
    QStringList statements;
    if (!exists)
        statements << QStringLiteral("CREATE ROLE %1 LOGIN").arg(quoted);
    statements << QStringLiteral("REVOKE ALL ON ALL TABLES IN SCHEMA public FROM %1").arg(quoted)
               << QStringLiteral("REVOKE ALL ON ALL SEQUENCES IN SCHEMA public FROM %1").arg(quoted)
               << QStringLiteral("GRANT USAGE ON SCHEMA public TO %1").arg(quoted)
               << QStringLiteral("GRANT USAGE ON SEQUENCE %1 TO %2").arg(QLatin1String(Sequences), quoted);
    for (const auto& [tables, privileges] : Grants)
        statements << QStringLiteral("GRANT %1 ON %2 TO %3")
                          .arg(QLatin1String(privileges), QLatin1String(tables), quoted);
    for (const QString& statement : std::as_const(statements)) {
        QSqlQuery query(*db);
        if (!query.exec(statement))
            return fail(error, QStringLiteral("%1 failed: %2").arg(statement, query.lastError().text()));
    }
    return transaction.commit(error);
}

} // namespace tavro::server
