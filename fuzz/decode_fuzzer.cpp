#include "harness/FuzzChecks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString why = tavro::fuzz::checkFrame(
        QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if (!why.isEmpty()) {
        std::fprintf(stderr, "decode check failed: %s\n", qPrintable(why));
        std::abort();
    }
    return 0;
}
