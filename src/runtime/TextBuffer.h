#pragma once

#include <QChar>
#include <QString>
#include <QStringView>
#include <QVarLengthArray>

namespace tavro {

/// \brief A text put together from many short pieces, thousands of times: a list's rows.
///
/// Appending a piece is a few instructions, without a string's sharing and growth checks per
/// piece, and writers put their characters straight in place (appendInPlace): characters first
/// written to a buffer of their own and then copied are read back by a wide copy right after
/// their narrow stores, and the copy waits for the stores to land. Short texts stay on the stack.
/// \code
/// TextBuffer row;
/// row += u"1001";
/// row += u'\t';
/// appendDateText(row, QDate(2026, 12, 6));
/// grid.AddItem(row.rawString());
/// \endcode
class TextBuffer
{
public:
    qsizetype size() const { return m_chars.size(); }
    bool isEmpty() const { return m_chars.isEmpty(); }
    /// Empties the text and keeps the room it had.
    void clear() { m_chars.clear(); }

    TextBuffer& operator+=(QChar c)
    {
        m_chars.append(c.unicode());
        return *this;
    }
    TextBuffer& operator+=(QStringView text)
    {
        m_chars.append(text.utf16(), text.size());
        return *this;
    }

    /// Lets \a write put at most \a most characters onto the end; \a write gets where to start
    /// and returns where it stopped. It must not throw.
    template <typename Write> void appendInPlace(qsizetype most, Write&& write)
    {
        const qsizetype start = m_chars.size();
        m_chars.resize(start + most);
        char16_t* const begin = m_chars.data() + start;
        m_chars.resize(start + (write(begin) - begin));
    }

    QStringView view() const { return QStringView(m_chars.constData(), m_chars.size()); }
    QString toString() const { return view().toString(); }
    /// The text as a QString over this buffer, without a copy: valid while the buffer is
    /// neither changed nor destroyed.
    QString rawString() const
    {
        return QString::fromRawData(reinterpret_cast<const QChar*>(m_chars.constData()), m_chars.size());
    }

private:
    QVarLengthArray<char16_t, 256> m_chars;
};

} // namespace tavro
