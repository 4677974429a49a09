#include "common/ReplyStore.h"

#include "runtime/Seam.h"

namespace tavro {

namespace {

SeamSlot<ReplyStore>& slot()
{
    static SeamSlot<ReplyStore> s(
        []() -> std::unique_ptr<ReplyStore> { return std::make_unique<ReplyStore>(); });
    return s;
}

} // namespace

ReplyStore::~ReplyStore() = default;

QString ReplyStore::normalized(const QString& documentName)
{
    return documentName.trimmed().toUpper();
}

DataSetPtr ReplyStore::GetDataSet(const QString& dataSetName, const QString& documentName, const QString& key)
{
    const auto replies = m_replies.constFind(normalized(documentName));
    if (replies == m_replies.cend())
        return nullptr;
    for (const Stored& reply : *replies) {
        if (reply.key != key)
            continue;
        const auto set = reply.dataSets.constFind(dataSetName.trimmed().toUpper());
        if (set == reply.dataSets.cend())
            return nullptr;
        // Each caller gets its own cursor; the records are shared until someone writes.
        auto copy = std::make_shared<Recordset>(**set);
        copy->MoveFirst();
        return std::make_shared<DataSet>(std::move(copy), dataSetName);
    }
    return nullptr;
}

void ReplyStore::store(const QString& documentName, const QString& key,
                       const QMap<QString, protocol::DataSet>& dataSets,
                       const QList<protocol::ReplyError>& errors)
{
    Stored reply;
    reply.key = key;
    reply.errors = errors;
    for (auto it = dataSets.cbegin(); it != dataSets.cend(); ++it) {
        reply.records += it.value().records.size();
        reply.dataSets.insert(it.key().trimmed().toUpper(),
                              DataSet::fromWire(it.key(), it.value())->Recordset());
    }

    QList<Stored>& replies = m_replies[normalized(documentName)];
    replies.removeIf([&](const Stored& stored) { return stored.key == key; });
    replies.append(std::move(reply));
    trim(replies);
}

void ReplyStore::trim(QList<Stored>& replies) const
{
    qsizetype records = 0;
    for (const Stored& stored : replies)
        records += stored.records;
    while (replies.size() > 1 && (replies.size() > m_retain || records > m_recordBudget)) {
        records -= replies.constFirst().records;
        replies.removeFirst();
    }
}

QList<protocol::ReplyError> ReplyStore::latestErrors(const QString& documentName) const
{
    const auto replies = m_replies.constFind(normalized(documentName));
    if (replies == m_replies.cend() || replies->isEmpty())
        return {};
    return replies->constLast().errors;
}

QString ReplyStore::latestKey(const QString& documentName) const
{
    const auto replies = m_replies.constFind(normalized(documentName));
    if (replies == m_replies.cend() || replies->isEmpty())
        return {};
    return replies->constLast().key;
}

bool ReplyStore::contains(const QString& documentName, const QString& key) const
{
    const auto replies = m_replies.constFind(normalized(documentName));
    if (replies == m_replies.cend())
        return false;
    return std::any_of(replies->cbegin(), replies->cend(), [&](const Stored& s) { return s.key == key; });
}

void ReplyStore::setRetainPerDocument(int count)
{
    m_retain = std::max(1, count);
    for (auto& replies : m_replies)
        trim(replies);
}

void ReplyStore::setRecordBudgetPerDocument(qsizetype records)
{
    m_recordBudget = std::max<qsizetype>(0, records);
    for (auto& replies : m_replies)
        trim(replies);
}

void ReplyStore::clear()
{
    m_replies.clear();
}

ReplyStore& ReplyStore::instance()
{
    return slot().get();
}

void ReplyStore::setInstance(ReplyStore* store)
{
    slot().set(store);
}

} // namespace tavro
