#include "common/VeskRequest.h"

#include "common/VeskMessage.h"

#include <QUuid>

namespace tavro {

// Keys are UUIDs: unique across processes too, since several clients share one back end.
VeskRequest::VeskRequest() : m_key(QUuid::createUuid().toString(QUuid::WithoutBraces)) {}

void VeskRequest::AttachDataSet(DataSetPtr dataSet, const QString& name)
{
    for (auto& attached : m_dataSets) {
        if (attached.first == name) {
            attached.second = std::move(dataSet);
            return;
        }
    }
    m_dataSets.append({name, std::move(dataSet)});
}

void VeskRequest::Send() const
{
    VeskMessage::GetInstance()->Send(*this);
}

protocol::Request VeskRequest::toWire() const
{
    protocol::Request wire;
    wire.key = m_key;
    wire.requester = m_requester;
    wire.userId = m_userId;
    wire.version = m_version;
    wire.requestCode = m_requestCode;
    wire.criteria.reserve(m_criteria.size());
    for (const VeskCriterion& criterion : m_criteria)
        wire.criteria.append(criterion.toWire());
    for (const auto& [name, dataSet] : m_dataSets)
        wire.dataSets.insert(name, dataSet ? dataSet->toWire() : protocol::DataSet{});
    wire.options = m_options;
    return wire;
}

} // namespace tavro
