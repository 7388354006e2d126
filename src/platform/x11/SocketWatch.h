// Whether a socket may have become readable, asked so often (every idle call
// of every editor) that the asking must cost as little as can be. A system
// call made after the host's 20 ms between idle calls costs several
// microseconds here, cold; so where the kernel allows, the socket is watched
// by a poll that stays armed in an io_uring, whose completions land in
// memory this process maps: asking is then a read of that memory. Where it
// does not (an old kernel, a sandbox that forbids io_uring), an epoll set is
// asked, and where not even that, the socket itself.
#pragma once

#include <cstdint>

namespace tarnwick::platform::x11 {

class SocketWatch {
public:
    SocketWatch() = default;
    SocketWatch(const SocketWatch&) = delete;
    SocketWatch& operator=(const SocketWatch&) = delete;
    ~SocketWatch() { Stop(); }

    void Watch(int socket);
    void Stop();

    // True when the socket may have something to read, or has hung up or
    // failed, since the last call that answered true; answering true, it
    // forgets what it saw, so the caller must then read the socket to its
    // end. May answer true when nothing came.
    bool MayBeReadable();

    enum class Kind { Unwatched, Ring, Epoll, Poll };
    Kind Using() const { return kind_; }

private:
    bool StartRing();
    void WatchWithoutRing();
    bool Arm();
    void StopRing();

    Kind kind_ = Kind::Unwatched;
    int socket_ = -1;
    int fd_ = -1;  // the ring's or the epoll set's
    // The ring's shared memory, as the kernel lays it out.
    void* sq_ = nullptr;
    std::uint64_t sqSize_ = 0;
    void* cq_ = nullptr;
    std::uint64_t cqSize_ = 0;
    void* sqes_ = nullptr;
    std::uint64_t sqesSize_ = 0;
    unsigned* sqTail_ = nullptr;
    unsigned* sqArray_ = nullptr;
    unsigned* sqFlags_ = nullptr;
    unsigned* cqHead_ = nullptr;
    unsigned* cqTail_ = nullptr;
    unsigned cqMask_ = 0;
    const void* cqes_ = nullptr;
};

}  // namespace tarnwick::platform::x11
