#pragma once

#include "platform.h"

#include <QFont>

//! The three fonts the call views and item delegates draw with, so that all agree on
//! family and size per platform. Stateless; every call returns a new font.
class FontFactory final
{
public:
    static QFont defaultFont(Platform::Kind platform = Platform::current());
    static QFont smallFont(Platform::Kind platform = Platform::current());
    static QFont tinyFont(Platform::Kind platform = Platform::current());

private:
    FontFactory() = delete;
};
