#pragma once

#include "server/Database.h"

namespace tavro::server {

/// The role the service signs in to PostgreSQL with, when it is not the owner of the schema.
inline constexpr char DefaultServiceRole[] = "tavro_service";

/// Creates the PostgreSQL role \a role (when missing, able to sign in, without a password: set one
/// or use the server's own authentication) and gives it exactly what the service needs: reading
/// everything, changing the batches, numbers and sessions, and only adding to the audit, never
/// changing or removing a row of it. Run as the owner of the schema after migrating; again after
/// every migration. SQLite has no roles: there the audit's triggers refuse changes.
bool grantServiceRole(const Database& database, const QString& role, QString* error);

} // namespace tavro::server
