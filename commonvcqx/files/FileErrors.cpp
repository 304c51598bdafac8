// File error texts raised as TExceptions.
#include <commonvcqx/files/internal/FileErrors.h>

#include <commonvcqx/files/FileName.h>
#include <commonvcqx/frame/ExceptionThrower.h>
#include <commonvcqx/platform/Drives.h>
#include <commonvcqx/platform/WinTypes.h>
#include <commonvcqx/text/StaticStrings.h>

#include <cctype>

namespace cvq::detail {

namespace {

constexpr uint32_t kHandleDiskFull = 39;

}  // namespace

TString FormatFileError(int id, const char* argument) {
    std::string text = GetStaticString(id);
    size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, argument);
    return TString(text.c_str());
}

void ThrowFileError(int id, const char* argument, uint32_t code) {
    TExceptionThrower().SetAndThrow(FormatFileError(id, argument), code);
    throw;  // not reached: a plain thrower always throws
}

void ThrowFileError(int id, uint32_t code) {
    TExceptionThrower().SetAndThrow(TResMess(id), code);
    throw;
}

bool IsDiskFull(uint32_t code) {
    return code == ERROR_DISK_FULL || code == kHandleDiskFull;
}

std::string DriveOf(const char* name) {
    std::string text = name;
    if (!text.empty() && text[0] == '/') text = FileNameFromNativePath(text);
    if (text.size() < 2 || text[1] != ':') text = cvq::platform::CurrentDirectoryName();
    return text.size() >= 2 && text[1] == ':' ? text.substr(0, 2) : std::string();
}

int DriveIndexOf(const char* name) {
    std::string drive = DriveOf(name ? name : "");
    if (drive.empty()) return -1;
    int letter = std::toupper(static_cast<unsigned char>(drive[0]));
    return letter >= 'A' && letter <= 'Z' ? letter - 'A' : -1;
}

void ThrowNotEnoughDiskSpace(const char* name, uint32_t code) {
    ThrowFileError(18019, DriveOf(name ? name : "").c_str(), code);
}

}  // namespace cvq::detail
