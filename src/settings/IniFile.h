#pragma once
// One INI file read and written through the system's private-profile functions. The
// user sets Path once, then Section and Key before each access, and reads or writes
// value. No handle is kept: every access is one self-contained call on the named file.
//
// Lists (INISection, Sections) come back the way the profile function delivers them:
// every name followed by a NUL character. The two enumerations return 1-based arrays:
// a std::vector<std::string> whose element 0 is unused (empty), so names are at
// indices 1..count and the vector's size is count + 1 (or 0 when there are none).

#include <cstdint>
#include <string>
#include <vector>

namespace lumaro {

class IniFile {
public:
    // Size of the buffer of every read; a longer value comes back cut to one less.
    static constexpr uint32_t kBufferSize = 8192;

    // Result of the most recent write or delete: nonzero on success.
    int32_t LastReturnCode() const { return lastReturnCode_; }
    // True when the last write or delete succeeded; False before any.
    bool Success() const { return lastReturnCode_ != 0; }

    const std::string& Default() const { return default_; }
    void SetDefault(const std::string& sDefault) { default_ = sDefault; }
    const std::string& Path() const { return path_; }
    void SetPath(const std::string& sPath) { path_ = sPath; }
    const std::string& Key() const { return key_; }
    void SetKey(const std::string& sKey) { key_ = sKey; }
    const std::string& Section() const { return section_; }
    void SetSection(const std::string& sSection) { section_ = sSection; }

    // The value of Key in Section, or Default when the file, section or key is absent.
    std::string value() const;
    // Stores sValue (NUL characters removed) under Key in Section; never raises.
    void SetValue(const std::string& sValue);

    // Remove Key from Section / Section with all its keys; the result goes to
    // LastReturnCode.
    void DeleteKey();
    void DeleteSection();

    // The key names of Section, each followed by a NUL (Default when the section is absent).
    std::string INISection() const;
    // Passes Section, no key and sSection to the profile-writing function, which removes
    // the whole current section; the text plays no part. The result goes to LastReturnCode.
    void SetINISection(const std::string& sSection);
    // The names of all sections of the file, each followed by a NUL.
    std::string Sections() const;

    // Key names of Section as a 1-based array (every piece, empty ones included).
    void EnumerateCurrentSection(std::vector<std::string>& sKey, int32_t& iCount) const;
    // Section names of the file as a 1-based array (empty pieces skipped).
    void EnumerateAllSections(std::vector<std::string>& sSections, int32_t& iCount) const;

    // sString as a whole number (surrounding blanks allowed, "&H" hex, "&O" octal,
    // thousands separators "1,000", a fraction rounded half to even), or lDefault when it is
    // not a number or out of the 32-bit range.
    static int32_t CLngDefault(const std::string& sString, int32_t lDefault = 0);

    // value read as a Boolean: True for "YES", "TRUE" or "1" in any case; otherwise False.
    bool BooleanValue() const;

private:
    std::string ReadProfile(const char* section, const char* key) const;

    std::string path_;
    std::string key_;
    std::string section_;
    std::string default_;
    int32_t lastReturnCode_ = 0;
};

}  // namespace lumaro
