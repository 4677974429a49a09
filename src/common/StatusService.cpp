#include "common/StatusService.h"

#include "runtime/Seam.h"

#include <QLoggingCategory>

namespace tavro {

namespace {

Q_LOGGING_CATEGORY(lcStatus, "tavro.status")

// Until the host shell installs its status area, what the documents report goes to the log.
class LoggingStatusService final : public StatusService
{
public:
    void ShowStatus(const QString& text) override { qCInfo(lcStatus) << "status:" << text; }
    void ShowWarning(const QString& text) override { qCInfo(lcStatus) << "warning:" << text; }
    void EnableToolbarButton(int button, bool enabled, const QString& hostTag) override
    {
        qCInfo(lcStatus) << "toolbar button" << button << (enabled ? "on" : "off") << "for" << hostTag;
    }
    void SetReady(bool ready) override { qCInfo(lcStatus) << "ready:" << ready; }
};

SeamSlot<StatusService>& slot()
{
    static SeamSlot<StatusService> s(
        []() -> std::unique_ptr<StatusService> { return std::make_unique<LoggingStatusService>(); });
    return s;
}

} // namespace

StatusService::~StatusService() = default;

StatusService& StatusService::instance()
{
    return slot().get();
}

void StatusService::setInstance(StatusService* service)
{
    slot().set(service);
}

} // namespace tavro
