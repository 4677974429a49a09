#pragma once

#include "protocol/Messages.h"

#include <QString>

namespace tavro {

/// \brief The signed-in user's values, known from sign-in on.
///
/// One process-wide object, created on first use; the default holds what
/// setProfile() was last given (empty values before sign-in).
class UserProfile
{
public:
    virtual ~UserProfile();

    virtual QString UserId() const = 0;
    virtual QString TrpId() const = 0;
    virtual QString TrpDstrctId() const = 0;
    virtual qint32 OfficerId() const = 0;
    virtual QString OfficerName() const = 0;
    virtual void setProfile(const protocol::Profile& profile) = 0;

    static UserProfile& instance();
    /// Installs \a profile (not owned); nullptr restores the default.
    static void setInstance(UserProfile* profile);
};

} // namespace tavro
