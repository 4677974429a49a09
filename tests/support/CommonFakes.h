#pragma once

#include "CallLog.h"
#include "common/ErrorReporter.h"
#include "common/FieldUtility.h"
#include "common/FormNumberCollection.h"
#include "common/ReferenceData.h"
#include "common/ReplyStore.h"
#include "common/StatusService.h"
#include "common/UserProfile.h"
#include "controls/TextBox.h"
#include "protocol/NumberRules.h"

#include <functional>
#include <memory>
#include <optional>
#include <QHash>
#include <QList>
#include <QMap>
#include <QSet>
#include <QStringList>

namespace tavro::test {

/// Records every status call; remembers the last text and each toolbar button's state.
class RecordingStatusService final : public StatusService
{
public:
    explicit RecordingStatusService(CallLog& log) : m_log(log) {}

    void ShowStatus(const QString& text) override { m_log.add("ShowStatus", {lastStatus = text}); }
    void ShowWarning(const QString& text) override { m_log.add("ShowWarning", {text}); }
    void EnableToolbarButton(int button, bool enabled, const QString& hostTag) override
    {
        m_buttons[{hostTag, button}] = enabled;
        m_log.add("EnableToolbarButton", {CallLog::arg(button), CallLog::arg(enabled), hostTag});
    }
    void SetReady(bool ready) override { m_log.add("SetReady", {CallLog::arg(ready)}); }

    QString lastStatus;
    /// The last state given to \a button of \a hostTag, nullopt when it was never switched.
    std::optional<bool> buttonEnabled(int button, const QString& hostTag) const
    {
        const auto it = m_buttons.constFind({hostTag, button});
        return it == m_buttons.cend() ? std::nullopt : std::optional<bool>(*it);
    }

private:
    CallLog& m_log;
    QMap<std::pair<QString, int>, bool> m_buttons;
};

/// Records every field-utility call, with scripted answers. Defaults: number rules, reply errors and look-ups
/// behave like the real ones (the shared number rules, ReplyStore, ReferenceData), so a test only scripts
/// what it is about. RequestFormNumber does not send anything: it answers "FORM-1", "FORM-2", ... (or
/// formNumberKey) and hands out readyNumbers when there are any.
class RecordingFieldUtility final : public FieldUtility
{
public:
    explicit RecordingFieldUtility(CallLog& log) : m_log(log) {}

    void HighlightControl(QWidget* control) override
    {
        m_highlighted.insert(control);
        m_log.add("HighlightControl", {CallLog::arg(control)});
    }
    void ClearHighlight(QWidget* control) override
    {
        m_highlighted.remove(control);
        m_log.add("ClearHighlight", {CallLog::arg(control)});
    }
    void SetupForm(QWidget* form) override { m_log.add("SetupForm", {CallLog::arg(form)}); }
    bool ValidateNumber(const QString& type, QString& number, QString& message) override
    {
        const bool valid = validateNumber ? validateNumber(type, number, message)
                                          : protocol::validateNumber(type, number, &message);
        m_log.add("ValidateNumber", {type, number, CallLog::arg(valid)});
        return valid;
    }
    int CheckDigit(const QString& sevenDigits) override
    {
        const int digit = checkDigit ? checkDigit(sevenDigits) : protocol::checkDigit(sevenDigits);
        m_log.add("CheckDigit", {sevenDigits});
        return digit;
    }
    QString RequestFormNumber(const QString& type, const QString& documentName,
                              FormNumberCollection*& ready) override
    {
        m_ready = readyNumbers.isEmpty() ? nullptr : std::make_unique<FormNumberCollection>(readyNumbers);
        ready = m_ready.get();
        m_log.add("RequestFormNumber", {type, documentName});
        return formNumberKey.value_or(QStringLiteral("FORM-%1").arg(++m_formRequests));
    }
    bool FilterKey(const QString& type, TextBox* box, int& keyAscii) override
    {
        const bool accepted = protocol::acceptsKey(type, box ? box->Text() : QString(), QChar(keyAscii));
        m_log.add("FilterKey", {type, CallLog::arg(keyAscii), CallLog::arg(accepted)});
        return accepted;
    }
    QString CheckReplyErrors(const QString& documentName, const QString& label, int flags) override
    {
        QStringList texts;
        for (const protocol::ReplyError& error : ReplyStore::instance().latestErrors(documentName))
            texts.append(error.text.trimmed().isEmpty() ? error.code : error.text);
        m_log.add("CheckReplyErrors", {documentName, label, CallLog::arg(flags)});
        return texts.join(u'\n');
    }
    QString GetOfficerName(qint32 officerId, int flags) override
    {
        m_log.add("GetOfficerName", {CallLog::arg(officerId), CallLog::arg(flags)});
        return ReferenceData::instance().officerName(officerId);
    }
    QString GetCodeDescription(const QString& code, const QString& table) override
    {
        m_log.add("GetCodeDescription", {code, table});
        const auto it = codeDescriptions.constFind(table + u'/' + code);
        return it != codeDescriptions.cend() ? *it : ReferenceData::instance().codeDescription(table, code);
    }

    bool isHighlighted(const QWidget* control) const { return m_highlighted.contains(control); }

    // Scripts; an empty function keeps the default.
    std::function<bool(const QString& type, const QString& number, QString& message)> validateNumber;
    std::function<int(const QString& sevenDigits)> checkDigit;
    /// The key RequestFormNumber returns; empty: "FORM-<n>".
    std::optional<QString> formNumberKey;
    /// Numbers RequestFormNumber hands out at once; empty: none (ready is nullptr).
    QStringList readyNumbers;
    /// Code descriptions (key: table + "/" + code); what is not here is looked up in ReferenceData.
    QHash<QString, QString> codeDescriptions;

private:
    CallLog& m_log;
    QSet<const QWidget*> m_highlighted;
    std::unique_ptr<FormNumberCollection> m_ready;
    int m_formRequests = 0;
};

/// A signed-in user with ordinary values, changeable per test.
class FakeUserProfile final : public UserProfile
{
public:
    QString UserId() const override { return profile.userId; }
    QString TrpId() const override { return profile.trpId; }
    QString TrpDstrctId() const override { return profile.trpDstrctId; }
    qint32 OfficerId() const override { return profile.officerId; }
    QString OfficerName() const override { return profile.officerName; }
    void setProfile(const protocol::Profile& p) override { profile = p; }

    protocol::Profile profile{QStringLiteral("jdoe"), QStringLiteral("TRP01"), QStringLiteral("D07"), 1234,
                              QStringLiteral("Jane Doe")};
};

/// Records every report; shows nothing.
class RecordingErrorReporter final : public ErrorReporter
{
public:
    explicit RecordingErrorReporter(CallLog& log) : m_log(log) {}

    struct Entry
    {
        QString message, appText, label;
    };
    void Report(const QString& message, const QString& appText, const QString& label,
                const QVariant& = {}) override
    {
        reports.append({message, appText, label});
        m_log.add("Report", {message, appText, label});
    }

    QList<Entry> reports;
    QStringList labels() const
    {
        QStringList result;
        for (const Entry& entry : reports)
            result.append(entry.label);
        return result;
    }

private:
    CallLog& m_log;
};

} // namespace tavro::test
