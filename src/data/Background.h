#pragma once
#include <functional>

// Runs work on a worker thread while the calling thread's event loop goes on (windows keep
// painting, queued progress arrives) without user input; returns when the work is done and
// throws here what the work threw.
void runInBackground(const std::function<void()> &work);
