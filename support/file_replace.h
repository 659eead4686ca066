// Replacing a file whole or not at all: the new content is written into a
// temporary file beside the target, which takes the target's place only once
// every byte of it is on disk. Used by the SVG export and the preference
// store.
#ifndef FTD_FILE_REPLACE_H
#define FTD_FILE_REPLACE_H

#include <cstdio>
#include <functional>
#include <string>

// The file a write to path replaces: path itself, or for a symbolic link the
// file it resolves to, so that the link stays in place. "" for a link that
// resolves to nothing (dangling, or a loop). Cannot fail otherwise.
std::string file_link_target(const char *path);

// Replaces the file target itself (a caller writing through a symbolic link
// passes file_link_target's result) whole or not at all. write fills a new
// temporary file in target's folder, which gets target's permissions or
// those of a new file, and returns 0 or -1. Every write is checked, then the
// file is flushed, synced and closed. With set_aside non-zero, what is at
// target is then moved to the first free name of target.corrupt,
// target.corrupt.1, ... (nothing is overwritten); without, a target that
// exists but is not a regular file (a directory, a pipe, a device) is
// refused, as the new file would replace it. Last the new file is renamed to
// target and the folder synced. Returns 0, or -1 when any step fails: target
// is then as it was and no temporary file is left.
int file_replace(const std::string &target, int set_aside, const std::function<int(FILE *)> &write);

#endif
