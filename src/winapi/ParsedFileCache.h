#pragma once
// Parsed files kept between calls, each re-validated on every use against the file's
// stamp (device, inode, size, modification and change times): a call costs one stat()
// while the file is unchanged, and a re-read and re-parse once it has changed.
//
// A parse read from disk is trusted only when its stamp vouches for it (StampVouches: the
// file was last changed well before it was read); until then every call reads the file
// again (and parses it again only when its bytes differ from the ones parsed). A file the
// process wrote itself is trusted by its stamp at once (Wrote), as its write marked it.

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "winapi/FileStore.h"

namespace winapi::detail {

template <class Doc>
class ParsedFileCache {
public:
    using Parser = std::function<std::shared_ptr<const Doc>(std::string content)>;

    explicit ParsedFileCache(Parser parse) : parse_(std::move(parse)) {}

    // The parsed file, or null when it is missing or cannot be read (`status` says which).
    std::shared_ptr<const Doc> Get(const std::string& path, ReadStatus* status = nullptr) {
        std::lock_guard<std::mutex> guard(mutex_);
        FileStamp now;
        auto it = entries_.find(path);
        if (!StatFile(path, now)) {
            if (it != entries_.end()) entries_.erase(it);
            if (status) *status = ReadStatus::Missing;
            // A path that exists but is no regular file reads like a missing one.
            return nullptr;
        }
        if (it != entries_.end() && it->second.stamp == now && it->second.trusted) {
            if (status) *status = ReadStatus::Ok;
            return it->second.doc;
        }
        std::string content;
        FileStamp stamp;
        const int64_t readTime = NowNs();
        ReadStatus read = ReadWholeFile(path, content, &stamp);
        if (status) *status = read;
        if (read != ReadStatus::Ok) {
            if (it != entries_.end()) entries_.erase(it);
            return nullptr;
        }
        std::shared_ptr<const Doc> doc;
        // Only an entry that kept its bytes can tell (a trusted one keeps none: an emptied
        // file would match).
        if (it != entries_.end() && !it->second.trusted && it->second.content == content)
            doc = it->second.doc;
        else if (StampVouches(stamp, readTime))
            doc = parse_(std::move(content));  // the bytes are not kept: no copy
        else
            doc = parse_(content);
        Store(path, stamp, doc, std::move(content), readTime);
        return doc;
    }

    // Hands the parsed file over to a caller about to change it, when it is the one of the
    // file read under the write lock (`stamp` and `content`): the entry leaves the cache. Null
    // when the cache holds another version, or when another thread still uses it.
    std::shared_ptr<Doc> Take(const std::string& path, const FileStamp& stamp,
                              const std::string& content) {
        std::lock_guard<std::mutex> guard(mutex_);
        auto it = entries_.find(path);
        if (it == entries_.end()) return nullptr;
        Entry& e = it->second;
        const bool same = (e.trusted && e.stamp == stamp) || (!e.trusted && e.content == content);
        std::shared_ptr<Doc> doc;
        if (same && e.doc.use_count() == 1) doc = std::const_pointer_cast<Doc>(std::move(e.doc));
        entries_.erase(it);
        return doc;
    }

    // Keeps `doc` as the file an update left (LockedUpdate's `version`), when the version's
    // stamp vouches for it; else the file is read again on the next call.
    void Wrote(const std::string& path, const FileVersion& version,
               std::shared_ptr<const Doc> doc) {
        std::lock_guard<std::mutex> guard(mutex_);
        if (!version.trusted || !doc) {
            entries_.erase(path);
            return;
        }
        if (entries_.size() >= kMaxEntries && !entries_.count(path)) entries_.clear();
        entries_[path] = Entry{version.stamp, std::move(doc), std::string(), true};
    }

    void Forget(const std::string& path) {
        std::lock_guard<std::mutex> guard(mutex_);
        entries_.erase(path);
    }

private:
    struct Entry {
        FileStamp stamp;
        std::shared_ptr<const Doc> doc;
        std::string content;  // the bytes `doc` was parsed from, while not trusted
        bool trusted = false;
    };
    static constexpr size_t kMaxEntries = 32;

    void Store(const std::string& path, const FileStamp& stamp, std::shared_ptr<const Doc> doc,
               std::string content, int64_t readTime) {
        if (entries_.size() >= kMaxEntries && !entries_.count(path)) entries_.clear();
        const bool trusted = StampVouches(stamp, readTime);
        // The bytes are kept only while they may still be needed to tell a racy change.
        if (trusted) content = std::string();
        entries_[path] = Entry{stamp, std::move(doc), std::move(content), trusted};
    }

    Parser parse_;
    std::mutex mutex_;
    std::unordered_map<std::string, Entry> entries_;
};

}  // namespace winapi::detail
