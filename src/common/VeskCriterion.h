#pragma once

#include "protocol/Messages.h"

#include <QString>

namespace tavro {

/// \brief One search criterion of a request: system, key, operator and value.
/// \code
/// VeskCriterion c;
/// c.setSystemName(QStringLiteral("KESTROVA"));
/// c.setKey(QStringLiteral("key:DOC_NBR"));
/// c.setOperator(QStringLiteral("="));
/// c.setValue(QStringLiteral("0012345"));
/// \endcode
class VeskCriterion
{
public:
    VeskCriterion() = default;
    VeskCriterion(QString systemName, QString key, QString op, QString value)
        : m_systemName(std::move(systemName)), m_key(std::move(key)), m_operator(std::move(op)),
          m_value(std::move(value))
    {
    }

    void setSystemName(const QString& systemName) { m_systemName = systemName; }
    QString SystemName() const { return m_systemName; }
    void setKey(const QString& key) { m_key = key; }
    QString Key() const { return m_key; }
    void setOperator(const QString& op) { m_operator = op; }
    QString Operator() const { return m_operator; }
    void setValue(const QString& value) { m_value = value; }
    QString Value() const { return m_value; }

    protocol::Criterion toWire() const { return {m_systemName, m_key, m_operator, m_value}; }

private:
    QString m_systemName;
    QString m_key;
    QString m_operator;
    QString m_value;
};

} // namespace tavro
