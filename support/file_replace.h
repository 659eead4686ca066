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

// Options of file_replace, or-ed together.
enum {
    // What is at the file replaced is moved aside first (see file_replace).
    REPLACE_SET_ASIDE = 1,
    // A dangling symbolic link is written through: the file it names is
    // made, and the link stays. Without, such a link is refused.
    REPLACE_DANGLING = 2
};

// The file that file_replace(path, options, ...) replaces: path itself when
// it is no symbolic link (made when missing), else the file that its chain of
// links ends on, so that the links stay in place. "" when path is refused: a
// loop, a chain that cannot be followed (a folder that cannot be searched, a
// name through a file), or a dangling link without REPLACE_DANGLING.
// Reads the file system, changes nothing.
std::string file_replace_target(const std::string &path, int options);

// Replaces the file that path names (file_replace_target; a path refused
// there fails) whole or not at all; callers pass the name the user gave. write fills a new
// temporary file in that file's folder, which gets the file's permissions or
// those of a new file, and returns 0 or -1. Every write is checked, then the
// file is flushed, synced and closed. With REPLACE_SET_ASIDE, what is at the
// file is then moved to the first free name of <file>.corrupt,
// <file>.corrupt.1, ... (nothing is overwritten), and the new file is renamed
// to the file. Without, a file that exists is refused unless it is a regular
// file that this process may write (as the kernel decides: a read-only file
// is refused, also in a folder of the user's own). The new file is renamed
// to the file, or, where that would change its owner or group or cut off its
// other names (hard links), copied over its bytes in place, after room for
// it is reserved where the file system can. Last the folder is synced.
// Returns 0, or -1 when any step fails, memory running out included (a write
// that throws std::bad_alloc counts as failed): the file is then as it was
// (only a copy in place that fails after its reservation, or where none can
// be made, leaves it damaged) and no temporary file is left.
int file_replace(const std::string &path, int options, const std::function<int(FILE *)> &write);

// The process-wide step that file_replace needs, taken first at start-up:
// the process ignores SIGXFSZ, so that a write past its file-size limit (a
// shell's ulimit -f) fails with EFBIG, as a write to a full disk fails, and
// the replacement fails with the file kept and no temporary file left,
// where the signal would end the process. Cannot fail.
void file_replace_startup(void);

#endif
