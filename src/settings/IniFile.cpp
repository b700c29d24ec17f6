#include "settings/IniFile.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "common/TextUtil.h"
#include "common/Variant.h"
#include "winapi/windows.h"

namespace lumaro {

namespace {

// Splits a NUL-terminated list into a 1-based array. Text after the last NUL is ignored.
void SplitList(const std::string& list, bool skipEmpty, std::vector<std::string>& names,
               int32_t& count) {
    names.clear();
    count = 0;
    size_t start = 0;
    for (size_t nul = list.find('\0'); nul != std::string::npos; nul = list.find('\0', start)) {
        std::string piece = list.substr(start, nul - start);
        start = nul + 1;
        if (skipEmpty && piece.empty()) continue;
        if (names.empty()) names.emplace_back();  // element 0 is unused
        names.push_back(std::move(piece));
        ++count;
    }
}

}  // namespace

std::string IniFile::ReadProfile(const char* section, const char* key) const {
    std::string buffer(kBufferSize, ' ');
    DWORD copied = GetPrivateProfileStringA(section, key, default_.c_str(), buffer.data(),
                                            kBufferSize, path_.c_str());
    buffer.resize(std::min<DWORD>(copied, kBufferSize));
    return buffer;
}

std::string IniFile::value() const { return ReadProfile(section_.c_str(), key_.c_str()); }

void IniFile::SetValue(const std::string& sValue) {
    std::string cleaned = sValue;
    cleaned.erase(std::remove(cleaned.begin(), cleaned.end(), '\0'), cleaned.end());
    lastReturnCode_ =
        WritePrivateProfileStringA(section_.c_str(), key_.c_str(), cleaned.c_str(), path_.c_str());
}

void IniFile::DeleteKey() {
    lastReturnCode_ =
        WritePrivateProfileStringA(section_.c_str(), key_.c_str(), nullptr, path_.c_str());
}

void IniFile::DeleteSection() {
    lastReturnCode_ = WritePrivateProfileStringA(section_.c_str(), nullptr, nullptr, path_.c_str());
}

std::string IniFile::INISection() const { return ReadProfile(section_.c_str(), nullptr); }

void IniFile::SetINISection(const std::string& sSection) {
    lastReturnCode_ =
        WritePrivateProfileStringA(section_.c_str(), nullptr, sSection.c_str(), path_.c_str());
}

std::string IniFile::Sections() const { return ReadProfile(nullptr, nullptr); }

void IniFile::EnumerateCurrentSection(std::vector<std::string>& sKey, int32_t& iCount) const {
    SplitList(INISection(), false, sKey, iCount);
}

void IniFile::EnumerateAllSections(std::vector<std::string>& sSections, int32_t& iCount) const {
    SplitList(Sections(), true, sSections, iCount);
}

namespace {

// What the language's number conversion accepts beyond TextToDouble: octal "&O17", and
// thousands separators between the digits of the whole part ("1,000").
bool LanguageNumber(const std::string& text, double& number) {
    const std::string t = TrimSpaces(text);
    if (t.size() > 2 && t[0] == '&' && (t[1] == 'O' || t[1] == 'o')) {
        if (t.size() > 24) return false;
        uint64_t v = 0;
        for (size_t i = 2; i < t.size(); ++i) {
            if (t[i] < '0' || t[i] > '7') return false;
            v = v * 8 + uint64_t(t[i] - '0');
        }
        number = double(v);
        return true;
    }
    std::string plain;
    for (size_t i = 0; i < t.size(); ++i) {
        const bool separator = t[i] == ',' && i > 0 && std::isdigit((unsigned char)t[i - 1]) &&
                               i + 1 < t.size() && std::isdigit((unsigned char)t[i + 1]) &&
                               t.find_first_of(".eEdD") > i;
        if (!separator) plain.push_back(t[i]);
    }
    return TextToDouble(plain, number);
}

}  // namespace

int32_t IniFile::CLngDefault(const std::string& sString, int32_t lDefault) {
    try {
        double number = 0;
        if (!LanguageNumber(sString, number)) return lDefault;
        return static_cast<int32_t>(RoundToWhole(number, INT32_MIN, INT32_MAX));
    } catch (...) {
        return lDefault;
    }
}

bool IniFile::BooleanValue() const {
    std::string upper = ToUpperAscii(value());
    return upper == "YES" || upper == "TRUE" || upper == "1";
}

}  // namespace lumaro
