#pragma once
// Functions that not every Windows has, looked up by name at run time. A missing library or
// function gives null, and the caller leaves its feature quietly off.

#include <windows.h>

// `Function` is the function's own type, e.g. systemFunction<decltype(RtlGetVersion)>.
// The library is loaded on first use and never freed: its functions stay valid for the whole run.
template <typename Function>
Function* systemFunction(const wchar_t* library, const char* name) {
    HMODULE module = GetModuleHandleW(library);
    if (!module) {
        module = LoadLibraryW(library);
    }
    if (!module) {
        return nullptr;
    }
    FARPROC address = GetProcAddress(module, name);
    if (!address) {
        return nullptr;
    }
    // Through void(*)() so that the compiler accepts the change of function type.
    return reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(address));
}
