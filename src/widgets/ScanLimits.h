#pragma once
#include <QtGlobal>

// What one scan may cost. A scan comes from a file server the workstation does not control, so
// it is opened and rendered by a helper process (vardex-scan) that lives within these bounds and
// is killed when it overruns a time. Real works have up to about 60 A4 pages.
namespace ScanLimits {
constexpr int kMaxPages = 1000;
constexpr double kMaxPagePoints = 1e12;            // a larger page is refused, not drawn
constexpr int kMaxPageSide = 20000;                // pixels; a larger page is shown smaller
constexpr qint64 kMaxImageBytes = 64LL << 20;      // one rendered image
constexpr qint64 kHelperMemoryMiB = 1024;          // the helper's data and heap
constexpr int kOpenMs = 5000;                      // to open a scan and read its page sizes
constexpr int kPageMs = 2000;                      // to render one page
}
