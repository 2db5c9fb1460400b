#pragma once

#include <QString>

//! What this build is: the project's version, and the source-control commit (its first 12
//! characters), that commit's date (year-month-day) and the branch it was built from; "unknown"
//! for a build outside a checkout.
class BuildInfo final
{
public:
    static QString version();
    static QString reference();
    static QString releaseDate();
    static QString branch();

private:
    BuildInfo() = delete;
};
