// What a process holds that a handler could leave behind: open handles and
// mapped views.
#pragma once

namespace vantrel::test {

// Committed views of mapped files in this process.
int mappedViews();

// Open handles of files and file mappings in this process, what a handler
// opens for a picture, found by asking after every handle value in the range
// a test process uses (GetProcessHandleCount is not available on every system
// the tests run on). Handles of other kinds are not counted: the system makes
// and keeps some of its own while threads run (Wine does, one now and then).
int openHandles();

// GetProcessHandleCount's figure, or -1 where the system gives none (Wine
// reports 0).
int systemHandleCount();

}  // namespace vantrel::test
