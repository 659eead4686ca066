// Replacing a file whole or not at all: the new content is written into a
// temporary file beside the target, which takes the target's place only once
// every byte of it is on disk (or is then copied over a target that a rename
// would change in owner, group or names). Used by the SVG export, the
// preference store and the loggers' Save.
#ifndef FTD_FILE_REPLACE_H
#define FTD_FILE_REPLACE_H

#include <cstdio>
#include <functional>
#include <string>

// The name that path's chain of symbolic links ends on: path itself when it
// is no link, else the name the last link gives, which may name nothing yet
// (a dangling link: the file to make). "" for a loop, or a chain that cannot
// be followed (a folder that cannot be searched, a name through a file).
std::string file_link_end(const char *path);

// The file a write to path replaces: path itself when it is no link (made
// when missing), or for a symbolic link the file its chain ends on, so that
// the links stay in place. "" for a dangling link or a loop.
std::string file_link_target(const char *path);

// Replaces the file target itself (a caller writing through a symbolic link
// passes file_link_target's result) whole or not at all. write fills a new
// temporary file in target's folder, which gets target's permissions or
// those of a new file, and returns 0 or -1. Every write is checked, then the
// file is flushed, synced and closed. With set_aside non-zero, what is at
// target is then moved to the first free name of target.corrupt,
// target.corrupt.1, ... (nothing is overwritten), and the new file is renamed
// to target. Without, a target that exists is refused unless it is a regular
// file that this process may write (as the kernel decides: a read-only file
// is refused, also in a folder of the user's own). The new file is renamed
// to target, or, where that would change target's owner or group or cut off
// its other names (hard links), copied over target's bytes in place, after
// room for it is reserved where the file system can. Last the folder is
// synced. Returns 0, or -1 when any step fails: target is then as it was
// (only a copy in place that fails after its reservation, or where none can
// be made, leaves it damaged) and no temporary file is left.
int file_replace(const std::string &target, int set_aside, const std::function<int(FILE *)> &write);

#endif
