#include "fontfactory.h"

namespace {
struct Sizes
{
    int macOS;
    int windows;
    int linuxX11;
    int other;
};

int sizeFor(const Sizes &sizes, Platform::Kind platform)
{
    switch (platform) {
    case Platform::Kind::MacOS:
        return sizes.macOS;
    case Platform::Kind::Windows:
        return sizes.windows;
    case Platform::Kind::LinuxX11:
        return sizes.linuxX11;
    case Platform::Kind::Other:
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

QFont FontFactory::defaultFont(Platform::Kind platform)
{
    return helvetica(sizeFor({12, 10, 10, 10}, platform), QFont::SansSerif);
}

QFont FontFactory::smallFont(Platform::Kind platform)
{
    return helvetica(sizeFor({11, 9, 10, 9}, platform), QFont::SansSerif);
}

QFont FontFactory::tinyFont(Platform::Kind platform)
{
    return helvetica(sizeFor({10, 8, 9, 7}, platform), QFont::System);
}
