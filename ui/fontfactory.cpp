#include "fontfactory.h"

namespace {
struct Sizes
{
    int macOS;
    int windows;
    int linuxX11;
    int other;
};

int sizeFor(const Sizes &sizes, FontFactory::Platform platform)
{
    switch (platform) {
    case FontFactory::Platform::MacOS:
        return sizes.macOS;
    case FontFactory::Platform::Windows:
        return sizes.windows;
    case FontFactory::Platform::LinuxX11:
        return sizes.linuxX11;
    case FontFactory::Platform::Other:
        break;
    }
    return sizes.other;
}

QFont helvetica(int pointSize, QFont::StyleHint hint)
{
    QFont font(QStringLiteral("Helvetica"), pointSize);
    font.setStyleHint(hint, QFont::PreferDefault);
    return font;
}
}

QFont FontFactory::defaultFont(Platform platform)
{
    return helvetica(sizeFor({12, 10, 10, 10}, platform), QFont::SansSerif);
}

QFont FontFactory::smallFont(Platform platform)
{
    return helvetica(sizeFor({11, 9, 10, 9}, platform), QFont::SansSerif);
}

QFont FontFactory::tinyFont(Platform platform)
{
    return helvetica(sizeFor({10, 8, 9, 7}, platform), QFont::System);
}
