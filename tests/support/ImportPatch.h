// Makes one platform call fail for a test: while a TImportPatch lives, this program's calls of an imported
// function reach a stand-in, through the function's entry in the executable's import table. For failures
// that cannot be brought about for real (a registry write, a step of an open wave device).
#pragma once

#include <windows.h>

#include <cstring>

class TImportPatch {
public:
    TImportPatch(const char* dll, const char* function, void* standIn) : FSlot(FindSlot(dll, function))
    {
        if (!FSlot) return;
        FOriginal = *FSlot;
        Put(standIn);
    }
    ~TImportPatch()
    {
        if (FSlot) Put(FOriginal);
    }
    TImportPatch(const TImportPatch&) = delete;
    TImportPatch& operator=(const TImportPatch&) = delete;

    // False when the program does not import the function (the test cannot run as meant).
    bool Active() const { return FSlot != nullptr; }
    // The real function, for stand-ins that fail only some calls.
    template <typename F>
    F Original() const
    {
        return reinterpret_cast<F>(FOriginal);
    }

private:
    static void** FindSlot(const char* dll, const char* function)
    {
        auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
        auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
        const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        if (!imports.VirtualAddress) return nullptr;
        for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); d->Name; ++d) {
            if (lstrcmpiA(reinterpret_cast<const char*>(base + d->Name), dll) != 0 || !d->OriginalFirstThunk) continue;
            auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
            auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
            for (; names->u1.AddressOfData; ++names, ++slots) {
                if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
                auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
                if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                    return reinterpret_cast<void**>(&slots->u1.Function);
            }
        }
        return nullptr;
    }
    void Put(void* value)
    {
        DWORD old = 0;
        VirtualProtect(FSlot, sizeof *FSlot, PAGE_READWRITE, &old);
        *FSlot = value;
        VirtualProtect(FSlot, sizeof *FSlot, old, &old);
    }

    void** FSlot;
    void* FOriginal = nullptr;
};
