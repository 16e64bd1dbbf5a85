// The decisions of the Windows trash, apart from the shell so that tests can check them without
// moving anything: the file operation's flags, whether the progress sink lets a delete go on, and
// how a finished operation reads as a TrashResult. HRESULTs cross as `long`, which they are.
#pragma once

#include "app/desktop/Trash.h"

#include <string>

// IFileOperation's flags for a trash: recycle, show nothing and ask nothing, stop at the first
// failure, and ask (rather than silently delete) if the item would be destroyed instead of
// recycled.
unsigned long trashOperationFlags();

// Whether PreDeleteItem lets the shell go on with an item announced with `transferFlags`: only
// when the shell will recycle it. Any other delete would be permanent.
bool mayDeleteProceed(unsigned long transferFlags);

// What the progress sink saw during one operation.
struct TrashProgress {
    int moved = 0;                // items PostDeleteItem reported gone
    bool stoppedDeletion = false; // PreDeleteItem refused an item the shell would have destroyed
    long firstFailure = 0;        // the first failing HRESULT PostDeleteItem reported; 0 for none
};

// The result of an operation whose PerformOperations returned `performed`, with
// GetAnyOperationsAborted's `aborted`, the sink's record, and whether the item is still there.
// A failure after items of a folder already moved is PARTIAL.
TrashResult trashOutcome(long performed, bool aborted, const TrashProgress& progress, bool stillThere);

// One sentence for a status line about a failing HRESULT of the shell or the file system.
std::string trashFailureText(long failure);
