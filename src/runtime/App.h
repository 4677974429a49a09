#pragma once

#include <QString>

namespace tavro {

/// \brief The application object: the component's version and the application text that
/// error reports carry.
class App
{
public:
    static constexpr int Major() { return 5; }
    static constexpr int Minor() { return 1; }
    /// The application text of error reports: the component's project name.
    static QString Title();
    /// Major and minor version joined by ".", as requests carry it ("5.1").
    static QString versionText();
};

} // namespace tavro
