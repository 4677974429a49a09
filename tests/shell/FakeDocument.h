#pragma once

#include "common/HostedDocument.h"
#include "support/CallLog.h"

#include <functional>
#include <QWidget>

namespace tavro::test {

/// \brief A document that records every host call as "<name>.<operation>" and answers as scripted.
class FakeDocument final : public QWidget, public HostedDocument
{
public:
    FakeDocument(const QString& name, CallLog& log, QWidget* parent) : QWidget(parent), m_log(log)
    {
        setObjectName(name);
    }

    QWidget* documentWidget() override { return this; }
    bool DataChanged() override { return record("DataChanged"), false; }
    void ClearData() override { record("ClearData"); }
    void FileNew() override { record("FileNew"); }
    void BeforeUnload() override { record("BeforeUnload"); }
    void PersistData() override { record("PersistData"); }
    void RestoreData() override { record("RestoreData"); }
    bool NeedSave() override { return record("NeedSave"), needSaveAnswer; }
    bool CloseDocument() override
    {
        record("CloseDocument");
        if (whileClosing)
            whileClosing();
        return mayClose;
    }
    void SaveData() override { record("SaveData"); }

    bool needSaveAnswer = false;
    bool mayClose = true;
    std::function<void()> whileClosing;

private:
    void record(const char* operation) { m_log.add(objectName() + u'.' + QLatin1String(operation)); }
    CallLog& m_log;
};

} // namespace tavro::test
