// The Windows clock.
//
// The module reads its millisecond tick count with GetTickCount, imported
// from KERNEL32.dll. Every call of an imported function goes through the
// module's import address table (IAT): one pointer slot per imported
// function, filled in by the loader. After LoadLibraryA, attachToModule
// walks the module's import descriptors to the slot of KERNEL32!GetTickCount
// and writes the address of virtualGetTickCount into it. From then on the
// module's clock is this file's: the virtual time while it is on, the real
// GetTickCount otherwise. Nothing else in the process is touched.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstring>
#include <string>

#include "virtual_clock.h"

namespace {
// Same signature and calling convention as GetTickCount (stdcall on i686).
DWORD WINAPI virtualGetTickCount() {
    if (!virtual_clock::isEnabled()) return GetTickCount();
    return static_cast<DWORD>(virtual_clock::now());  // wraps after 2^32 ms like the real one
}

// `rva` is an offset from the module's base, as every PE header field is.
template <typename T>
T* at(HMODULE module, DWORD rva) {
    return reinterpret_cast<T*>(reinterpret_cast<BYTE*>(module) + rva);
}
}  // namespace

namespace virtual_clock {

bool attachToModule(void* library, std::string& error) {
    auto* module = static_cast<HMODULE>(library);
    const auto* dos = at<IMAGE_DOS_HEADER>(module, 0);
    const auto* nt = at<IMAGE_NT_HEADERS>(module, static_cast<DWORD>(dos->e_lfanew));
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) {
        error = "imports nothing, so its clock cannot be replaced";
        return false;
    }
    // One descriptor per imported DLL; a zeroed one ends the array.
    for (auto* dll = at<IMAGE_IMPORT_DESCRIPTOR>(module, imports.VirtualAddress); dll->Name != 0; ++dll) {
        if (_stricmp(at<char>(module, dll->Name), "KERNEL32.dll") != 0 || dll->OriginalFirstThunk == 0) continue;
        // Two parallel arrays: the names (OriginalFirstThunk, left as built)
        // and the slots (FirstThunk, overwritten with addresses at load).
        const auto* name = at<IMAGE_THUNK_DATA>(module, dll->OriginalFirstThunk);
        auto* slot = at<IMAGE_THUNK_DATA>(module, dll->FirstThunk);
        for (; name->u1.AddressOfData != 0; ++name, ++slot) {
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) continue;
            const auto* byName = at<IMAGE_IMPORT_BY_NAME>(module, static_cast<DWORD>(name->u1.AddressOfData));
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), "GetTickCount") != 0) continue;
            // The table may sit in a read-only section: open it for the
            // one write, then restore its protection.
            DWORD oldProtection = 0;
            if (!VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &oldProtection)) {
                error = "cannot write its import table";
                return false;
            }
            slot->u1.Function = reinterpret_cast<ULONG_PTR>(&virtualGetTickCount);
            VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, oldProtection, &oldProtection);
            return true;
        }
    }
    error = "does not import GetTickCount from KERNEL32.dll";
    return false;
}

}  // namespace virtual_clock
