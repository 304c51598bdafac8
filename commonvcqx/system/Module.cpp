#include <commonvcqx/frame/ExceptionThrower.h>
#include <commonvcqx/platform/Drives.h>
#include <commonvcqx/platform/MessageBoxHandler.h>
#include <commonvcqx/platform/internal/ExecutableFile.h>
#include <commonvcqx/platform/internal/ModuleTexts.h>
#include <commonvcqx/platform/internal/SharedModules.h>
#include <commonvcqx/system/Module.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace pf = cvq::platform;

TModule::TModule(const char* name, char load, char mustLoad) : m_ownsLibrary(load) {
    if (load) {
        m_handle = static_cast<HINSTANCE>(pf::OpenModuleByName(name));
        if (!IsLoaded() && mustLoad) {
            TString message("Cannot load module ");
            message += name ? name : "";
            message += ": ";
            message += pf::LastSharedModuleError();
            TExceptionThrower().SetAndThrow(message);
        }
    }
    SetName(name);
}

TModule::TModule(const char* name, HINSTANCE handle) : m_handle(handle) {
    SetName(name);
}

TModule::TModule(const char* name, HINSTANCE handle, const char*) {
    InitModule(handle);
    SetName(name);
}

TModule::~TModule() {
    if (m_ownsLibrary && IsLoaded()) pf::CloseSharedModule(m_handle);
}

void TModule::SetName(const char* name) {
    if (name) {
        m_name = name;
    } else if (IsLoaded()) {
        const std::string file = pf::ModuleFileName(m_handle);
        // The original's 260-character buffer: a longer name is cut, never overrun.
        m_name = TString(file.substr(0, MAX_PATH - 1).c_str());
    } else {
        m_name = TString();
    }
}

int TModule::Error(AException&, unsigned, unsigned) {
    const int answer =
        ShowMessageBox("OK To resume", "Error", MB_YESNO | MB_TASKMODAL | MB_TOPMOST);
    return answer == 0 ? -1 : 0;
}

int TModule::GetModuleFileNameA(char* buffer, int size) const {
    if (!buffer || size < 1) return 0;
    const std::string file = IsLoaded() ? pf::ModuleFileName(m_handle) : std::string();
    const size_t length = std::min(file.size(), size_t(size) - 1);
    std::memcpy(buffer, file.data(), length);
    buffer[length] = '\0';
    return int(length);
}

FARPROC TModule::GetProcAddress(const char* name) const {
    if (!IsLoaded() || !name) return nullptr;
    return reinterpret_cast<FARPROC>(pf::FindModuleSymbol(m_handle, name));
}

HRSRC TModule::FindResourceA(TResId, const char*) const {
    return nullptr;
}

HGLOBAL TModule::LoadResource(HRSRC) const {
    return nullptr;
}

DWORD TModule::SizeofResource(HRSRC) const {
    return 0;
}

HBITMAP TModule::LoadBitmapA(TResId) const {
    return nullptr;
}

BOOL TModule::GetClassInfoA(const char*, WNDCLASSA*) const {
    return 0;
}

HACCEL TModule::LoadAcceleratorsA(TResId) const {
    return nullptr;
}

HMENU TModule::LoadMenuA(TResId) const {
    return nullptr;
}

HCURSOR TModule::LoadCursorA(TResId) const {
    return nullptr;
}

HICON TModule::LoadIconA(const char*) const {
    return nullptr;
}

HICON TModule::CopyIcon(HICON) const {
    return nullptr;
}

const char* TModule::FindString(unsigned id) const {
    if (!IsLoaded() || id > unsigned(INT32_MAX)) return nullptr;
    std::string native;
    const std::string file = pf::ModuleFileName(m_handle);
    if (file.empty() || !NativePathFromFileName(file, native)) return nullptr;
    const pf::TStringTable& table = pf::ModuleStringTable(native);
    const auto found = table.find(int32_t(id));
    return found == table.end() ? nullptr : found->second.c_str();
}

int TModule::LoadStringA(unsigned id, char* buffer, int size) const {
    if (!buffer || size < 1) return 0;
    const char* text = FindString(id);
    const size_t length = text ? std::min(std::strlen(text), size_t(size) - 1) : 0;
    std::memcpy(buffer, text ? text : "", length);
    buffer[length] = '\0';
    return int(length);
}

TString TModule::LoadStringA(unsigned id) const {
    const char* text = FindString(id);
    return text ? TString(text) : TString();
}

TModuleProc::TModuleProc(const TModule& module, const char* name)
    : m_proc(module.GetProcAddress(name)) {}
