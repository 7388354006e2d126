#pragma once
// A recursive mutex (a canvas's lock) that gives back what the threads
// library took for it. The POSIX threads library the Windows builds link
// gives a mutex its state (a small block) when it is first locked, and the
// standard library's destructor, which is trivial for mutexes that start
// from a static initialiser, never frees it: each mutex that was ever locked
// would be lost when its object goes (a canvas of each control at every
// editor close). This one destroys the native mutex itself; everywhere else
// it is the standard type.

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
using RecursiveMutex = ReleasedMutex<std::recursive_mutex>;
#else
using RecursiveMutex = std::recursive_mutex;
#endif

}  // namespace tarnwick::platform
