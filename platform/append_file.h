#pragma once
// Appending to a file that is opened for each write and closed again, so that nothing stays
// open between writes and what was written is in the file once the call returns.
//
// Threads: any; calls on one file from several threads may interleave their bytes. Each
// call blocks for its open, write and close.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace quorvex::platform {

// Creates the file at `path` when it does not exist; an existing file keeps what it holds.
// 0, or the errno of the failing call.
int CreateOrKeepFile(const std::string& path);

// Appends `bytes` to the file at `path`, which must exist: a missing file is not created
// (ENOENT). The bytes are pieces, entries of a log for instance, that end at the offsets in
// `ends` (ascending, the last one bytes.size()). A write refused part way, by a full disk
// say, cuts the file back to the end of the last piece written whole: no piece is left torn,
// and the next append starts where a piece would. 0, or the errno of the failing open, write
// or close; a failed write is reported before a failed close.
int AppendToExistingFile(const std::string& path, std::string_view bytes,
                         std::span<const std::size_t> ends);
// The same for bytes that are one piece: all of them reach the file or none.
int AppendToExistingFile(const std::string& path, std::string_view bytes);

}  // namespace quorvex::platform
