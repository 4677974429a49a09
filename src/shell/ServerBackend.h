#pragma once

#include "shell/EmbeddedTransport.h"

#include <memory>

namespace tavro {

/// \brief The embedded back end of this build: the server's request handling on the SQLite file
/// \a databasePath, created and seeded with the demo data on first use. Null when the shell was
/// built without the server.
std::unique_ptr<EmbeddedBackend> makeEmbeddedBackend(const QString& databasePath);

/// Whether this build has an embedded back end.
bool hasEmbeddedBackend();

} // namespace tavro
