#pragma once

#include "CallLog.h"
#include "common/ErrorReporter.h"
#include "common/FieldUtility.h"
#include "common/FormNumberCollection.h"
#include "common/StatusService.h"
#include "common/UserProfile.h"

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

    void HighlightControl(QWidget* control) override;
    void ClearHighlight(QWidget* control) override;
    void SetupForm(QWidget* form) override;
    bool ValidateNumber(const QString& type, QString& number, QString& message) override;
    int CheckDigit(const QString& sevenDigits) override;
    QString RequestFormNumber(const QString& type, const QString& documentName,
                              FormNumberCollection*& ready) override;
    bool FilterKey(const QString& type, TextBox* box, int& keyAscii) override;
    QString CheckReplyErrors(const QString& documentName, const QString& label, int flags) override;
    QString GetOfficerName(qint32 officerId, int flags) override;
    QString GetCodeDescription(const QString& code, const QString& table) override;

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
    FakeUserProfile()
        : profile{QStringLiteral("jdoe"), QStringLiteral("TRP01"), QStringLiteral("D07"), 1234,
                  QStringLiteral("Jane Doe")}
    {
    }

    QString UserId() const override { return profile.userId; }
    QString TrpId() const override { return profile.trpId; }
    QString TrpDstrctId() const override { return profile.trpDstrctId; }
    qint32 OfficerId() const override { return profile.officerId; }
    QString OfficerName() const override { return profile.officerName; }
    void setProfile(const protocol::Profile& p) override { profile = p; }

    protocol::Profile profile;
};

/// Records every report; shows nothing.
class RecordingErrorReporter final : public ErrorReporter
{
public:
    explicit RecordingErrorReporter(CallLog& log) : m_log(log) {}

    struct Entry
    {
        QString message;
        QString appText;
        QString label;
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
