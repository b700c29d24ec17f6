#include "winapi/FileStore.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>
#include <utility>

namespace winapi::detail {
namespace {

// Files larger than this are not read: no INI file or hive of this program comes near it.
constexpr int64_t kMaxFileSize = int64_t(512) * 1024 * 1024;

FileStamp StampOf(const struct stat& st) {
    FileStamp s;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.size = st.st_size;
    s.mtimeNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.ctimeNs = int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return s;
}

std::string ParentOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

// A large buffer about to be filled is better backed by huge pages: a few page faults
// instead of thousands (a hive of 100,000 keys is about 11 MB). Only a hint.
void AdviseHugePages(char* data, size_t size) {
    constexpr uintptr_t kHuge = uintptr_t(2) << 20;
    if (size < 2 * kHuge) return;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + size) & ~(kHuge - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

// Temporary files are only ever created while the lock is held, so one found while
// holding it was left by a writer that died mid-write.
void RemoveStaleTemporaries(const std::string& dir, const std::string& prefix) {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    while (dirent* e = ::readdir(d)) {
        std::string_view name(e->d_name);
        if (name.size() > prefix.size() && name.substr(0, prefix.size()) == prefix)
            ::unlink((dir + "/" + std::string(name)).c_str());
    }
    ::closedir(d);
}

// The write lock of every file of one folder: an advisory lock (flock) on the folder
// itself, so that no lock file is left beside the files that users and other programs
// share. It must be the folder, not the file: a writer replaces the file by a new one,
// and a lock on the old one would no longer keep out the next writer. The open folder
// also serves to flush the folder after a rename. A thread that already holds the lock of
// the folder (an update made from within another update's edit) takes it again at once;
// a second flock of its own would wait for itself.
class FolderLock {
public:
    explicit FolderLock(const std::string& dir) {
        fd_ = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat st;
        if (fd_ < 0 || ::fstat(fd_, &st) != 0) {
            error_ = errno;
            Release();
            return;
        }
        id_ = {uint64_t(st.st_dev), uint64_t(st.st_ino)};
        if (Held()[id_]++ > 0) return;  // this thread holds it already
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                error_ = errno;
                Release();
                return;
            }
        }
    }
    ~FolderLock() { Release(); }  // closing releases the lock
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool held() const { return fd_ >= 0; }
    int error() const { return error_; }
    // Makes the folder's entries (a rename into it) durable.
    bool Sync() const { return ::fsync(fd_) == 0 || errno == EINVAL; }  // EINVAL: not supported

private:
    using FolderId = std::pair<uint64_t, uint64_t>;  // device, inode
    static std::map<FolderId, int>& Held() {
        thread_local std::map<FolderId, int> held;
        return held;
    }
    void Release() {
        if (fd_ < 0) return;
        auto it = Held().find(id_);
        if (it != Held().end() && --it->second == 0) Held().erase(it);
        ::close(fd_);
        fd_ = -1;
    }

    int fd_ = -1;
    int error_ = 0;
    FolderId id_{};
};

// Marks the file just written through `fd` as this process's version (see FileVersion): its
// modification time goes one nanosecond before the change time the write gave it. False when
// the file system cannot keep that time exactly (its clock is coarser): the mark would not
// tell a later write apart.
bool MarkWritten(int fd, FileStamp& stamp) {
    struct stat st;
    if (::fstat(fd, &st) != 0) return false;
    const int64_t mark = StampOf(st).ctimeNs - 1;
    const timespec times[2] = {{0, UTIME_OMIT}, {mark / 1000000000, mark % 1000000000}};
    if (::futimens(fd, times) != 0 || ::fstat(fd, &st) != 0) return false;
    stamp = StampOf(st);
    return stamp.mtimeNs == mark;
}

// Rewrites the existing file `path` itself: for a file that may be written in a folder
// that may not (no temporary file can be made beside it). A reader may see the file half
// written, as on Windows; the lock still keeps other writers out.
bool WriteInPlace(const std::string& path, const std::string& data) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, data) && ::ftruncate(fd, off_t(data.size())) == 0 && ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

}  // namespace

int64_t NowNs() {
    timespec ts;
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

bool StampVouches(const FileStamp& stamp, int64_t readTimeNs) {
    constexpr int64_t kRacyWindowNs = 50'000'000;  // well above any file-time tick
    return std::max(stamp.mtimeNs, stamp.ctimeNs) < readTimeNs - kRacyWindowNs;
}

bool StatFile(const std::string& path, FileStamp& stamp) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    stamp = StampOf(st);
    return true;
}

