#include "CommonFakes.h"

#include "common/ReferenceData.h"
#include "common/ReplyStore.h"
#include "controls/TextBox.h"
#include "protocol/NumberRules.h"

namespace tavro::test {

void RecordingFieldUtility::HighlightControl(QWidget* control)
{
    m_highlighted.insert(control);
    m_log.add("HighlightControl", {CallLog::arg(control)});
}

void RecordingFieldUtility::ClearHighlight(QWidget* control)
{
    m_highlighted.remove(control);
    m_log.add("ClearHighlight", {CallLog::arg(control)});
}

void RecordingFieldUtility::SetupForm(QWidget* form)
{
    m_log.add("SetupForm", {CallLog::arg(form)});
}

bool RecordingFieldUtility::ValidateNumber(const QString& type, QString& number, QString& message)
{
    const bool valid = validateNumber ? validateNumber(type, number, message)
                                      : protocol::validateNumber(type, number, &message);
    m_log.add("ValidateNumber", {type, number, CallLog::arg(valid)});
    return valid;
}

int RecordingFieldUtility::CheckDigit(const QString& sevenDigits)
{
    const int digit = checkDigit ? checkDigit(sevenDigits) : protocol::checkDigit(sevenDigits);
    m_log.add("CheckDigit", {sevenDigits});
    return digit;
}

QString RecordingFieldUtility::RequestFormNumber(const QString& type, const QString& documentName,
                                                 FormNumberCollection*& ready)
{
    ++m_formRequests;
    const QString key = formNumberKey.value_or(QStringLiteral("FORM-%1").arg(m_formRequests));
    if (readyNumbers.isEmpty()) {
        m_ready.reset();
    } else {
        m_ready = std::make_unique<FormNumberCollection>(readyNumbers);
    }
    ready = m_ready.get();
    m_log.add("RequestFormNumber", {type, documentName});
    return key;
}

bool RecordingFieldUtility::FilterKey(const QString& type, TextBox* box, int& keyAscii)
{
    const QString current = box ? box->Text() : QString();
    const bool accepted = protocol::acceptsKey(type, current, QChar(keyAscii));
    m_log.add("FilterKey", {type, CallLog::arg(keyAscii), CallLog::arg(accepted)});
    return accepted;
}

QString RecordingFieldUtility::CheckReplyErrors(const QString& documentName, const QString& label, int flags)
{
    QStringList texts;
    for (const protocol::ReplyError& error : ReplyStore::instance().latestErrors(documentName))
        texts.append(error.text.trimmed().isEmpty() ? error.code : error.text);
    m_log.add("CheckReplyErrors", {documentName, label, CallLog::arg(flags)});
    return texts.join(u'\n');
}

QString RecordingFieldUtility::GetOfficerName(qint32 officerId, int flags)
{
    m_log.add("GetOfficerName", {CallLog::arg(officerId), CallLog::arg(flags)});
    return ReferenceData::instance().officerName(officerId);
}

QString RecordingFieldUtility::GetCodeDescription(const QString& code, const QString& table)
{
    m_log.add("GetCodeDescription", {code, table});
    const auto it = codeDescriptions.constFind(table + u'/' + code);
    return it != codeDescriptions.cend() ? *it : ReferenceData::instance().codeDescription(table, code);
}

} // namespace tavro::test
