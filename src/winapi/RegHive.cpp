#include "winapi/RegHive.h"

#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <cstdint>

#include "winapi/RegText.h"

namespace winapi::detail {
namespace {}  // namespace

// `path` is the key's full name; it is extended for the subkeys and given back as it was.
void RegHive::WriteKey(const RegKey& key, std::string& path, bool isRoot, std::string& out) {
    std::string_view unread;
    const bool asRead = key.Unread(unread);
    if (asRead || !isRoot || !key.Values().empty() || !key.Kept().empty()) {
        out += '[';
        out += path;
        out += "]\r\n";
        if (asRead) {
            out += unread;  // as it was read, its blank lines included
            if (!unread.empty() && unread.back() != '\n') out += "\r\n";
        } else {
            for (const RegValue& v : key.Values())
                regtext::AppendValue(v.name, v.type, v.data, out);
            for (const std::string& line : key.Kept()) {
                out += line;
                out += "\r\n";
            }
            out += "\r\n";
        }
    }
    const size_t length = path.size();
    for (const auto& [name, child] : key.children_) {
        path += '\\';
        path += child->name;
        WriteKey(*child, path, false, out);
        path.resize(length);
    }
    if (key.below_ && !key.below_->read) {
        for (std::string_view part : key.below_->parts) {
            out += part;  // the keys below, as they were read
            if (!part.empty() && part.back() != '\n') out += "\r\n";
        }
    }
}

namespace {

// The next character of a name, upper-cased, as a number that orders as Windows orders
// UTF-16 text; a byte that does not begin well-formed UTF-8 stands for itself.
uint32_t NextUpper(std::string_view s, size_t& i) {
    const uint8_t c = uint8_t(s[i]);
    if (c < 0x80) {
        ++i;
        return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
    }
    const size_t extra = (c & 0xE0) == 0xC0   ? 1
                         : (c & 0xF0) == 0xE0 ? 2
                         : (c & 0xF8) == 0xF0 ? 3
                                              : 0;
    uint32_t cp = c & (0x3F >> extra);
    bool ok = extra > 0 && i + extra < s.size();
    for (size_t k = 1; ok && k <= extra; ++k) {
        const uint8_t d = uint8_t(s[i + k]);
        ok = (d & 0xC0) == 0x80;
        cp = (cp << 6) | (d & 0x3F);
    }
    if (!ok) {
        ++i;
        return 0x400000 + c;  // after every character
    }
    i += extra + 1;
    if (cp < 0x10000) {
        static const locale_t unicode = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
        if (unicode) cp = uint32_t(::towupper_l(wint_t(cp), unicode));
        // UTF-16 puts the characters from U+E000 after those beyond U+FFFF (surrogates).
        if (cp >= 0xE000 && cp < 0x10000) cp += 0x200000;
    }
    return cp;
}

}  // namespace

// Keys down to this many names below the root are made when a hive is read; the keys below
// each of them when its subkeys are first asked for, one more level at a time.
constexpr size_t kReadDepth = 2;

bool NameLess::operator()(std::string_view a, std::string_view b) const {
    size_t i = 0, j = 0;
    // ASCII, the usual case, byte by byte.
    for (; i < a.size() && i < b.size() && (uint8_t(a[i]) | uint8_t(b[i])) < 0x80; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = char(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = char(y - 'a' + 'A');
        if (x != y) return x < y;
    }
    j = i;
    while (i < a.size() && j < b.size()) {
        const uint32_t x = NextUpper(a, i), y = NextUpper(b, j);
        if (x != y) return x < y;
    }
    return i == a.size() && j < b.size();
}

bool NamesEqual(std::string_view a, std::string_view b) {
    size_t i = 0, j = 0;
    for (; i < a.size() && i < b.size() && (uint8_t(a[i]) | uint8_t(b[i])) < 0x80; ++i) {
        char x = a[i], y = b[i];
        if (x == y) continue;
        if (x >= 'a' && x <= 'z') x = char(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = char(y - 'a' + 'A');
        if (x != y) return false;
    }
    j = i;
    while (i < a.size() && j < b.size())
        if (NextUpper(a, i) != NextUpper(b, j)) return false;
    return i == a.size() && j == b.size();
}

size_t NameHash::operator()(std::string_view name) const {
    uint64_t h = 1469598103934665603ULL;
    for (size_t i = 0; i < name.size();) h = (h ^ NextUpper(name, i)) * 1099511628211ULL;
    return size_t(h);
}

bool SplitKeyPath(std::string_view path, std::vector<std::string_view>& parts) {
    parts.clear();
    if (path.empty()) return true;
    if (path.back() == '\\') path.remove_suffix(1);
    return !path.empty() && regtext::SplitPath(path, parts);
}

// Reads the key headers of a hive's text below `base` (whose path has `depth` names). The keys
// down to `limit` names are made, each keeping its own lines to be read when its values are
// first asked for; the lines of deeper keys go to their ancestor at `limit` names, to be
// read when its subkeys are first asked for. A header that shares the first one's text up to
// that ancestor's name is known to be below it without being read.
class KeyReader {
public:
    KeyReader(RegKey& base, size_t depth, size_t limit, const std::string& rootName)
        : base_(base), depth_(depth), limit_(limit), rootName_(rootName) {}

    // Lines before the first key go to `preamble`.
    void Read(std::string_view text, std::vector<std::string>* preamble);

private:
    RegKey& base_;
    const size_t depth_, limit_;
    const std::string& rootName_;
    std::vector<std::string_view> prevNames_;  // the last key header read, and its keys
    std::vector<RegKey*> prevKeys_;
};

void KeyReader::Read(std::string_view text, std::vector<std::string>* preamble) {
    RegKey* current = nullptr;  // the key whose own lines run from bodyStart
    RegKey* below = nullptr;    // or the key whose deeper keys' lines do
    std::string_view shared;    // the start of the first of those keys' headers
    size_t bodyStart = 0;
    auto close = [&](size_t end) {
        const std::string_view body = text.substr(bodyStart, end - bodyStart);
        if (below) {
            below->below_->parts.push_back(body);
        } else if (!current) {
            if (!preamble) return;
            const std::vector<std::string_view> lines = regtext::SplitLines(body);
            regtext::ReadEntries(lines, 0, [&](regtext::Entry& e) {
                for (size_t k = e.firstLine; k <= e.lastLine; ++k) preamble->emplace_back(lines[k]);
            });
        } else if (!current->lazy_ && !current->data_) {
            current->unread_ = body;
            current->lazy_ = true;
        } else {
            current->Load();  // a key listed twice: both parts are read
            RegKey::ReadLines(*current, body);
        }
    };
    std::vector<std::string_view> parts;
    size_t pos = 0;
    while (pos < text.size()) {
        if (below) {
            // Only a header can end the lines of the keys below, and most headers that follow
            // are theirs: from one '[' that begins a line to the next, up to the first header
            // that does not share the start of theirs.
            size_t bracket = text.find('[', pos);
            for (; bracket != std::string_view::npos; bracket = text.find('[', bracket + 1)) {
                size_t start = bracket;
                while (start > 0 && regtext::IsBlank(text[start - 1])) --start;
                if (start > 0 && text[start - 1] != '\n') continue;
                if (text.compare(start, shared.size(), shared) == 0 &&
                    start + shared.size() < text.size() && text[start + shared.size()] != ']')
                    continue;
                pos = start;
                break;
            }
            if (bracket == std::string_view::npos) break;
        }
        const size_t nl = text.find('\n', pos);
        const size_t next = nl == std::string_view::npos ? text.size() : nl + 1;
        size_t first = pos;
        while (first < next && regtext::IsBlank(text[first])) ++first;
        if (first == next || text[first] != '[') {
            pos = next;
            continue;
        }
        std::string_view line = text.substr(first, next - first);
        while (!line.empty() &&
               (line.back() == '\n' || line.back() == '\r' || regtext::IsBlank(line.back())))
            line.remove_suffix(1);
        regtext::Entry e;
        if (line.find('\0') == std::string_view::npos) regtext::ReadKeyLine(line, e);
        // The root's name may itself hold several names (a hive of a key below a root).
        const std::string_view path = e.keyPath;
        const size_t rootEnd = std::min(rootName_.size() + 1, path.size());
        if (e.kind != regtext::Entry::Kind::Key || e.remove ||
            !NamesEqual(path.substr(0, rootName_.size()), rootName_) ||
            (path.size() > rootName_.size() && path[rootName_.size()] != '\\') ||
            !SplitKeyPath(path.substr(rootEnd), parts) || parts.size() > RegHive::kMaxDepth ||
            (depth_ > 0 && parts.size() <= depth_)) {
            pos = next;  // not a key of this part of the hive: a line of the key before it
            continue;
        }
        close(pos);
        const size_t made = std::min(parts.size(), limit_);
        // The next header mostly shares all of the previous one's path but its last name.
        size_t same = 0;
        while (same < made - depth_ && same < prevNames_.size() &&
               prevNames_[same] == parts[depth_ + same])
            ++same;
        prevNames_.resize(same);
        prevKeys_.resize(same);
        RegKey* key = same ? prevKeys_.back() : &base_;
        for (size_t k = depth_ + same; k < made; ++k) {
            key = &key->Add(parts[k]);
            prevNames_.emplace_back(parts[k]);
            prevKeys_.push_back(key);
        }
        current = below = nullptr;
        if (parts.size() > limit_) {
            below = key;
            if (!below->below_) {
                below->below_ = std::make_unique<RegKey::Below>();
                below->below_->depth = limit_;
                below->below_->rootName = &rootName_;
            }
            // Up to the backslash after the name of the key at `limit_` names.
            size_t end = first;
            const size_t slashes =
                limit_ + 1 + size_t(std::count(rootName_.begin(), rootName_.end(), '\\'));
            for (size_t k = 0; k < slashes; ++k) end = text.find('\\', end) + 1;
            shared = text.substr(pos, end - pos);
            bodyStart = pos;
        } else {
            current = key;
            bodyStart = next;
        }
        pos = next;
    }
    close(text.size());
}

const RegKey::Subkeys& RegKey::children() const {
    Expand();
    return children_;
}

void RegKey::Expand() const {
    if (!below_) return;
    std::call_once(below_->once, [this] {
        RegKey& self = const_cast<RegKey&>(*this);
        KeyReader reader(self, below_->depth, below_->depth + 1, *below_->rootName);
        for (std::string_view part : below_->parts) reader.Read(part, nullptr);
        below_->parts = {};
        below_->read = true;
    });
}

RegKey* RegKey::Child(std::string_view childName) const {
    Expand();
    auto it = children_.find(childName);
    return it == children_.end() ? nullptr : it->second.get();
}

RegKey& RegKey::AddChild(std::string_view childName) {
    Expand();
    return Add(childName);
}

RegKey& RegKey::Add(std::string_view childName) {
    // Keys mostly come in order (a hive file lists them so): then the new one goes last.
    const NameLess less;
    auto it = children_.empty() || less(children_.rbegin()->first, childName)
                  ? children_.end()
                  : children_.lower_bound(childName);
    if (it != children_.end() && !less(childName, it->first)) return *it->second;
    auto key = std::make_unique<RegKey>();
    key->name = std::string(childName);
    RegKey& added = *key;
    children_.emplace_hint(it, key->name, std::move(key));
    return added;
}

bool RegKey::RemoveChild(std::string_view childName) {
    Expand();
    auto it = children_.find(childName);
    if (it == children_.end()) return false;
    children_.erase(it);
    return true;
}

const std::vector<RegValue>& RegKey::Values() const {
    static const std::vector<RegValue> none;
    Load();
    return data_ ? data_->values : none;
}

const std::vector<std::string>& RegKey::Kept() const {
    static const std::vector<std::string> none;
    Load();
    return data_ ? data_->kept : none;
}

RegKey::Data& RegKey::Own() {
    if (!data_) data_ = std::make_unique<Data>();
    return *data_;
}

void RegKey::Load() const {
    if (!lazy_) return;
    std::call_once(loaded_, [this] {
        ReadLines(const_cast<RegKey&>(*this), unread_);
        read_ = true;
    });
}

// Reads the lines of one key (those below its header up to the next key header it owns) into
// it. A header of another hive or a deletion stops the reading: the lines from there on are
// kept unchanged.
void RegKey::ReadLines(RegKey& key, std::string_view text) {
    const std::vector<std::string_view> lines = regtext::SplitLines(text);
    bool skipping = false;
    regtext::ReadEntries(lines, 0, [&](regtext::Entry& e) {
        using Kind = regtext::Entry::Kind;
        if (e.kind == Kind::Key) skipping = true;
        if (e.kind == Kind::Value && !e.remove && !skipping) {
            key.Put(e.name, e.type, std::move(e.data));
            return;
        }
        for (size_t k = e.firstLine; k <= e.lastLine; ++k) key.Own().kept.emplace_back(lines[k]);
    });
}

const RegValue* RegKey::FindValue(std::string_view valueName) const {
    Load();
    return FindRead(valueName);
}

const RegValue* RegKey::FindRead(std::string_view valueName) const {
    if (!data_) return nullptr;
    if (data_->index) {
        auto it = data_->index->find(valueName);
        return it == data_->index->end() ? nullptr : &data_->values[it->second];
    }
    for (const RegValue& v : data_->values)
        if (NamesEqual(v.name, valueName)) return &v;
    return nullptr;
}

void RegKey::SetValue(std::string_view valueName, DWORD type, std::string data) {
    Load();
    Put(valueName, type, std::move(data));
}

void RegKey::Put(std::string_view valueName, DWORD type, std::string data) {
    if (auto* v = const_cast<RegValue*>(FindRead(valueName))) {
        v->type = type;
        v->data = std::move(data);
        return;
    }
    Data& d = Own();
    d.values.push_back(RegValue{std::string(valueName), type, std::move(data)});
    if (d.index)
        d.index->emplace(d.values.back().name, d.values.size() - 1);
    else if (d.values.size() >= kIndexFrom)
        Reindex();
}

bool RegKey::DeleteValue(std::string_view valueName) {
    const RegValue* v = FindValue(valueName);
    if (!v) return false;
    Data& d = Own();
    d.values.erase(d.values.begin() + (v - d.values.data()));
    Reindex();
    return true;
}

void RegKey::Reindex() {
    Data& d = Own();
    d.index.reset();
    if (d.values.size() < kIndexFrom) return;
    d.index = std::make_unique<Index>();
    d.index->reserve(d.values.size());
    for (size_t i = 0; i < d.values.size(); ++i) d.index->emplace(d.values[i].name, i);
}

RegHive::RegHive(std::string rootName) : rootName_(std::move(rootName)) { root_.name = rootName_; }

RegKey* RegHive::Find(const std::vector<std::string_view>& path) const {
    const RegKey* key = &root_;
    for (std::string_view part : path) {
        key = key->Child(part);
        if (!key) return nullptr;
    }
    return const_cast<RegKey*>(key);
}

void RegHive::Graft(const RegKey& from, RegKey& to) {
    to.Load();
    for (const RegValue& v : from.Values())
        if (!to.FindRead(v.name)) to.Put(v.name, v.type, v.data);
    for (const std::string& line : from.Kept()) to.Own().kept.push_back(line);
    for (const auto& [name, child] : from.children()) Graft(*child, to.AddChild(child->name));
}

std::shared_ptr<RegHive> RegHive::Parse(std::string rootName, std::string content) {
    auto hive = std::make_shared<RegHive>(std::move(rootName));
    hive->sizeHint_ = content.size();
    std::string converted;
    const std::string_view decoded = regtext::DecodeFile(content, converted);
    if (decoded.data() == converted.data())
        hive->text_ = std::move(converted);  // UTF-16, now UTF-8
    else if (decoded.size() == content.size())
        hive->text_ = std::move(content);
    else
        hive->text_ = std::string(decoded);  // after a byte-order mark
    const std::string_view text = hive->text_;

    // The header: the first line that is not blank.
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t nl = text.find('\n', pos);
        const size_t end = nl == std::string_view::npos ? text.size() : nl;
        std::string_view line = regtext::Trim(text.substr(pos, end - pos));
        if (!line.empty() && line.back() == '\r')
            line = regtext::Trim(line.substr(0, line.size() - 1));
        pos = nl == std::string_view::npos ? text.size() : nl + 1;
        if (line.empty()) continue;
        if (line != regtext::kHeader && line != regtext::kHeader4) {
            hive->readable_ = false;
            break;
        }
        KeyReader(hive->root_, 0, kReadDepth, hive->rootName_)
            .Read(text.substr(pos), &hive->preamble_);
        break;
    }
    return hive;
}

std::string RegHive::Serialize() const {
    std::string out;
    out.reserve(sizeHint_ + sizeHint_ / 8 + 4096);
    out += regtext::kHeader;
    out += "\r\n\r\n";
    for (const std::string& line : preamble_) out += line + "\r\n";
    if (!preamble_.empty()) out += "\r\n";
    std::string path = rootName_;
    WriteKey(root_, path, true, out);
    sizeHint_ = out.size();
    return out;
}

}  // namespace winapi::detail
