#pragma once
// Loading a plug-in module in a test as a host does: dlopen on Linux,
// LoadLibrary on Windows.

#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace tarnwick::test {

inline void* OpenModule(const char* path) {
#if defined(_WIN32)
    return reinterpret_cast<void*>(LoadLibraryA(path));
#else
    return dlopen(path, RTLD_NOW | RTLD_LOCAL);
#endif
}

// A routine the module exports by NAME, or null.
inline void* ModuleSymbol(void* module, const char* name) {
#if defined(_WIN32)
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
#else
    return dlsym(module, name);
#endif
}

inline void CloseModule(void* module) {
#if defined(_WIN32)
    FreeLibrary(static_cast<HMODULE>(module));
#else
    dlclose(module);
#endif
}

// Why the last OpenModule failed.
inline std::string ModuleError() {
#if defined(_WIN32)
    return "system error " + std::to_string(GetLastError());
#else
    const char* why = dlerror();
    return why != nullptr ? why : "";
#endif
}

}  // namespace tarnwick::test
