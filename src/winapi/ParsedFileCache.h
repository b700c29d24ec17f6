#pragma once
// Parsed files kept between calls, each re-validated on every use against the file's
// stamp (device, inode, size, modification and change times): a call costs one stat()
// while the file is unchanged, and a re-read and re-parse once it has changed.

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
        if (it != entries_.end() && it->second.stamp == now) {
            if (status) *status = ReadStatus::Ok;
            return it->second.doc;
        }
        std::string content;
        FileStamp stamp;
        ReadStatus read = ReadWholeFile(path, content, &stamp);
        if (status) *status = read;
        if (read != ReadStatus::Ok) {
            if (it != entries_.end()) entries_.erase(it);
            return nullptr;
        }
        auto doc = parse_(std::move(content));
        Store(path, stamp, doc);
        return doc;
    }

    // Records what a write just produced, so the next read needs no parse.
    void Put(const std::string& path, const FileStamp& stamp, std::shared_ptr<const Doc> doc) {
        std::lock_guard<std::mutex> guard(mutex_);
        Store(path, stamp, std::move(doc));
    }

    void Forget(const std::string& path) {
        std::lock_guard<std::mutex> guard(mutex_);
        entries_.erase(path);
    }

private:
    struct Entry {
        FileStamp stamp;
        std::shared_ptr<const Doc> doc;
    };
    static constexpr size_t kMaxEntries = 32;

    void Store(const std::string& path, const FileStamp& stamp, std::shared_ptr<const Doc> doc) {
        if (entries_.size() >= kMaxEntries && !entries_.count(path)) entries_.clear();
        entries_[path] = Entry{stamp, std::move(doc)};
    }

    Parser parse_;
    std::mutex mutex_;
    std::unordered_map<std::string, Entry> entries_;
};

}  // namespace winapi::detail
