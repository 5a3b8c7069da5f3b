#pragma once
// Small files read whole and replaced whole, such as the settings and the profiles.
//
// Only a regular file is read: a folder, a device or a FIFO in its place is refused without
// being opened, and a file is opened without blocking and examined through the opened
// descriptor, so what stands there cannot change between the look and the read. A file is
// replaced through a temporary file beside it, so a failure midway leaves the old one whole.
//
// Threads: any; calls on one file from two threads at a time are not ordered.

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvex::platform {

// The system's text for an errno ("Is a directory", ...).
std::string ErrorText(int error);

// A whole file as one read left it.
struct WholeFile {
    std::string Text;    // empty when the file is missing or cannot be read
    std::string Reason;  // why it cannot be read; empty when it was read or is missing
};

// Reads `path` if it is a regular file of at most `limit` bytes. A missing file (or a link
// to one) reads as empty, without a reason.
WholeFile ReadWholeFile(const std::string& path, std::size_t limit);

// Where the chain of symbolic links that starts at `path` ends (existing or not), or `path`
// itself: the file a replacement of `path` writes. An errno (ELOOP, ...) when the chain
// cannot be followed, else 0.
int FollowLinks(const std::string& path, std::string& target);

// The file a replacement of `path` writes (where its links lead, as FollowLinks says), or why
// it must not be replaced: anything but a regular file standing there, such as a device, a
// FIFO, a pipe behind /dev/stdout or a folder, would be swapped for a regular file.
struct ReplaceTarget {
    std::string Path;    // empty when refused
    std::string Reason;  // why it is refused ("not a regular file (a FIFO)"), else empty
};
ReplaceTarget FindReplaceTarget(const std::string& path);

// Writes `content` to a temporary file beside `target` (named `target` + ".tmp-" and six
// letters or digits, locked while it exists) and renames it over `target`, which keeps its
// permissions. An errno when that fails, else 0; nothing is left behind then. Anything but a
// regular file at `target` is left alone: EISDIR for a folder, EEXIST for anything else.
int ReplaceFileAtomically(const std::string& target, std::string_view content);

// Removes the temporary files beside the file `path` leads to that replacements killed
// midway left; one whose replacement is still under way keeps its lock and stays.
void RemoveLeftoverTemporaries(const std::string& path);

}  // namespace quorvex::platform
