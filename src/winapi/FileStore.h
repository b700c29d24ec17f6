#pragma once
// File access shared by the INI functions and the registry store.
//
// Readers take no lock: every writer replaces the whole file by renaming a finished
// temporary file over it, so a reader sees either the old or the new content, never a
// mixture. Writers serialise on an advisory lock (flock) held on the file's folder and
// re-read the file under that lock, so two processes changing different entries of one
// file both keep their change. No lock file is left beside the file.

#include <cstdint>
#include <functional>
#include <string>

namespace winapi::detail {

// What identifies one version of a file on disk: a write replaces the inode, so any write
// changes at least the inode or the change time.
struct FileStamp {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = -1;
    int64_t mtimeNs = 0;
    int64_t ctimeNs = 0;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of `path` now; false when it is missing or not a regular file.
bool StatFile(const std::string& path, FileStamp& stamp);

enum class ReadStatus { Ok, Missing, Failed };

// Reads the whole regular file `path` into `content` (and its stamp, taken from the open
// file so that both describe the same version).
ReadStatus ReadWholeFile(const std::string& path, std::string& content, FileStamp* stamp = nullptr);

// True when the process may change the file: a file without any write permission bit is
// read-only for everyone, the super-user included (as a read-only file is on Windows);
// for a file that does not exist yet, the folder that would hold it must be writable.
bool IsWritable(const std::string& path);

// The path a write should replace: a symbolic link is followed to the file it names, so
// the link itself survives the rename.
std::string ResolveForWrite(const std::string& path);

// The decision of an update function, taken under the lock on the current content.
enum class Edit {
    Keep,     // nothing to change: the file stays as it is
    Replace,  // write `newContent` in place of the file
    Refuse,   // the change cannot be made: the file stays as it is
};

enum class UpdateStatus {
    Unchanged,     // Keep
    Written,       // Replace done
    Refused,       // Refuse
    AccessDenied,  // the file (or its folder) cannot be written
    Failed,        // missing folder, disk full, I/O error: the file stays as it was
};

// What an update left on disk: the file's stamp, and whether that stamp alone vouches for
// the content the update wrote or read. A file this process wrote is marked: its
// modification time is set just before the change time its write gave it, a moment no later
// write can carry, so that a rewrite in place by anyone else, even within the same tick of
// the file clock and keeping the size, changes the stamp. A file only read is vouched for
// when it was last changed well before it was read (see StampVouches).
struct FileVersion {
    FileStamp stamp;
    bool trusted = false;
};

// File times are coarse (a few milliseconds): a file changed within one tick of being read
// could keep its whole stamp. As git does with "racily clean" entries, a stamp read at
// `readTimeNs` vouches for the content only when the file was last changed well before.
bool StampVouches(const FileStamp& stamp, int64_t readTimeNs);
int64_t NowNs();  // the wall clock, in nanoseconds since the epoch

// Runs `edit` under the file's lock with its current content (`exists` false when the file
// is missing) and, when it asks for it, replaces the file atomically: temporary file beside
// it, flushed to disk, renamed over it, keeping the old file's permissions, the folder
// flushed after the rename. A writable file in a folder where no temporary file can be
// made is rewritten in place (flushed, under the same lock). `version`, when given,
// receives the file as the update left it.
using EditFunction =
    std::function<Edit(bool exists, const std::string& content, std::string& newContent)>;
UpdateStatus LockedUpdate(const std::string& path, const EditFunction& edit,
                          FileVersion* version = nullptr);

}  // namespace winapi::detail
