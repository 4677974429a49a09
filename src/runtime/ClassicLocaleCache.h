#pragma once

#include <cstddef>
#include <QLocale>
#include <utility>
#include <vector>

namespace tavro::detail {

/// \brief What a conversion works out from a locale once (a format, a pattern), kept for the
/// last few locales of the calling thread.
///
/// Asking the system locale for a format goes through the platform each time; a list of
/// thousands of receipts asks for the same one thousands of times. Locales are compared with
/// QLocale's own equality, so the system locale and a named one are kept apart.
/// \code
/// static thread_local LocaleCache<QString> formats;
/// const QString& format = formats.get(locale, [](const QLocale& l) { return l.dateFormat(); });
/// \endcode
template <typename T> class LocaleCache
{
public:
    /// The value for \a locale, made by \a make(locale) when it is not kept. The reference
    /// stays valid until the next call.
    template <typename Make> const T& get(const QLocale& locale, Make&& make)
    {
        for (std::size_t i = 0; i < m_entries.size(); ++i) {
            if (m_entries[i].first == locale) {
                if (i > 0)
                    std::swap(m_entries[i], m_entries[0]);
                return m_entries[0].second;
            }
        }
        T value = make(locale);
        if (m_entries.size() == kEntries)
            m_entries.pop_back();
        m_entries.insert(m_entries.begin(), {locale, std::move(value)});
        return m_entries[0].second;
    }

private:
    static constexpr std::size_t kEntries = 4;
    std::vector<std::pair<QLocale, T>> m_entries;
};

} // namespace tavro::detail
