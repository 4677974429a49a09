#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace tavro {

/// \brief One form number that was ready when it was asked for.
class FormNumber
{
public:
    explicit FormNumber(QString number) : m_number(std::move(number)) {}
    QString GetFormNumber() const { return m_number; }

private:
    QString m_number;
};

/// \brief Form numbers handed out at once by FieldUtility::RequestFormNumber.
///
/// Items are read in order; the last one is the newest.
/// \code
/// for (const FormNumber& item : *ready)
///     number = item.GetFormNumber();
/// \endcode
class FormNumberCollection
{
public:
    FormNumberCollection() = default;
    explicit FormNumberCollection(const QStringList& numbers)
    {
        for (const QString& number : numbers)
            m_items.append(FormNumber(number));
    }

    void Add(const QString& number) { m_items.append(FormNumber(number)); }
    int Count() const { return static_cast<int>(m_items.size()); }
    /// 0-based, like every Qt container.
    const FormNumber& at(int index) const { return m_items.at(index); }

    QList<FormNumber>::const_iterator begin() const { return m_items.cbegin(); }
    QList<FormNumber>::const_iterator end() const { return m_items.cend(); }

private:
    QList<FormNumber> m_items;
};

} // namespace tavro
