#pragma once

#include <QtGlobal>

//! The desktop the build is for, for every layer: the application object answers the same
//! questions through CTIClient::isMacOSX() and its siblings.
class Platform final
{
public:
    enum class Kind { MacOS, Windows, LinuxX11, Other };

    static constexpr Kind current()
    {
#if defined(Q_OS_MACOS)
        return Kind::MacOS;
#elif defined(Q_OS_WIN)
        return Kind::Windows;
#elif defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD)
        return Kind::LinuxX11;
#else
        return Kind::Other;
#endif
    }
    static constexpr bool isMacOSX() { return current() == Kind::MacOS; }
    static constexpr bool isWindows() { return current() == Kind::Windows; }
    static constexpr bool isLinuxX11() { return current() == Kind::LinuxX11; }

private:
    Platform() = delete;
};
