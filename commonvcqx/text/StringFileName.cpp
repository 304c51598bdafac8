// commonvcqx/text/StringFileName.cpp
//
// The file-name members of TString. Names keep their Windows form here; translation to
// native paths happens only at the system call, in the platform layer.
#include <commonvcqx/platform/Drives.h>
#include <commonvcqx/text/String.h>
#include <commonvcqx/text/StringPattern.h>
#include <commonvcqx/text/internal/PatternMachine.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

using cvq::detail::IsAsciiLetter;
using cvq::detail::LowerAscii;
using cvq::detail::UpperAscii;

constexpr char kSeparator = '\\';

TSubString Carry(TString& s) {
    return TSubString::TransformToSubString(s);
}

TSubString Carry(std::string_view text) {
    return TSubString::Create(text.data(), uint32_t(text.size()));
}

// Items of `text` split at any of `separators`, trimmed of spaces and tabs, empty ones
// dropped.
std::vector<std::string_view> Split(std::string_view text, const char* separators) {
    std::vector<std::string_view> items;
    while (!text.empty()) {
        size_t end = text.find_first_of(separators);
        std::string_view item = text.substr(0, end);
        size_t first = item.find_first_not_of(" \t");
        if (first != std::string_view::npos) {
            item = item.substr(first, item.find_last_not_of(" \t") - first + 1);
            items.push_back(item);
        }
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return items;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(static_cast<unsigned char>(a[i])) !=
            LowerAscii(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string_view View(const TString& s) {
    return std::string_view(s.c_str(), s.GetLength());
}

}  // namespace

char TString::ContainsDrive() const noexcept {
    return GetLength() >= 2 && IsAsciiLetter(static_cast<unsigned char>(m_text[0])) &&
           m_text[1] == DriveSeparator();
}

char TString::ContainsPath() const noexcept {
    return std::memchr(m_text, PathSeparator(), GetLength()) != nullptr;
}

int TString::GetDriveIndex() const noexcept {
    return ContainsDrive() ? UpperAscii(static_cast<unsigned char>(m_text[0])) - 'A' : -1;
}

TSubString TString::GetDrive(int* index) const {
    int drive = GetDriveIndex();
    if (index) *index = drive;
    if (drive < 0) return TSubString::CreateNull();
    char letter = char(UpperAscii(static_cast<unsigned char>(m_text[0])));
    return TSubString::Create(&letter, 1);
}

TString& TString::SetDrive(const TString& drive) {
    if (ContainsDrive()) Remove(0, 2);
    if (GetFirstChar() != PathSeparator()) Prepend(PathSeparator());
    Prepend(DriveSeparator());
    return Prepend(drive);
}

TString& TString::SetDrive(int index) {
    return SetDrive(TString(char('A' + index), 1));
}

TString& TString::PrependVolumeName(const TString& volume) {
    TString result(volume);
    if (GetLength() > 2) result.Append(m_text + 2);
    return *this = result;
}

TSubString TString::GetCurrentPath() {
    return Carry(cvq::platform::CurrentDirectoryName());
}

TSubString TString::GetCurrentDrive() {
    std::string directory = cvq::platform::CurrentDirectoryName();
    if (directory.empty()) return TSubString::CreateNull();
    char letter = char(UpperAscii(static_cast<unsigned char>(directory[0])));
    return TSubString::Create(&letter, 1);
}

TString& TString::AddCurrentDrive() {
    if (GetFirstChar() != PathSeparator()) Prepend(PathSeparator());
    Prepend(DriveSeparator());
    return Prepend(TString(GetCurrentDrive()));
}

TString& TString::AddCurrentPath() {
    std::string directory = cvq::platform::CurrentDirectoryName();
    if (GetFirstChar() != PathSeparator()) Prepend(PathSeparator());
    // A directory that already ends with a backslash (a drive's root) gives one, not two.
    if (!directory.empty() && directory.back() == PathSeparator()) directory.pop_back();
    return Prepend(directory.c_str(), uint32_t(directory.size()));
}

TString& TString::EnsureFullFileName() {
    if (ContainsDrive()) return *this;
    return ContainsPath() ? AddCurrentDrive() : AddCurrentPath();
}

TString& TString::AppendTitleAndMakeFullFileName(const TString& title) {
    if (!ContainsDrive()) AddCurrentDrive();
    if (GetLastChar() != PathSeparator()) Append(PathSeparator());
    return Append(title.GetFirstChar() == PathSeparator() ? title.c_str() + 1 : title.c_str());
}

TString& TString::EnsureOneSlashAtTheEnd() {
    if (GetLastChar() != PathSeparator()) Append(PathSeparator());
    return *this;
}

TSubString TString::GetPath() const {
    int32_t slash = FindLast(PathSeparator());
    return slash < 0 ? Mid(0) : Left(uint32_t(slash));
}

TSubString TString::GetTitle(char withExtension) const {
    int32_t slash = FindLast(PathSeparator());
    std::string_view title = View(*this).substr(size_t(slash + 1));
    if (!withExtension) {
        size_t dot = title.rfind('.');
        if (dot != std::string_view::npos) title = title.substr(0, dot);
    }
    return Carry(title);
}

TSubString TString::GetExtension(char withDot) const {
    int32_t dot = FindLast('.');
    int32_t slash = FindLast(PathSeparator());
    if (dot < 0 || slash > dot) return TSubString::CreateNull();
    return Mid(uint32_t(withDot ? dot : dot + 1));
}

TString& TString::RemoveExtension(const char* known) {
    int32_t dot = FindLast('.');
    int32_t slash = FindLast(PathSeparator());
    if (!known || std::strchr(known, '*')) {
        if (dot > 0 && slash < dot) KeepLeft(uint32_t(dot));
        return *this;
    }
    if (dot <= 0 || slash >= dot) return *this;
    std::string_view extension = View(*this).substr(size_t(dot + 1));
    for (std::string_view item : Split(known, "|")) {
        if (item.size() >= extension.size() &&
            EqualIgnoringCase(item.substr(0, extension.size()), extension)) {
            KeepLeft(uint32_t(dot));
            break;
        }
    }
    return *this;
}

TString& TString::RemoveExtension(const TString& known) {
    return RemoveExtension(known.c_str());
}

TString& TString::SetExtension(const TString& extension, const char* known) {
    if (known) {
        TString list(known);
        if (!extension.IsEmpty()) list.Append('|').Append(extension);
        RemoveExtension(list.c_str());
        if (!extension.IsEmpty()) Append('.').Append(extension);
        return *this;
    }
    Trim(".", 2);
    if (!extension.IsEmpty()) {
        if (GetLastChar() != '.') Append('.');
        Append(extension);
    }
    return *this;
}

TString& TString::SetExtension(const char* extension, const char* known) {
    if (!extension) return RemoveExtension(known);
    return SetExtension(TString(extension), known);
}

TSubString TString::GetPathBelow(TString* top) const {
    std::string_view path = View(*this);
    size_t first = path.find_first_not_of(PathSeparator());
    path = first == std::string_view::npos
               ? std::string_view()
               : path.substr(first, path.find_last_not_of(PathSeparator()) - first + 1);
    size_t slash = path.find(PathSeparator());
    if (top) *top = Carry(path.substr(0, slash));
    return slash == std::string_view::npos ? TSubString::CreateNull()
                                           : Carry(path.substr(slash + 1));
}

char TString::IsValidFileName() const {
    static const TStringPattern valid("[a-z]+:(/\\[^<>:\"//|\\]+)+", 0);
    int32_t pos;
    int32_t length = valid.Find(&pos, m_text, 0, TStringPattern::kForward);
    return length > 0 && pos == 0 && uint32_t(length) == GetLength();
}

TSubString TString::GetSummary(uint32_t maxLength) const {
    if (!ContainsDrive()) return TSubString::CreateNull();
    if (GetLength() <= maxLength) return Mid(0);
    TString path(GetPath());
    TString parent(path.GetPath());
    TString title(GetTitle(1));
    TString summary = path == parent ? *this : TString(parent + "\\...\\" + title);
    if (maxLength == 0) return Carry(summary);
    if (summary.GetLength() > maxLength) summary = TString(GetDrive()) + ":\\...\\" + title;
    if (summary.GetLength() > maxLength) summary = "...\\" + title;
    if (summary.GetLength() > maxLength) {
        if (maxLength < 3) {
            summary.KeepLeft(maxLength);
        } else {
            summary.KeepLeft(maxLength - 3);
            summary.Append("...");
        }
    }
    return Carry(summary);
}

TSubString TString::GetRelativeFileName(const TString& directory, const TString& fileName) {
    if (!EqualIgnoringCase(View(TString(directory.GetDrive())), View(TString(fileName.GetDrive()))))
        return TSubString::CreateNull();
    auto dirParts = Split(View(directory), "\\/:");
    auto fileParts = Split(View(fileName), "\\/:");
    size_t d = dirParts.empty() ? 0 : 1;  // the drive
    size_t f = fileParts.empty() ? 0 : 1;
    // The file's title is never dropped.
    while (d < dirParts.size() && fileParts.size() - f > 1 &&
           EqualIgnoringCase(dirParts[d], fileParts[f])) {
        ++d;
        ++f;
    }
    std::string result;
    for (; d < dirParts.size(); ++d) result.append(result.empty() ? "" : "\\").append("..");
    for (; f < fileParts.size(); ++f)
        result.append(result.empty() ? "" : "\\").append(fileParts[f]);
    return Carry(result);
}

TSubString TString::GetAbsoluteFileName(const TString& directory, const TString& relativeName) {
    auto dirParts = Split(View(directory), "\\/:");
    if (dirParts.empty()) return TSubString::CreateNull();
    std::string suffix;
    for (std::string_view part : Split(View(relativeName), "\\/:")) {
        if (part == "..") {
            if (dirParts.size() > 1) dirParts.pop_back();  // the drive stays
        } else {
            suffix.append(1, kSeparator).append(part);
        }
    }
    std::string result(dirParts[0]);
    result += ':';
    for (size_t i = 1; i < dirParts.size(); ++i) result.append(1, kSeparator).append(dirParts[i]);
    result += suffix;
    return Carry(result);
}