ReadStatus ReadWholeFile(const std::string& path, std::string& content, FileStamp* stamp) {
    content.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return (errno == ENOENT || errno == ENOTDIR) ? ReadStatus::Missing : ReadStatus::Failed;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxFileSize) {
        ::close(fd);
        return ReadStatus::Failed;
    }
    if (stamp) *stamp = StampOf(st);
    // Room for the probe that finds the end of the file, so that it does not copy the file.
    content.reserve(size_t(st.st_size) + 4096);
    AdviseHugePages(content.data(), size_t(st.st_size));
    content.resize(size_t(st.st_size));
    size_t done = 0;
    while (true) {
        if (done == content.size()) {
            // The size may have been stale (a file being appended to by someone else).
            if (int64_t(content.size()) >= kMaxFileSize) break;
            content.resize(content.size() + 4096);
        }
        ssize_t n = ::read(fd, content.data() + done, content.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            content.clear();
            return ReadStatus::Failed;
        }
        if (n == 0) break;
        done += size_t(n);
    }
    content.resize(done);
    ::close(fd);
    return ReadStatus::Ok;
}

bool IsWritable(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) return false;
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
        return ::access(path.c_str(), W_OK) == 0;
    }
    std::string dir = ParentOf(path);
    if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
    return ::access(dir.c_str(), W_OK | X_OK) == 0;
}

std::string ResolveForWrite(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved)) return resolved;
    }
    return path;
}

UpdateStatus LockedUpdate(const std::string& path, const EditFunction& edit, FileVersion* version) {
    const std::string target = ResolveForWrite(path);
    const std::string dir = ParentOf(target);
    const std::string base = BaseNameOf(target);
    struct stat dirStat;
    if (base.empty() || ::stat(dir.c_str(), &dirStat) != 0 || !S_ISDIR(dirStat.st_mode))
        return UpdateStatus::Failed;

    FolderLock lock(dir);
    if (!lock.held()) {
        int e = lock.error();
        return (e == EACCES || e == EPERM || e == EROFS) ? UpdateStatus::AccessDenied
                                                         : UpdateStatus::Failed;
    }
    const std::string tempPrefix = base + ".lumaro-tmp-";
    RemoveStaleTemporaries(dir, tempPrefix);

    std::string content;
    FileStamp readStamp;
    const int64_t readTime = NowNs();
    ReadStatus read = ReadWholeFile(target, content, &readStamp);
    if (read == ReadStatus::Failed) return UpdateStatus::Failed;
    const bool exists = read == ReadStatus::Ok;
    if (!IsWritable(target)) return UpdateStatus::AccessDenied;

    std::string newContent;
    switch (edit(exists, content, newContent)) {
        case Edit::Keep:
            if (version && exists) *version = {readStamp, StampVouches(readStamp, readTime)};
            return UpdateStatus::Unchanged;
        case Edit::Refuse:
            return UpdateStatus::Refused;
        case Edit::Replace:
            break;
    }

    struct stat old {};
    const bool hadOld = exists && ::stat(target.c_str(), &old) == 0;
    static std::atomic<unsigned> counter{0};
    const std::string temp =
        dir + "/" + tempPrefix + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                    hadOld ? (old.st_mode & 07777) : 0666);
    if (fd < 0 && (errno == EACCES || errno == EPERM) && hadOld) {
        // The folder refuses new files but the file itself may be written.
        // Another program may write the same file meanwhile: this version is not marked.
        if (!WriteInPlace(target, newContent)) return UpdateStatus::Failed;
        if (version) StatFile(target, version->stamp);
        return UpdateStatus::Written;
    }
    if (fd < 0)
        return (errno == EACCES || errno == EROFS) ? UpdateStatus::AccessDenied
                                                   : UpdateStatus::Failed;
    bool ok = true;
    if (hadOld) {
        // Keep the replaced file's owner and permissions (best effort for the owner).
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
            if (::fchown(fd, old.st_uid, old.st_gid) != 0) { /* not permitted: keep ours */
            }
        }
        ::fchmod(fd, old.st_mode & 07777);
    }
    FileStamp marked;
    ok = WriteAll(fd, newContent);
    const bool isMarked = ok && MarkWritten(fd, marked);
    ok = ok && ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) ok = false;
    if (!ok) {
        ::unlink(temp.c_str());
        return UpdateStatus::Failed;
    }
    // Without this a power cut could bring the old file back after success was reported.
    if (!lock.Sync()) return UpdateStatus::Failed;
    if (version) {
        // The rename changed the change time; the inode, size and mark say whether the file
        // is still the one written.
        FileStamp& now = version->stamp;
        version->trusted = StatFile(target, now) && isMarked && now.device == marked.device &&
                           now.inode == marked.inode && now.size == marked.size &&
                           now.mtimeNs == marked.mtimeNs;
    }
    return UpdateStatus::Written;
}

}  // namespace winapi::detail
