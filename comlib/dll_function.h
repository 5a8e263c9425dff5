#pragma once
// A system DLL loaded at run time, for functions that older Windows versions lack.
#include <windows.h>

#include <string>

#include "comlib/unique_resource.h"

class DllFunction_CL {
public:
    // Loads the DLL of this file name from the system folder only, never from the executable's
    // folder or the current directory, so a planted copy beside a downloaded program is ignored.
    // Any folder in the argument is dropped.
    explicit DllFunction_CL(const std::wstring& path);
    DllFunction_CL(const DllFunction_CL&) = delete;
    DllFunction_CL& operator=(const DllFunction_CL&) = delete;
    virtual ~DllFunction_CL() = default;

    // GetProcAddress; null when the module or the function is missing.
    FARPROC Lookup(const char* name) const;
    template <class Function>
    Function LookupAs(const char* name) const {
        return reinterpret_cast<Function>(reinterpret_cast<void*>(Lookup(name)));
    }

    HMODULE Module() const { return module_.Get(); }

    // "<system folder>\<file name of path>", "" when the system folder is unknown.
    static std::wstring SystemPath(const std::wstring& path);

private:
    UniqueModule module_;
};
