// What the runtime linked into the module keeps for itself and never gives
// back unless asked. A host that loads and frees the module again and again
// (a plug-in scan, a session reloaded) would lose it at every unload:
//
// - the C++ runtime's emergency pool for exceptions (72 KB on 64-bit Linux,
//   19 KB in the 32-bit Windows module), taken by the runtime's own static
//   constructor when the module is loaded. The runtime names this release
//   itself (it is how memory checkers free the pool at exit).
// - in the Windows modules, the POSIX threads library's record of the
//   thread that frees the module (a thread handle, an event and a few
//   hundred bytes), made when that thread first used the library (the first
//   function-local static it initialised). The library gives a record back
//   when its thread ends while the module is loaded; at an unload the
//   module does for the freeing thread what the library would do then.
// - and that library's thread-local storage index, which it never frees: a
//   process has 1088, and the library ends the process when it finds none
//   left. Its index is the one whose value, the record, the library clears
//   as it gives the record back; when that tells it beyond doubt (exactly
//   one index changed, to empty), the module frees the index.
//
// All of it is released as the very last of the module's static
// destructors: the object below is made before every other static of the
// module, so it is destroyed after all of them, and after it none of the
// module's code runs that could throw or start a thread's record again.
// (The runtime's release of its pool leaves the pool's free list pointing at
// the freed block: an exception thrown after it, with memory exhausted,
// would use it.) Only a runtime of the module's own is released, never a
// shared one the host's other code still uses.
#include <cstddef>  // names the runtime (__GLIBCXX__)

#if defined(__GLIBCXX__)

#if defined(_WIN32)
#include <windows.h>
//
#include <pthread.h>
#else
#include <dlfcn.h>
#endif

namespace __gnu_cxx {
void __freeres();
}

#if defined(_WIN32) && defined(__WINPTHREADS_VERSION)
// The threads library's handler of thread and process events, which the
// system calls through the module's TLS directory.
extern "C" const PIMAGE_TLS_CALLBACK __xl_f;
#endif

namespace {

#if defined(_WIN32) && defined(__WINPTHREADS_VERSION)
// Every thread-local storage index a process can have.
constexpr DWORD kTlsIndices = TLS_MINIMUM_AVAILABLE + 1024;

// This thread's value in every index (null where none is allocated).
void ReadTls(void** values) {
    const DWORD error = GetLastError();
    for (DWORD i = 0; i < kTlsIndices; ++i) values[i] = TlsGetValue(i);
    SetLastError(error);
}

// Gives back the threads library's record of this thread, and its index.
void EndThreadsLibraryHere(HMODULE self) {
    static void* before[kTlsIndices];
    static void* after[kTlsIndices];
    ReadTls(before);
    __xl_f(self, DLL_THREAD_DETACH, nullptr);
    ReadTls(after);
    DWORD cleared = kTlsIndices;
    int changed = 0;
    for (DWORD i = 0; i < kTlsIndices; ++i) {
        if (before[i] == after[i]) continue;
        ++changed;
        if (before[i] && !after[i]) cleared = i;
    }
    if (changed == 1 && cleared < kTlsIndices) TlsFree(cleared);
}
#endif

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
        const void* self = ModuleOf(reinterpret_cast<const void*>(&ModuleOf));
        const void* runtime = ModuleOf(reinterpret_cast<const void*>(&__gnu_cxx::__freeres));
        if (runtime && runtime == self) __gnu_cxx::__freeres();
#if defined(_WIN32) && defined(__WINPTHREADS_VERSION)
        // The end of this thread, as far as the module's threads library
        // can tell: its record of the thread goes.
        const void* threads = ModuleOf(reinterpret_cast<const void*>(__xl_f));
        if (threads && threads == self)
            EndThreadsLibraryHere(static_cast<HMODULE>(const_cast<void*>(self)));
#endif
    }
};

__attribute__((init_priority(101))) RuntimeRelease release;

}  // namespace

#endif
