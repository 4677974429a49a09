#pragma once

#include <QString>

namespace tavro {

/// \brief Lets \a write put at most \a most characters straight onto the end of \a text.
///
/// \a write gets where to start and returns where it stopped; it must not throw. For texts
/// put together from short pieces thousands of times (a list's rows): characters written to a
/// buffer of their own and then appended are read back by a wide copy right after their narrow
/// stores, and the copy waits for the stores to land.
/// \code
/// appendInPlace(row, 2, [](char16_t* out) { *out++ = u'4'; *out++ = u'2'; return out; });
/// \endcode
template <typename Write> void appendInPlace(QString& text, qsizetype most, Write&& write)
{
    const qsizetype start = text.size();
    text.resize(start + most);
    char16_t* const begin = reinterpret_cast<char16_t*>(text.data()) + start;
    char16_t* const end = write(begin);
    text.resize(start + (end - begin));
}

} // namespace tavro
