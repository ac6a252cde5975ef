#pragma once
#include <functional>

// Runs work on a worker thread while the calling thread's event loop goes on (windows keep
// painting, queued progress arrives) without user input; returns when the work is done and
// throws here what the work threw.
// `meanwhile`, if given, runs on the calling thread while the work goes on (what it throws is
// thrown after the work is done, unless the work threw first).
void runInBackground(const std::function<void()> &work, const std::function<void()> &meanwhile = {});
