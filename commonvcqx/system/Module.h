// commonvcqx/system/Module.h
//
// TModule: a loaded module (the program, a plug-in or a resource library) through
// which procedures and string-table entries are found. TModuleProc: one procedure of
// a module. TResId: a resource named by text or by a 16-bit number.
//
// Modules are shared objects loaded with the dynamic loader. A name with a drive or a
// folder is a library file name (the drive table maps it); a bare name is looked for
// beside the executable first, then where the loader searches. String tables come
// from the strings file beside the module ("<module file>.strings", "id=text" lines;
// see platform/internal/ModuleTexts.h), taken byte for byte (no code-page conversion).
// Resources that have no meaning on Linux (bitmaps, menus, icons, cursors,
// accelerators, raw resources, window-class queries) are never found: those calls
// return null, 0 or FALSE.
//
//   TModule plugin("libfx.so", 1, 1);          // throws TException when it cannot load
//   TModuleProc entry(plugin, "FxEntry");
//   auto* run = reinterpret_cast<int (*)(int)>(FARPROC(entry));
//   TString title = plugin.LoadStringA(20001);
#pragma once

#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/platform/WinTypes.h>
#include <commonvcqx/text/String.h>

#include <cstdint>

class TResId {
public:
    TResId(const char* name) noexcept : m_id(name) {}
    /// A number is kept as the resource-number form of a name (MAKEINTRESOURCE).
    TResId(int number) noexcept
        : m_id(reinterpret_cast<const char*>(uintptr_t(uint16_t(number)))) {}
    bool IsNumber() const noexcept { return uintptr_t(m_id) <= 0xFFFF; }
    operator const char*() const noexcept { return m_id; }

private:
    const char* m_id;
};

class TModule {
public:
    /// With `load` set, loads the module (and owns it); with `mustLoad` as well, a
    /// module that cannot be loaded raises a TException naming it and the loader's
    /// reason. Without `load` the handle is null. The name is then set by SetName.
    TModule(const char* name, char load, char mustLoad);
    /// Wraps a module loaded elsewhere; it is not freed here.
    TModule(const char* name, HINSTANCE handle);
    TModule(const char* name, HINSTANCE handle, const char* commandLine);
    TModule(const TModule&) = delete;
    TModule& operator=(const TModule&) = delete;
    /// Unloads the module when this object loaded it.
    virtual ~TModule();

    /// Null: the module's file name when loaded, else "".
    void SetName(const char* name);
    const char* GetName() const noexcept { return m_name.c_str(); }
    HINSTANCE GetHandle() const noexcept { return m_handle; }
    operator HINSTANCE() const noexcept { return m_handle; }
    void SetHandle(HINSTANCE handle) noexcept { m_handle = handle; }
    /// A handle above 32.
    char IsLoaded() const noexcept { return uintptr_t(m_handle) > 32; }
    bool operator==(const TModule& other) const noexcept { return m_handle == other.m_handle; }

    /// Asks "OK To resume" (caption "Error") in a yes/no box through the message-box
    /// handler: 0 once answered, -1 when no box could be shown.
    virtual int Error(AException& exception, unsigned captionId, unsigned textId);

    /// The module's file in library form: up to `size` - 1 characters and a NUL; the
    /// number of characters copied (0 when not loaded or `size` < 1).
    int GetModuleFileNameA(char* buffer, int size) const;
    /// An exported symbol, or null.
    FARPROC GetProcAddress(const char* name) const;
    HRSRC FindResourceA(TResId id, const char* type) const;
    HGLOBAL LoadResource(HRSRC resource) const;
    DWORD SizeofResource(HRSRC resource) const;
    HBITMAP LoadBitmapA(TResId id) const;
    BOOL GetClassInfoA(const char* className, WNDCLASSA* info) const;
    HACCEL LoadAcceleratorsA(TResId id) const;
    HMENU LoadMenuA(TResId id) const;
    HCURSOR LoadCursorA(TResId id) const;
    HICON LoadIconA(const char* name) const;
    HICON CopyIcon(HICON icon) const;

    /// Entry `id` of the string table into `buffer`: at most `size` - 1 characters and
    /// a NUL; the number of characters written. A missing or empty entry gives 0 and
    /// an empty buffer (nothing is written when `size` < 1).
    int LoadStringA(unsigned id, char* buffer, int size) const;
    /// Entry `id` of the string table, or "".
    TString LoadStringA(unsigned id) const;

protected:
    /// Only stores the handle.
    void InitModule(HINSTANCE handle) noexcept { m_handle = handle; }

private:
    /// The entry, or null when missing.
    const char* FindString(unsigned id) const;

    TString m_name;
    HINSTANCE m_handle = nullptr;
    char m_ownsLibrary = 0;
};

class TModuleProc {
public:
    /// The procedure's address, or null when the module does not export it.
    TModuleProc(const TModule& module, const char* name);
    TModuleProc(const TModuleProc&) noexcept = default;
    TModuleProc& operator=(const TModuleProc&) noexcept = default;

    operator FARPROC() const noexcept { return m_proc; }

private:
    FARPROC m_proc;
};
