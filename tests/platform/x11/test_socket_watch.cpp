// The watch that tells the idle call whether the X connection's socket has
// something to read, on a socket pair: each way of watching (the ring, where
// the kernel has io_uring, and the epoll set) sees data come, forgets it
// once answered, sees the peer hang up, and the ring goes on seeing data
// after the thread that armed its poll has ended.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/x11/SocketWatch.h"

namespace {

using tarnwick::platform::x11::SocketWatch;

struct Pair {
    int ours = -1, peer = -1;
    Pair() {
        int fds[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0)
            ours = fds[0], peer = fds[1];
    }
    ~Pair() {
        if (ours >= 0) close(ours);
        if (peer >= 0) close(peer);
    }
    void Send() { ASSERT_EQ(send(peer, "x", 1, MSG_DONTWAIT), 1); }
    // Reads everything there is, at least a byte.
    void Drain() {
        char c[64];
        ssize_t got = 0, n;
        while ((n = recv(ours, c, sizeof c, MSG_DONTWAIT)) > 0) got += n;
        ASSERT_GT(got, 0);
    }
};

// What every way of watching must do.
void SeesDataComeAndTheHangUp(SocketWatch& watch, Pair& pair) {
    EXPECT_FALSE(watch.MayBeReadable()) << "nothing was sent";
    pair.Send();
    EXPECT_TRUE(watch.MayBeReadable());
    pair.Drain();
    EXPECT_FALSE(watch.MayBeReadable()) << "read to its end, and nothing came since";
    EXPECT_FALSE(watch.MayBeReadable());
    pair.Send();
    pair.Send();
    EXPECT_TRUE(watch.MayBeReadable());
    pair.Drain();
    EXPECT_FALSE(watch.MayBeReadable());
    // A host that has not idled for a while: more wake-ups than the queue
    // holds. The watch still answers, and goes on watching.
    for (int i = 0; i < 100; ++i) pair.Send();
    EXPECT_TRUE(watch.MayBeReadable());
    pair.Drain();
    watch.MayBeReadable();  // what was read may answer once more
    EXPECT_FALSE(watch.MayBeReadable());
    pair.Send();
    EXPECT_TRUE(watch.MayBeReadable()) << "still watching after the queue ran over";
    pair.Drain();
    close(pair.peer);
    pair.peer = -1;
    EXPECT_TRUE(watch.MayBeReadable()) << "the peer hung up";
}

TEST(SocketWatch, EachWaySeesDataComeForgetsItOnceAnsweredAndSeesTheHangUp) {
    {
        SCOPED_TRACE("the way the kernel allows");
        Pair pair;
        ASSERT_GE(pair.ours, 0);
        SocketWatch watch;
        watch.Watch(pair.ours);
        if (watch.Using() != SocketWatch::Kind::Ring)
            std::printf("io_uring is not available here: the epoll set watches\n");
        SeesDataComeAndTheHangUp(watch, pair);
    }
    {
        SCOPED_TRACE("without io_uring");
        setenv("TARNWICK_NO_IO_URING", "1", 1);
        Pair pair;
        SocketWatch watch;
        watch.Watch(pair.ours);
        unsetenv("TARNWICK_NO_IO_URING");
        EXPECT_EQ(watch.Using(), SocketWatch::Kind::Epoll);
        SeesDataComeAndTheHangUp(watch, pair);
        // Watching again, or stopping, lets go of the set.
        watch.Watch(pair.ours);
        watch.Stop();
        EXPECT_EQ(watch.Using(), SocketWatch::Kind::Unwatched);
    }
}

// A host may open the editor on a thread that ends: the kernel then cancels
// the poll that thread armed, and the watch must arm it again, not go deaf.
TEST(SocketWatch, TheRingArmedOnAThreadThatEndedStillSeesData) {
    Pair pair;
    SocketWatch watch;
    std::thread([&] { watch.Watch(pair.ours); }).join();
    if (watch.Using() != SocketWatch::Kind::Ring) {
        std::printf("SKIPPED: io_uring is not available here\n");
        return;
    }
    // The data wakes a poll whose thread is gone: the kernel cancels it a
    // moment later. The cancellation answers, and the poll armed again from
    // this thread finds the data already there: a second answer for what
    // was read (an answer may come when nothing came), then quiet.
    pair.Send();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(watch.MayBeReadable());
    pair.Drain();
    watch.MayBeReadable();
    EXPECT_FALSE(watch.MayBeReadable());
    pair.Send();
    EXPECT_TRUE(watch.MayBeReadable()) << "the poll was armed again";
    EXPECT_EQ(watch.Using(), SocketWatch::Kind::Ring);
}

}  // namespace
