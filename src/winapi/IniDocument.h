#pragma once
// One INI file as text plus an index of its lines, the way the profile functions see it:
//   [Section]        a section header (name between '[' and the last ']', blanks trimmed)
//   key = value      an entry (name and value trimmed of blanks)
//   ; comment        a comment line
// Anything else (a line without '=', a '[' line without ']', a line holding a NUL byte,
// entries before the first section) is an unknown line. A line ends at LF, CR LF or a CR
// alone. Edits change only the lines they concern and keep every other byte of the file,
// unknown lines and line ends included. The text is UTF-8; the caller converts the file.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace winapi::detail {

class IniDocument {
public:
    explicit IniDocument(std::string content);

    const std::string& content() const { return content_; }

    // Section names in file order and the entry names of the first section called `section`,
    // as they stand (duplicates included); nullopt when there is no such section.
    std::vector<std::string_view> SectionNames() const;
    std::optional<std::vector<std::string_view>> KeyNames(std::string_view section) const;
    // The value of the first entry `key` in the first section `section`, trimmed, with one
    // pair of enclosing quotes (double or single) removed; nullopt when absent.
    std::optional<std::string_view> Value(std::string_view section, std::string_view key) const;

    // Each edit gives the new file text, or false when the file would not change.
    bool SetValue(std::string_view section, std::string_view key, std::string_view value,
                  std::string& out) const;
    bool DeleteKey(std::string_view section, std::string_view key, std::string& out) const;
    bool DeleteSection(std::string_view section, std::string& out) const;

private:
    enum class Kind { Blank, Comment, Section, Entry, Unknown };
    struct Line {
        size_t begin = 0, end = 0, next = 0;  // text [begin, end); next line starts at `next`
        Kind kind = Kind::Unknown;
        size_t nameBegin = 0, nameEnd = 0;    // section or entry name
        size_t valueBegin = 0, valueEnd = 0;  // entry value, trimmed
    };
    struct Section {
        size_t header = 0;  // line index of the header
        size_t end = 0;     // first line index after the section
    };

    std::string_view Text(size_t begin, size_t end) const {
        return std::string_view(content_).substr(begin, end - begin);
    }
    std::string_view NameOf(const Line& l) const { return Text(l.nameBegin, l.nameEnd); }
    const Section* FindSection(std::string_view name) const;
    const Line* FindEntry(const Section& s, std::string_view key) const;
    std::string_view LineBreak() const;

    std::string content_;
    std::vector<Line> lines_;
    std::vector<Section> sections_;
    std::unordered_map<std::string, size_t> firstSection_;  // upper-cased name -> index
};

}  // namespace winapi::detail
