#include "platform/x11/SocketWatch.h"

#include <linux/io_uring.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tarnwick::platform::x11 {

namespace {

// Wake-ups the completion queue holds between two questions before the
// kernel has to keep them aside: an X connection in a burst of motion wakes
// its reader often.
constexpr unsigned kCompletions = 64;

int RingSetup(unsigned entries, io_uring_params& p) {
    return static_cast<int>(syscall(__NR_io_uring_setup, entries, &p));
}

int RingEnter(int fd, unsigned submit, unsigned flags) {
    return static_cast<int>(syscall(__NR_io_uring_enter, fd, submit, 0u, flags, nullptr, 0));
}

void* Map(int fd, std::uint64_t size, off_t offset) {
    void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, fd, offset);
    return p == MAP_FAILED ? nullptr : p;
}

template <typename T>
T* At(void* base, std::uint32_t offset) {
    return reinterpret_cast<T*>(static_cast<char*>(base) + offset);
}

}  // namespace

void SocketWatch::Watch(int socket) {
    Stop();
    socket_ = socket;
    if (socket < 0) return;
    // TARNWICK_NO_IO_URING=1 makes the watch take the way a kernel without
    // io_uring leaves, so that it can be tried on any machine.
    const char* noRing = std::getenv("TARNWICK_NO_IO_URING");
    if (!(noRing && std::strcmp(noRing, "1") == 0) && StartRing()) return;
    WatchWithoutRing();
}

void SocketWatch::WatchWithoutRing() {
    fd_ = epoll_create1(EPOLL_CLOEXEC);
    epoll_event watch{};
    watch.events = EPOLLIN;
    if (fd_ >= 0 && epoll_ctl(fd_, EPOLL_CTL_ADD, socket_, &watch) == 0) {
        kind_ = Kind::Epoll;
        return;
    }
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    kind_ = Kind::Poll;
}

void SocketWatch::Stop() {
    if (kind_ == Kind::Ring) StopRing();
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    kind_ = Kind::Unwatched;
}

bool SocketWatch::StartRing() {
    // Completions posted when this thread next enters the kernel rather
    // than by interrupting it, and a flag in the shared memory that says
    // when one waits: kernels before 5.19 know neither and get neither.
    io_uring_params p{};
    int fd = -1;
    for (const unsigned flags :
         {IORING_SETUP_CQSIZE | IORING_SETUP_COOP_TASKRUN | IORING_SETUP_TASKRUN_FLAG,
          unsigned{IORING_SETUP_CQSIZE}}) {
        p = io_uring_params{};
        p.flags = flags;
        p.cq_entries = kCompletions;
        fd = RingSetup(1, p);
        if (fd >= 0 || errno != EINVAL) break;
    }
    if (fd < 0) return false;  // no io_uring here, or one a sandbox forbids
    fd_ = fd;
    kind_ = Kind::Ring;
    sqSize_ = p.sq_off.array + p.sq_entries * sizeof(unsigned);
    cqSize_ = p.cq_off.cqes + p.cq_entries * sizeof(io_uring_cqe);
    sqesSize_ = p.sq_entries * sizeof(io_uring_sqe);
    // Both rings in one mapping where the kernel allows: the flags and the
    // completion queue's head and tail then share a page, and a question
    // touches one.
    if (p.features & IORING_FEAT_SINGLE_MMAP) {
        sqSize_ = std::max(sqSize_, cqSize_);
        sq_ = Map(fd, sqSize_, IORING_OFF_SQ_RING);
        cq_ = sq_;
    } else {
        sq_ = Map(fd, sqSize_, IORING_OFF_SQ_RING);
        cq_ = Map(fd, cqSize_, IORING_OFF_CQ_RING);
    }
    sqes_ = Map(fd, sqesSize_, IORING_OFF_SQES);
    if (!sq_ || !cq_ || !sqes_) {
        Stop();
        return false;
    }
    sqTail_ = At<unsigned>(sq_, p.sq_off.tail);
    sqArray_ = At<unsigned>(sq_, p.sq_off.array);
    // Read whatever the kernel: a queue that ran over says so here too.
    sqFlags_ = At<unsigned>(sq_, p.sq_off.flags);
    cqHead_ = At<unsigned>(cq_, p.cq_off.head);
    cqTail_ = At<unsigned>(cq_, p.cq_off.tail);
    cqMask_ = *At<unsigned>(cq_, p.cq_off.ring_mask);
    cqes_ = At<io_uring_cqe>(cq_, p.cq_off.cqes);
    if (!Arm()) {
        Stop();
        return false;
    }
    return true;
}

// One poll that stays armed: each time the socket becomes readable the
// kernel posts a completion and goes on waiting.
bool SocketWatch::Arm() {
    auto* sqe = static_cast<io_uring_sqe*>(sqes_);
    std::memset(sqe, 0, sizeof *sqe);
    sqe->opcode = IORING_OP_POLL_ADD;
    sqe->fd = socket_;
    sqe->poll32_events = POLLIN;
    sqe->len = IORING_POLL_ADD_MULTI;
    const unsigned tail = *sqTail_;
    sqArray_[0] = 0;  // one entry: the ring's mask is 0
    __atomic_store_n(sqTail_, tail + 1, __ATOMIC_RELEASE);
    return RingEnter(fd_, 1, 0) == 1;
}

void SocketWatch::StopRing() {
    // Closing the ring cancels the poll.
    if (sqes_) munmap(sqes_, sqesSize_);
    if (cq_ && cq_ != sq_) munmap(cq_, cqSize_);
    if (sq_) munmap(sq_, sqSize_);
    sq_ = cq_ = sqes_ = nullptr;
}

[[gnu::hot]] bool SocketWatch::MayBeReadable() {
    switch (kind_) {
        case Kind::Unwatched: return true;
        case Kind::Poll: {
            pollfd p{socket_, POLLIN, 0};
            return poll(&p, 1, 0) != 0;
        }
        case Kind::Epoll: {
            epoll_event ready{};
            return epoll_wait(fd_, &ready, 1, 0) != 0;
        }
        case Kind::Ring: break;
    }
    unsigned head = *cqHead_;
    unsigned tail = __atomic_load_n(cqTail_, __ATOMIC_ACQUIRE);
    const unsigned flags = __atomic_load_n(sqFlags_, __ATOMIC_RELAXED);
    if (head == tail && (flags & (IORING_SQ_TASKRUN | IORING_SQ_CQ_OVERFLOW)) == 0) return false;
    // Completions the queue had no room for wait in the kernel: a call
    // brings them in (and with them the poll's end, if it ended).
    if (flags & IORING_SQ_CQ_OVERFLOW) {
        RingEnter(fd_, 0, IORING_ENTER_GETEVENTS);
        tail = __atomic_load_n(cqTail_, __ATOMIC_ACQUIRE);
    }
    bool ended = false, failed = false;
    for (; head != tail; ++head) {
        const io_uring_cqe& c = static_cast<const io_uring_cqe*>(cqes_)[head & cqMask_];
        // The poll ends on an error, when the thread that armed it ends, or
        // when the kernel had nowhere to put a completion: armed again.
        if ((c.flags & IORING_CQE_F_MORE) == 0) ended = true;
        // A kernel that knows no lasting poll refuses it at once.
        if (c.res < 0 && c.res != -ECANCELED) failed = true;
    }
    __atomic_store_n(cqHead_, head, __ATOMIC_RELEASE);
    if (failed || (ended && !Arm())) {
        // The ring cannot watch: the next questions go to an epoll set.
        Stop();
        WatchWithoutRing();
    }
    return true;
}

}  // namespace tarnwick::platform::x11
