#include "common/FieldUtility.h"

#include "common/ReferenceData.h"
#include "common/ReplyStore.h"
#include "common/UserProfile.h"
#include "common/VeskRequest.h"
#include "controls/TextBox.h"
#include "protocol/NumberRules.h"
#include "runtime/App.h"
#include "runtime/Seam.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QScreen>
#include <QWidget>

namespace tavro {

namespace {

Q_LOGGING_CATEGORY(lcField, "tavro.field")

// The style sheet a widget had before it was marked, so that clearing gives back exactly that.
constexpr char StyleBeforeProperty[] = "tavroStyleSheetBeforeHighlight";
// Applies to the widget and its children (a text box's inner editor), so the colour shows
// on whatever the officer looks at.
constexpr char HighlightRule[] = "\n* { background-color: #ffe066; }";

class StandardFieldUtility final : public FieldUtility
{
public:
    void HighlightControl(QWidget* control) override
    {
        if (!control || control->property(HighlightProperty).toBool())
            return;
        control->setProperty(StyleBeforeProperty, control->styleSheet());
        control->setProperty(HighlightProperty, true);
        control->setStyleSheet(control->styleSheet() + QLatin1String(HighlightRule));
    }

    void ClearHighlight(QWidget* control) override
    {
        if (!control || !control->property(HighlightProperty).toBool())
            return;
        control->setStyleSheet(control->property(StyleBeforeProperty).toString());
        control->setProperty(HighlightProperty, QVariant());
        control->setProperty(StyleBeforeProperty, QVariant());
    }

    void SetupForm(QWidget* form) override
    {
        if (!form)
            return;
        // A form is shown fresh: nothing in it is marked from an earlier showing.
        ClearHighlight(form);
        for (QWidget* child : form->findChildren<QWidget*>())
            ClearHighlight(child);
        if (form->windowIcon().isNull())
            form->setWindowIcon(QGuiApplication::windowIcon());
        // Centred over the window it belongs to, or the screen when it has none.
        const QWidget* owner = form->parentWidget() ? form->parentWidget()->window() : nullptr;
        QRect area;
        if (owner && owner->isVisible())
            area = owner->frameGeometry();
        else if (const QScreen* screen = QGuiApplication::primaryScreen())
            area = screen->availableGeometry();
        if (form->isWindow() && area.isValid()) {
            QRect frame = form->frameGeometry();
            frame.moveCenter(area.center());
            form->move(frame.topLeft());
        }
    }

    bool ValidateNumber(const QString& type, QString& number, QString& message) override
    {
        return protocol::validateNumber(type, number, &message);
    }

    int CheckDigit(const QString& sevenDigits) override { return protocol::checkDigit(sevenDigits); }

    QString RequestFormNumber(const QString& type, const QString& documentName,
                              FormNumberCollection*& ready) override
    {
        // Numbers are never handed out ahead: each one comes from the back end's sequence.
        ready = nullptr;
        VeskRequest request;
        request.setRequester(documentName);
        request.setUserId(UserProfile::instance().UserId());
        request.setVersion(App::versionText());
        request.setRequestCode(protocol::FormNumber);
        request.AddCriterion(VeskCriterion(QStringLiteral("KESTROVA"), QStringLiteral("key:FORM_TYP_CD"),
                                           QStringLiteral("="), type));
        const QString key = request.RequestKey();
        request.Send();
        return key;
    }

    bool FilterKey(const QString& type, TextBox* box, int& keyAscii) override
    {
        const QString current = box ? box->Text() : QString();
        return protocol::acceptsKey(type, current, QChar(keyAscii));
    }

    QString CheckReplyErrors(const QString& documentName, const QString& label, int) override
    {
        QStringList texts;
        for (const protocol::ReplyError& error : ReplyStore::instance().latestErrors(documentName)) {
            texts.append(error.text.trimmed().isEmpty() ? error.code : error.text);
            qCInfo(lcField).noquote() << label << "reply error" << error.code << error.text;
        }
        return texts.join(u'\n');
    }

    QString GetOfficerName(qint32 officerId, int) override
    {
        return ReferenceData::instance().officerName(officerId);
    }

    QString GetCodeDescription(const QString& code, const QString& table) override
    {
        return ReferenceData::instance().codeDescription(table, code);
    }
};

SeamSlot<FieldUtility>& slot()
{
    static SeamSlot<FieldUtility> s(
        []() -> std::unique_ptr<FieldUtility> { return std::make_unique<StandardFieldUtility>(); });
    return s;
}

} // namespace

FieldUtility::~FieldUtility() = default;

FieldUtility& FieldUtility::instance()
{
    return slot().get();
}

void FieldUtility::setInstance(FieldUtility* utility)
{
    slot().set(utility);
}

} // namespace tavro
