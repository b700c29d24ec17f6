#include "winapi/RegHive.h"

#include <locale.h>
#include <wctype.h>

#include <cstdint>

#include "winapi/RegText.h"

namespace winapi::detail {
namespace {

// `path` is the key's full name; it is extended for the subkeys and given back as it was.
void WriteKey(const RegKey& key, std::string& path, bool isRoot, std::string& out) {
    if (!isRoot || !key.values.empty() || !key.kept.empty()) {
        out += '[';
        out += path;
        out += "]\r\n";
        for (const RegValue& v : key.values) regtext::AppendValue(v.name, v.type, v.data, out);
        for (const std::string& line : key.kept) {
            out += line;
            out += "\r\n";
        }
        out += "\r\n";
    }
    const size_t length = path.size();
    for (const auto& [name, child] : key.children) {
        path += '\\';
        path += child->name;
        WriteKey(*child, path, false, out);
        path.resize(length);
    }
}

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

RegKey* RegKey::Child(std::string_view childName) const {
    auto it = children.find(childName);
    return it == children.end() ? nullptr : it->second.get();
}

RegKey& RegKey::AddChild(std::string_view childName) {
    // Keys mostly come in order (a hive file lists them so): then the new one goes last.
    const NameLess less;
    auto it = children.empty() || less(children.rbegin()->first, childName)
                  ? children.end()
                  : children.lower_bound(childName);
    if (it != children.end() && !less(childName, it->first)) return *it->second;
    auto key = std::make_unique<RegKey>();
    key->name = std::string(childName);
    RegKey& added = *key;
    children.emplace_hint(it, key->name, std::move(key));
    return added;
}

bool RegKey::RemoveChild(std::string_view childName) {
    auto it = children.find(childName);
    if (it == children.end()) return false;
    children.erase(it);
    return true;
}

const RegValue* RegKey::FindValue(std::string_view valueName) const {
    if (index_) {
        auto it = index_->find(valueName);
        return it == index_->end() ? nullptr : &values[it->second];
    }
    for (const RegValue& v : values)
        if (NamesEqual(v.name, valueName)) return &v;
    return nullptr;
}

void RegKey::SetValue(std::string_view valueName, DWORD type, std::string data) {
    if (auto* v = const_cast<RegValue*>(FindValue(valueName))) {
        v->type = type;
        v->data = std::move(data);
        return;
    }
    values.push_back(RegValue{std::string(valueName), type, std::move(data)});
    if (index_)
        index_->emplace(values.back().name, values.size() - 1);
    else if (values.size() >= kIndexFrom)
        Reindex();
}

bool RegKey::DeleteValue(std::string_view valueName) {
    const RegValue* v = FindValue(valueName);
    if (!v) return false;
    values.erase(values.begin() + (v - values.data()));
    Reindex();
    return true;
}

void RegKey::Reindex() {
    index_.reset();
    if (values.size() < kIndexFrom) return;
    index_ = std::make_unique<Index>();
    index_->reserve(values.size());
    for (size_t i = 0; i < values.size(); ++i) index_->emplace(values[i].name, i);
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

std::shared_ptr<RegHive> RegHive::Parse(std::string rootName, const std::string& content) {
    auto hive = std::make_shared<RegHive>(std::move(rootName));
    RegKey* current = nullptr;
    bool skipping = false;  // under a key header this hive cannot take
    std::vector<std::string_view> parts;
    // The path of the previous key header and its keys: the next header mostly shares all of
    // it but the last name.
    std::vector<std::string> prevNames;
    std::vector<RegKey*> prevKeys;
    regtext::Document doc;
    auto take = [&](regtext::Entry& e) {
        using Kind = regtext::Entry::Kind;
        bool readable = false;
        if (e.kind == Kind::Key && !e.remove) {
            const size_t slash = e.keyPath.find('\\');
            readable = NamesEqual(e.keyPath.substr(0, slash), hive->rootName_) &&
                       SplitKeyPath(slash == std::string_view::npos ? std::string_view()
                                                                    : e.keyPath.substr(slash + 1),
                                    parts) &&
                       parts.size() <= kMaxDepth;
            skipping = !readable;
            if (readable) {
                size_t same = 0;
                while (same < parts.size() && same < prevNames.size() &&
                       prevNames[same] == parts[same])
                    ++same;
                prevNames.resize(same);
                prevKeys.resize(same);
                current = same ? prevKeys.back() : &hive->root_;
                for (size_t k = same; k < parts.size(); ++k) {
                    current = &current->AddChild(parts[k]);
                    prevNames.emplace_back(parts[k]);
                    prevKeys.push_back(current);
                }
            }
        } else if (e.kind == Kind::Key) {
            skipping = true;
        } else if (e.kind == Kind::Value && !e.remove && current && !skipping) {
            current->SetValue(e.name, e.type, std::move(e.data));
            readable = true;
        }
        if (readable) return;
        auto& kept = current ? current->kept : hive->preamble_;
        for (size_t k = e.firstLine; k <= e.lastLine; ++k) kept.emplace_back(doc.lines[k]);
    };
    regtext::ReadDocument(content, doc, take);
    if (!doc.empty && !doc.hasHeader) hive->readable_ = false;
    hive->sizeHint_ = content.size();
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
