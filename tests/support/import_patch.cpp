#include "tests/support/import_patch.h"

#include <windows.h>

namespace {

template <typename T>
T* AtOffset(BYTE* base, DWORD offset)
{
    return reinterpret_cast<T*>(base + offset);
}

bool WriteEntry(ULONG_PTR* entry, void* value, void** previous)
{
    DWORD oldProtection = 0;
    if (!VirtualProtect(entry, sizeof(*entry), PAGE_READWRITE, &oldProtection)) {
        return false;
    }
    *previous = reinterpret_cast<void*>(*entry);
    *entry = reinterpret_cast<ULONG_PTR>(value);
    VirtualProtect(entry, sizeof(*entry), oldProtection, &oldProtection);
    FlushInstructionCache(GetCurrentProcess(), entry, sizeof(*entry));
    return true;
}

} // namespace

void* PatchImport(const char* dll, const char* function, void* replacement)
{
    BYTE* base = reinterpret_cast<BYTE*>(GetModuleHandleA(NULL));
    IMAGE_DOS_HEADER* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    IMAGE_NT_HEADERS* nt = AtOffset<IMAGE_NT_HEADERS>(base, static_cast<DWORD>(dos->e_lfanew));
    IMAGE_DATA_DIRECTORY directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) {
        return nullptr;
    }
    void* original = nullptr;
    for (IMAGE_IMPORT_DESCRIPTOR* import = AtOffset<IMAGE_IMPORT_DESCRIPTOR>(base, directory.VirtualAddress);
         import->Name != 0; ++import) {
        if (lstrcmpiA(AtOffset<char>(base, import->Name), dll) != 0 || import->OriginalFirstThunk == 0) {
            continue;
        }
        IMAGE_THUNK_DATA* names = AtOffset<IMAGE_THUNK_DATA>(base, import->OriginalFirstThunk);
        IMAGE_THUNK_DATA* addresses = AtOffset<IMAGE_THUNK_DATA>(base, import->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++addresses) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
                continue;
            }
            IMAGE_IMPORT_BY_NAME* byName =
                AtOffset<IMAGE_IMPORT_BY_NAME>(base, static_cast<DWORD>(names->u1.AddressOfData));
            if (lstrcmpA(reinterpret_cast<char*>(byName->Name), function) != 0) {
                continue;
            }
            // The same function may be listed under more than one
            // descriptor of the DLL: every entry is redirected.
            void* previous = nullptr;
            if (WriteEntry(reinterpret_cast<ULONG_PTR*>(&addresses->u1.Function), replacement, &previous) &&
                original == nullptr) {
                original = previous;
            }
        }
    }
    return original;
}
