// What a process holds that a handler could leave behind: open handles and
// mapped views.
#pragma once

namespace vantrel::test {

// Committed views of mapped files in this process.
int mappedViews();

// Open handles of this process, found by asking after every handle value in
// the range a test process uses (GetProcessHandleCount is not available on
// every system the tests run on).
int openHandles();

// openHandles() once it is back to expected, waiting up to two seconds: after
// threads end, the system may take a moment to close handles of its own.
int openHandlesOnceSettled(int expected);

// GetProcessHandleCount's figure, or -1 where the system gives none (Wine
// reports 0).
int systemHandleCount();

}  // namespace vantrel::test
