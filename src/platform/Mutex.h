#pragma once
// std::mutex and std::recursive_mutex that give back what the threads
// library took for them. The POSIX threads library the Windows builds link
// gives a mutex its state (a small block) when it is first locked, and the
// standard library's destructor, which is trivial for mutexes that start
// from a static initialiser, never frees it: each mutex that was ever locked
// would be lost when its object goes (a canvas of each control at every
// editor close, the module's own at every unload). These destroy the native
// mutex themselves; everywhere else they are the standard types.

#include <mutex>

namespace tarnwick::platform {

#if defined(_WIN32) && defined(__WINPTHREADS_VERSION)
template <class Standard>
class ReleasedMutex : public Standard {
public:
    ReleasedMutex() = default;
    ~ReleasedMutex() { pthread_mutex_destroy(this->native_handle()); }
    ReleasedMutex(const ReleasedMutex&) = delete;
    ReleasedMutex& operator=(const ReleasedMutex&) = delete;
};
using Mutex = ReleasedMutex<std::mutex>;
using RecursiveMutex = ReleasedMutex<std::recursive_mutex>;
#else
using Mutex = std::mutex;
using RecursiveMutex = std::recursive_mutex;
#endif

}  // namespace tarnwick::platform
