// The Win32 calls by which a program meets files and folders, and a way of pointing this
// program's own import entries for them at wrappers of its own, so that nothing in the
// program changes: the Windows fault sweep fails the calls one by one, the benchmark times
// them. Only code linked into the executable itself goes through its import table; what
// Qt's DLLs call does not.
#pragma once

#include <cstring>

#include <windows.h>

// X(name, what the call returns when it fails)
#define QUORVEL_WIN32_FILE_CALLS(X)                                                                \
    X(CreateFileW, INVALID_HANDLE_VALUE)                                                           \
    X(CreateFile2, INVALID_HANDLE_VALUE)                                                           \
    X(OpenFileById, INVALID_HANDLE_VALUE)                                                          \
    X(ReOpenFile, INVALID_HANDLE_VALUE)                                                            \
    X(WriteFile, FALSE)                                                                            \
    X(ReadFile, FALSE)                                                                             \
    X(FlushFileBuffers, FALSE)                                                                     \
    X(SetEndOfFile, FALSE)                                                                         \
    X(SetFilePointerEx, FALSE)                                                                     \
    X(GetFileSizeEx, FALSE)                                                                        \
    X(GetFileType, FILE_TYPE_UNKNOWN)                                                              \
    X(GetFileInformationByHandle, FALSE)                                                           \
    X(GetFileInformationByHandleEx, FALSE)                                                         \
    X(SetFileInformationByHandle, FALSE)                                                           \
    X(GetFinalPathNameByHandleW, 0)                                                                \
    X(GetFileAttributesW, INVALID_FILE_ATTRIBUTES)                                                 \
    X(GetFileAttributesExW, FALSE)                                                                 \
    X(SetFileAttributesW, FALSE)                                                                   \
    X(SetFileTime, FALSE)                                                                          \
    X(ReplaceFileW, FALSE)                                                                         \
    X(MoveFileExW, FALSE)                                                                          \
    X(MoveFileW, FALSE)                                                                            \
    X(DeleteFileW, FALSE)                                                                          \
    X(FindFirstFileExW, INVALID_HANDLE_VALUE)                                                      \
    X(FindFirstFileW, INVALID_HANDLE_VALUE)                                                        \
    X(FindNextFileW, FALSE)                                                                        \
    X(FindClose, FALSE)                                                                            \
    X(CloseHandle, FALSE)

namespace Win32FileCalls {

enum Slot {
#define QUORVEL_SLOT(name, failure) k##name,
    QUORVEL_WIN32_FILE_CALLS(QUORVEL_SLOT)
#undef QUORVEL_SLOT
        kSlots
};

inline constexpr const char *kNames[kSlots] = {
#define QUORVEL_NAME(name, failure) #name,
    QUORVEL_WIN32_FILE_CALLS(QUORVEL_NAME)
#undef QUORVEL_NAME
};

// Points the import entries of this program named in kNames at wrappers[slot], and keeps
// in reals[slot] the function each pointed at. The calls the program does not import are
// left alone. False when no entry could be changed.
inline bool pointImports(void *const (&wrappers)[kSlots], void *(&reals)[kSlots])
{
    auto *base = reinterpret_cast<BYTE *>(::GetModuleHandleW(nullptr));
    const auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    const auto *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &directory
        = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0)
        return false;
    int patched = 0;
    for (auto *module
         = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR *>(base + directory.VirtualAddress);
         module->Name != 0; ++module) {
        if (module->OriginalFirstThunk == 0)
            continue;
        auto *names = reinterpret_cast<const IMAGE_THUNK_DATA *>(base + module->OriginalFirstThunk);
        auto *entries = reinterpret_cast<IMAGE_THUNK_DATA *>(base + module->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++entries) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const auto *byName
                = reinterpret_cast<const IMAGE_IMPORT_BY_NAME *>(base + names->u1.AddressOfData);
            const char *name = reinterpret_cast<const char *>(byName->Name);
            for (int slot = 0; slot < kSlots; ++slot) {
                if (std::strcmp(name, kNames[slot]) != 0)
                    continue;
                DWORD was = 0;
                if (!::VirtualProtect(&entries->u1.Function, sizeof entries->u1.Function,
                                      PAGE_READWRITE, &was))
                    return false;
                reals[slot] = reinterpret_cast<void *>(entries->u1.Function);
                entries->u1.Function = reinterpret_cast<ULONG_PTR>(wrappers[slot]);
                ::VirtualProtect(&entries->u1.Function, sizeof entries->u1.Function, was, &was);
                ++patched;
            }
        }
    }
    return patched > 0;
}

} // namespace Win32FileCalls
