// What the C++ runtime linked into the module keeps for itself and never
// gives back: its emergency pool for exceptions (about 70 KB on 64-bit
// systems), taken by the runtime's own static constructor when the module
// is loaded. A host that loads and unloads the module again and again (a
// plug-in scan, a session reloaded) would lose one pool each time, so the
// module frees it when it is unloaded.
//
// The runtime names this release itself (it is how memory checkers free
// the pool at exit). The pool is freed as the very last of the module's
// static destructors: the object below is made before every other static
// of the module, so it is destroyed after all of them, and after it none of
// the module's code runs that could throw. Only a runtime of the module's
// own is released, never a shared one the host's other code still uses.
#include <cstddef>  // names the runtime (__GLIBCXX__)

#if defined(__GLIBCXX__)

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace __gnu_cxx {
void __freeres();
}

namespace {

// Which loaded module holds the code at ADDRESS.
const void* ModuleOf(const void* address) {
#if defined(_WIN32)
    HMODULE module = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        static_cast<LPCWSTR>(address), &module);
    return module;
#else
    Dl_info info{};
    return dladdr(address, &info) != 0 ? info.dli_fbase : nullptr;
#endif
}

struct RuntimeRelease {
    ~RuntimeRelease() {
        const void* runtime = ModuleOf(reinterpret_cast<const void*>(&__gnu_cxx::__freeres));
        if (runtime && runtime == ModuleOf(reinterpret_cast<const void*>(&ModuleOf)))
            __gnu_cxx::__freeres();
    }
};

__attribute__((init_priority(101))) RuntimeRelease release;

}  // namespace

#endif
