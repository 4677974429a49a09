#include "shell/ServerBackend.h"

namespace tavro {

// Built when the server library is not part of the build: the shell can only sign in remotely.
std::unique_ptr<EmbeddedBackend> makeEmbeddedBackend(const QString&)
{
    return nullptr;
}

bool hasEmbeddedBackend()
{
    return false;
}

} // namespace tavro
