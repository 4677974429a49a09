#pragma once

#include "common/DataSet.h"
#include "protocol/Messages.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QString>

namespace tavro {

/// \brief The replies that arrived, by document name and request key.
///
/// Document names are compared trimmed and case-insensitively; keys exactly.
/// Only the last retainPerDocument() replies of each document are kept, and
/// older ones also go once the document's replies hold more than
/// recordBudgetPerDocument() records, so a screen left open all day does not
/// grow and one batch of 100,000 receipts is not kept eight times. The latest
/// reply is always kept; data sets already handed out live on in their holders.
/// One process-wide object, created on first use.
class ReplyStore
{
public:
    ReplyStore() = default;
    virtual ~ReplyStore();
    ReplyStore(const ReplyStore&) = delete;
    ReplyStore& operator=(const ReplyStore&) = delete;

    /// A fresh data set (its own cursor) of the reply \a key for \a documentName,
    /// or nullptr when there is no such reply or it has no set named \a dataSetName.
    virtual DataSetPtr GetDataSet(const QString& dataSetName, const QString& documentName,
                                  const QString& key);

    /// Stores (or replaces) a reply; it becomes the document's latest.
    virtual void store(const QString& documentName, const QString& key,
                       const QMap<QString, protocol::DataSet>& dataSets,
                       const QList<protocol::ReplyError>& errors);
    /// The errors of the document's latest reply (empty when none or no reply yet).
    virtual QList<protocol::ReplyError> latestErrors(const QString& documentName) const;
    /// The key of the document's latest reply, empty when none.
    QString latestKey(const QString& documentName) const;
    /// Whether the reply \a key for \a documentName is (still) kept.
    bool contains(const QString& documentName, const QString& key) const;

    void setRetainPerDocument(int count);
    int retainPerDocument() const { return m_retain; }
    void setRecordBudgetPerDocument(qsizetype records);
    qsizetype recordBudgetPerDocument() const { return m_recordBudget; }
    void clear();

    static ReplyStore& instance();
    /// Installs \a store (not owned); nullptr restores the default.
    static void setInstance(ReplyStore* store);

private:
    struct Stored
    {
        QString key;
        QMap<QString, RecordsetPtr> dataSets; // by upper-cased name
        QList<protocol::ReplyError> errors;
        qsizetype records = 0;
    };
    static QString normalized(const QString& documentName);
    void trim(QList<Stored>& replies) const;
    QHash<QString, QList<Stored>> m_replies; // oldest first
    int m_retain = 8;
    qsizetype m_recordBudget = 20000;
};

} // namespace tavro
