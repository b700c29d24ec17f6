#include "winapi/RegHive.h"

#include <cstring>

#include "winapi/RegText.h"

namespace winapi::detail {
namespace {

using regtext::Trim;

void WriteKey(const RegKey& key, const std::string& path, bool isRoot, std::string& out) {
    if (!isRoot || !key.values.empty() || !key.kept.empty()) {
        out += "[" + path + "]\r\n";
        for (const RegValue& v : key.values) regtext::AppendValue(v.name, v.type, v.data, out);
        for (const std::string& line : key.kept) out += line + "\r\n";
        out += "\r\n";
    }
    for (const auto& [upper, child] : key.children)
        WriteKey(*child, path + "\\" + child->name, false, out);
}

inline unsigned char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? (unsigned char)(c - 'a' + 'A') : (unsigned char)c;
}

}  // namespace

bool NameLess::operator()(std::string_view a, std::string_view b) const {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = Upper(a[i]), y = Upper(b[i]);
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

bool NamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i])) return false;
    return true;
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
    auto it = children.find(childName);
    if (it != children.end()) return *it->second;
    auto key = std::make_unique<RegKey>();
    key->name = std::string(childName);
    RegKey& added = *key;
    children.emplace(key->name, std::move(key));
    return added;
}

bool RegKey::RemoveChild(std::string_view childName) {
    auto it = children.find(childName);
    if (it == children.end()) return false;
    children.erase(it);
    return true;
}

const RegValue* RegKey::FindValue(std::string_view valueName) const {
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
}

bool RegKey::DeleteValue(std::string_view valueName) {
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (NamesEqual(it->name, valueName)) {
            values.erase(it);
            return true;
        }
    }
    return false;
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
    std::string converted;
    const std::vector<std::string_view> lines =
        regtext::SplitLines(regtext::DecodeFile(content, converted));

    size_t i = 0;
    while (i < lines.size() && Trim(lines[i]).empty()) ++i;
    if (i == lines.size()) return hive;  // an empty file is an empty hive
    std::string_view header = Trim(lines[i]);
    if (header != regtext::kHeader && header != regtext::kHeader4) {
        hive->readable_ = false;
        return hive;
    }
    ++i;

    RegKey* current = nullptr;
    bool skipping = false;  // under a section header that could not be read
    auto keep = [&](std::string_view line) {
        (current ? current->kept : hive->preamble_).emplace_back(line);
    };
    std::vector<std::string_view> parts;
    for (; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        std::string_view trimmed = Trim(line);
        if (trimmed.empty()) continue;
        if (std::memchr(line.data(), '\0', line.size())) {
            keep(line);
            continue;
        }
        if (trimmed[0] == '[') {
            bool ok = trimmed.size() >= 2 && trimmed.back() == ']';
            std::string_view inner =
                ok ? trimmed.substr(1, trimmed.size() - 2) : std::string_view();
            size_t slash = inner.find('\\');
            std::string_view first = inner.substr(0, slash);
            ok = ok && NamesEqual(first, hive->rootName_);
            ok = ok && (slash == std::string_view::npos ||
                        (SplitKeyPath(inner.substr(slash + 1), parts) && !parts.empty() &&
                         inner.back() != '\\' && parts.size() <= kMaxDepth));
            if (!ok) {
                skipping = true;
                keep(line);
                continue;
            }
            skipping = false;
            current = &hive->root_;
            if (slash != std::string_view::npos)
                for (std::string_view p : parts) current = &current->AddChild(p);
            continue;
        }
        // A value line; hex data may continue over lines ending in a backslash.
        const size_t first = i;
        std::string joined;
        std::string_view logical = trimmed;
        if (trimmed.back() == '\\' && line.find("=hex") != std::string_view::npos) {
            i = regtext::JoinContinued(lines, i, joined);
            logical = joined;
        }
        std::string name, data;
        DWORD type = REG_NONE;
        size_t pos = 0;
        if (skipping || !current ||
            regtext::ReadValueName(logical, name, pos) != regtext::Error::None ||
            regtext::ReadData(logical.substr(pos), type, data) != regtext::Error::None) {
            for (size_t k = first; k <= i; ++k) keep(lines[k]);
            continue;
        }
        current->SetValue(name, type, std::move(data));
    }
    return hive;
}

std::string RegHive::Serialize() const {
    std::string out;
    out.reserve(4096);
    out += regtext::kHeader;
    out += "\r\n\r\n";
    for (const std::string& line : preamble_) out += line + "\r\n";
    if (!preamble_.empty()) out += "\r\n";
    WriteKey(root_, rootName_, true, out);
    return out;
}

}  // namespace winapi::detail
