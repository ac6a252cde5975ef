#pragma once
#include <QString>

// A helper program of ours (vardex-scan, vardex-send): the file its variable names
// (VARDEX_SCAN_HELPER, VARDEX_SEND_HELPER) when set, else beside the program, else
// ../libexec/vardex from its folder, as the package installs them. "" if none.
QString helperPath(const QString &name);
