#pragma once

#include "common/DataSet.h"
#include "common/VeskCriterion.h"
#include "protocol/Messages.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

namespace tavro {

/// \brief The envelope of one request to the back end.
///
/// Its key exists from construction and is unique, so a document can keep it
/// before sending. Data sets are attached by reference and converted when the
/// request is sent, so changes made to them before Send() travel too.
/// \code
/// VeskRequest request;
/// request.setRequester(documentName);
/// request.setUserId(UserProfile::instance().UserId());
/// request.setVersion(App::versionText());
/// request.setRequestCode(63);
/// request.AddCriterion(criterion);
/// mstrRequestKey = request.RequestKey();
/// request.Send();
/// \endcode
class VeskRequest
{
public:
    VeskRequest();

    void setRequester(const QString& requester) { m_requester = requester; }
    QString Requester() const { return m_requester; }
    void setUserId(const QString& userId) { m_userId = userId; }
    QString UserId() const { return m_userId; }
    void setVersion(const QString& version) { m_version = version; }
    QString Version() const { return m_version; }
    void setRequestCode(int code) { m_requestCode = code; }
    int RequestCode() const { return m_requestCode; }

    void AddCriterion(const VeskCriterion& criterion) { m_criteria.append(criterion); }
    /// Attaches \a dataSet under \a name; a second set of the same name replaces the first.
    void AttachDataSet(DataSetPtr dataSet, const QString& name);
    void AddOption(const QString& option) { m_options.append(option); }

    QString RequestKey() const { return m_key; }
    const QList<VeskCriterion>& Criteria() const { return m_criteria; }
    QStringList Options() const { return m_options; }

    /// Hands the request to VeskMessage::GetInstance(); the answer comes by its events.
    void Send() const;

    /// The wire form: criteria in the order added, attached data sets, options.
    protocol::Request toWire() const;

private:
    QString m_key;
    QString m_requester;
    QString m_userId;
    QString m_version;
    int m_requestCode = 0;
    QList<VeskCriterion> m_criteria;
    QList<std::pair<QString, DataSetPtr>> m_dataSets;
    QStringList m_options;
};

} // namespace tavro
