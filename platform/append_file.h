#pragma once
// Appending to a file that is opened for each write and closed again, so that nothing stays
// open between writes and what was written is in the file once the call returns.
//
// Threads: any; calls on one file from several threads may interleave their bytes. Each
// call blocks for its open, write and close.

#include <string>
#include <string_view>

namespace quorvex::platform {

// Creates the file at `path` when it does not exist; an existing file keeps what it holds.
// 0, or the errno of the failing call.
int CreateOrKeepFile(const std::string& path);

// Appends all of `bytes` to the file at `path`, which must exist: a missing file is not
// created (ENOENT). 0, or the errno of the failing open, write or close; a failed write is
// reported before a failed close.
int AppendToExistingFile(const std::string& path, std::string_view bytes);

}  // namespace quorvex::platform
