#include "winapi/IniDocument.h"

#include <cstring>

#include "common/TextUtil.h"

namespace winapi::detail {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

void Trim(const std::string& s, size_t& b, size_t& e) {
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
}

}  // namespace

IniDocument::IniDocument(std::string content) : content_(std::move(content)) {
    const std::string& s = content_;
    size_t pos = 0;
    while (pos < s.size()) {
        Line l;
        l.begin = pos;
        const size_t lineEnd = std::min(s.find_first_of("\r\n", pos), s.size());
        l.end = lineEnd;
        l.next = lineEnd == s.size()                                        ? lineEnd
                 : s[lineEnd] == '\r' && s.compare(lineEnd, 2, "\r\n") == 0 ? lineEnd + 2
                                                                            : lineEnd + 1;
        pos = l.next;

        size_t b = l.begin, e = l.end;
        Trim(s, b, e);
        const size_t close = b < e && s[b] == '[' ? std::string_view(s).substr(b, e - b).rfind(']')
                                                  : std::string_view::npos;
        if (std::memchr(s.data() + l.begin, '\0', l.end - l.begin)) {
            l.kind = Kind::Unknown;
        } else if (b == e) {
            l.kind = Kind::Blank;
        } else if (s[b] == ';') {
            l.kind = Kind::Comment;
        } else if (close != std::string_view::npos) {
            l.kind = Kind::Section;
            size_t nb = b + 1, ne = b + close;
            Trim(s, nb, ne);
            l.nameBegin = nb;
            l.nameEnd = ne;
        } else if (const void* eq = std::memchr(s.data() + b, '=', e - b)) {
            l.kind = Kind::Entry;
            size_t at = size_t(static_cast<const char*>(eq) - s.data());
            size_t nb = b, ne = at, vb = at + 1, ve = e;
            Trim(s, nb, ne);
            Trim(s, vb, ve);
            l.nameBegin = nb;
            l.nameEnd = ne;
            l.valueBegin = vb;
            l.valueEnd = ve;
        } else {
            l.kind = Kind::Unknown;
        }
        if (l.kind == Kind::Section) {
            if (!sections_.empty()) sections_.back().end = lines_.size();
            sections_.push_back({lines_.size(), 0});
            firstSection_.emplace(lumaro::ToUpperAscii(NameOf(l)), sections_.size() - 1);
        } else if (l.kind == Kind::Entry && sections_.empty()) {
            l.kind = Kind::Unknown;  // an entry outside any section belongs to nothing
        }
        lines_.push_back(l);
    }
    if (!sections_.empty()) sections_.back().end = lines_.size();
}

const IniDocument::Section* IniDocument::FindSection(std::string_view name) const {
    auto it = firstSection_.find(lumaro::ToUpperAscii(name));
    return it == firstSection_.end() ? nullptr : &sections_[it->second];
}

const IniDocument::Line* IniDocument::FindEntry(const Section& s, std::string_view key) const {
    for (size_t i = s.header + 1; i < s.end; ++i) {
        const Line& l = lines_[i];
        if (l.kind == Kind::Entry && lumaro::EqualsIgnoreCase(NameOf(l), key)) return &l;
    }
    return nullptr;
}

std::vector<std::string_view> IniDocument::SectionNames() const {
    std::vector<std::string_view> names;
    names.reserve(sections_.size());
    for (const Section& section : sections_) names.push_back(NameOf(lines_[section.header]));
    return names;
}

std::optional<std::vector<std::string_view>> IniDocument::KeyNames(std::string_view section) const {
    const Section* s = FindSection(section);
    if (!s) return std::nullopt;
    std::vector<std::string_view> names;
    for (size_t i = s->header + 1; i < s->end; ++i)
        if (lines_[i].kind == Kind::Entry) names.push_back(NameOf(lines_[i]));
    return names;
}

std::optional<std::string_view> IniDocument::Value(std::string_view section,
                                                   std::string_view key) const {
    const Section* s = FindSection(section);
    const Line* l = s ? FindEntry(*s, key) : nullptr;
    if (!l) return std::nullopt;
    std::string_view v = Text(l->valueBegin, l->valueEnd);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return v;
}

std::string_view IniDocument::LineBreak() const {
    // New lines follow the file's own line ends (its first one); a new file gets CR LF as
    // on Windows.
    const size_t at = content_.find_first_of("\r\n");
    if (at == std::string::npos || content_.compare(at, 2, "\r\n") == 0) return "\r\n";
    return content_[at] == '\r' ? "\r" : "\n";
}

bool IniDocument::SetValue(std::string_view section, std::string_view key, std::string_view value,
                           std::string& out) const {
    const std::string_view br = LineBreak();
    const Section* s = FindSection(section);
    if (!s) {
        out = content_;
        if (!out.empty() && out.back() != '\n' && out.back() != '\r') out += br;
        out.append("[").append(section).append("]").append(br);
        out.append(key).append("=").append(value).append(br);
        return true;
    }
    if (const Line* l = FindEntry(*s, key)) {
        std::string line;
        line.append(NameOf(*l)).append("=").append(value);
        if (Text(l->begin, l->end) == line) return false;
        out.assign(content_, 0, l->begin);
        out += line;
        out.append(content_, l->end, std::string::npos);
        return true;
    }
    // A new entry goes after the section's last entry (or unknown line), before the blank
    // lines and comments that usually lead into the next section.
    size_t anchor = s->header;
    for (size_t i = s->header + 1; i < s->end; ++i)
        if (lines_[i].kind == Kind::Entry || lines_[i].kind == Kind::Unknown) anchor = i;
    const Line& a = lines_[anchor];
    out.assign(content_, 0, a.next);
    if (a.next == a.end) out += br;  // the anchor is a last line without a line end
    out.append(key).append("=").append(value).append(br);
    out.append(content_, a.next, std::string::npos);
    return true;
}

bool IniDocument::DeleteKey(std::string_view section, std::string_view key,
                            std::string& out) const {
    const Section* s = FindSection(section);
    const Line* l = s ? FindEntry(*s, key) : nullptr;
    if (!l) return false;
    out.assign(content_, 0, l->begin);
    out.append(content_, l->next, std::string::npos);
    return true;
}

bool IniDocument::DeleteSection(std::string_view section, std::string& out) const {
    const Section* s = FindSection(section);
    if (!s) return false;
    out.assign(content_, 0, lines_[s->header].begin);
    out.append(content_, lines_[s->end - 1].next, std::string::npos);
    return true;
}

}  // namespace winapi::detail
