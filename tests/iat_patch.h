// Replaces a function a loaded module imports, for fault injection and resource counting
// in tests: the plug-in under test stays the real, unmodified DLL on disk.
#pragma once

#include <windows.h>

// Points module's import of dll!function at replacement; returns the previous address,
// or NULL when the module does not import it.
void* patchImport(HMODULE module, const char* dll, const char* function, void* replacement);

// Patches on construction and restores on destruction.
class ImportPatch {
public:
    ImportPatch(HMODULE module, const char* dll, const char* function, void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;
    bool active() const { return original_ != nullptr; }
    void* original() const { return original_; }

private:
    HMODULE module_;
    const char* dll_;
    const char* function_;
    void* original_;
};
