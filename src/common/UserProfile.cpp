#include "common/UserProfile.h"

#include "runtime/Seam.h"

namespace tavro {

namespace {

class HeldUserProfile final : public UserProfile
{
public:
    QString UserId() const override { return m_profile.userId; }
    QString TrpId() const override { return m_profile.trpId; }
    QString TrpDstrctId() const override { return m_profile.trpDstrctId; }
    qint32 OfficerId() const override { return m_profile.officerId; }
    QString OfficerName() const override { return m_profile.officerName; }
    void setProfile(const protocol::Profile& profile) override { m_profile = profile; }

private:
    protocol::Profile m_profile;
};

SeamSlot<UserProfile>& slot()
{
    static SeamSlot<UserProfile> s(
        []() -> std::unique_ptr<UserProfile> { return std::make_unique<HeldUserProfile>(); });
    return s;
}

} // namespace

UserProfile::~UserProfile() = default;

UserProfile& UserProfile::instance()
{
    return slot().get();
}

void UserProfile::setInstance(UserProfile* profile)
{
    slot().set(profile);
}

} // namespace tavro
