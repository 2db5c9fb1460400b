#pragma once

#include <QFont>

//! The three fonts the call views and item delegates draw with, so that all agree on
//! family and size per platform. Stateless; every call returns a new font.
class FontFactory final
{
public:
    enum class Platform { MacOS, Windows, LinuxX11, Other };

    static constexpr Platform currentPlatform()
    {
#if defined(Q_OS_MACOS)
        return Platform::MacOS;
#elif defined(Q_OS_WIN)
        return Platform::Windows;
#elif defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD)
        return Platform::LinuxX11;
#else
        return Platform::Other;
#endif
    }

    static QFont defaultFont(Platform platform = currentPlatform());
    static QFont smallFont(Platform platform = currentPlatform());
    static QFont tinyFont(Platform platform = currentPlatform());

private:
    FontFactory() = delete;
};
