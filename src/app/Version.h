#pragma once
#include <QString>

// The program's four-part version, compiled in once; the update check compares its text form.
inline QString fileVersionText()
{
    return QStringLiteral("v%1.%2.%3 build %4")
        .arg(VARDEX_VERSION_MAJOR).arg(VARDEX_VERSION_MINOR).arg(VARDEX_VERSION_PATCH).arg(VARDEX_VERSION_BUILD);
}
