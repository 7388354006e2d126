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
// - the key the runtime's thread-local variables (thread_local, and the
//   runtime's own record of exceptions in flight) take from that library.
//   Its table of keys has a reader/writer lock, made on first use with two
//   semaphores and never destroyed, out of the module's reach. So the link
//   sends the library's key functions (pthread_key_create and the three
//   others; only that storage calls them) to keys of the module's own here,
//   on the system's thread-local storage, which take no lock that would
//   outlive the module; their indices are freed at unload.
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

#include <atomic>
#include <cerrno>
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

// The module's own thread keys: a key is its slot here, and its values
// live in the system's thread-local storage index the slot holds.
struct ThreadKey {
    std::atomic<DWORD> index1{0};  // the index + 1; 0 while the key is free
    void (*destroy)(void*) = nullptr;
};
constexpr pthread_key_t kThreadKeys = 8;
ThreadKey threadKeys[kThreadKeys];  // constant-initialised: usable before any constructor
SRWLOCK threadKeysLock = SRWLOCK_INIT;

DWORD IndexOf(pthread_key_t key) {
    const DWORD index1 =
        key < kThreadKeys ? threadKeys[key].index1.load(std::memory_order_acquire) : 0;
    return index1 != 0 ? index1 - 1 : TLS_OUT_OF_INDEXES;
}

// This thread's values go to their destructors, each set to null first, as
// long as destructors leave new ones (at most four rounds).
void EndThreadKeysHere() {
    const DWORD error = GetLastError();
    for (int round = 0; round < 4; ++round) {
        bool destroyed = false;
        for (pthread_key_t key = 0; key < kThreadKeys; ++key) {
            const DWORD index = IndexOf(key);
            void* value = index != TLS_OUT_OF_INDEXES ? TlsGetValue(index) : nullptr;
            if (!value || !threadKeys[key].destroy) continue;
            TlsSetValue(index, nullptr);
            threadKeys[key].destroy(value);
            destroyed = true;
        }
        if (!destroyed) break;
    }
    SetLastError(error);
}

void NTAPI ThreadKeysAtThreadEnd(PVOID, DWORD reason, PVOID) {
    if (reason == DLL_THREAD_DETACH) EndThreadKeysHere();
}

// At unload: this thread's values and every index.
void ReleaseThreadKeys() {
    EndThreadKeysHere();
    for (pthread_key_t key = 0; key < kThreadKeys; ++key)
        if (const DWORD index = IndexOf(key); index != TLS_OUT_OF_INDEXES) {
            threadKeys[key].index1.store(0, std::memory_order_relaxed);
            TlsFree(index);
        }
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
        ReleaseThreadKeys();
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

#if defined(_WIN32) && defined(__WINPTHREADS_VERSION)
// Called by the system at the end of each thread, through the module's TLS
// directory, as the threads library's handler is.
extern "C" {
__attribute__((section(".CRT$XLE"), used)) PIMAGE_TLS_CALLBACK tarnwick_thread_keys_end =
    ThreadKeysAtThreadEnd;

// The threads library's key functions, as the link renames the calls to them.
int __wrap_pthread_key_create(pthread_key_t* key, void (*destroy)(void*)) {
    int result = EAGAIN;
    AcquireSRWLockExclusive(&threadKeysLock);
    for (pthread_key_t k = 0; k < kThreadKeys; ++k) {
        if (threadKeys[k].index1.load(std::memory_order_relaxed) != 0) continue;
        if (const DWORD index = TlsAlloc(); index != TLS_OUT_OF_INDEXES) {
            threadKeys[k].destroy = destroy;
            threadKeys[k].index1.store(index + 1, std::memory_order_release);
            *key = k;
            result = 0;
        }
        break;
    }
    ReleaseSRWLockExclusive(&threadKeysLock);
    return result;
}

int __wrap_pthread_key_delete(pthread_key_t key) {
    AcquireSRWLockExclusive(&threadKeysLock);
    const DWORD index = IndexOf(key);
    if (index != TLS_OUT_OF_INDEXES) {
        threadKeys[key].index1.store(0, std::memory_order_relaxed);
        TlsFree(index);
    }
    ReleaseSRWLockExclusive(&threadKeysLock);
    return index != TLS_OUT_OF_INDEXES ? 0 : EINVAL;
}

// Both leave the thread's last error as it was, as the library's do.
void* __wrap_pthread_getspecific(pthread_key_t key) {
    const DWORD index = IndexOf(key);
    if (index == TLS_OUT_OF_INDEXES) return nullptr;
    const DWORD error = GetLastError();
    void* value = TlsGetValue(index);
    SetLastError(error);
    return value;
}

int __wrap_pthread_setspecific(pthread_key_t key, const void* value) {
    const DWORD index = IndexOf(key);
    if (index == TLS_OUT_OF_INDEXES) return EINVAL;
    const DWORD error = GetLastError();
    const bool set = TlsSetValue(index, const_cast<void*>(value)) != FALSE;
    SetLastError(error);
    return set ? 0 : ENOMEM;
}
}
#endif

#endif
