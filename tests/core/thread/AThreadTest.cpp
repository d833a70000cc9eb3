#include "core/thread/AThread.h"

#include "core/platform/sync/ThreadScheduling.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// Waits on its stop event, counting runs and interrupts.
class WaitingThread : public AThread {
public:
    ~WaitingThread() override { Stop(); }

    int Run() override {
        stopSetAtStart = GetStopEvent().IsSet();
        ++runs; // after the look at the event, so a waiter on `runs` sees it
        GetStopEvent().Wait();
        return 7;
    }

    std::atomic<int> runs{0};
    std::atomic<int> interrupts{0};
    std::atomic<bool> stopSetAtStart{false};

protected:
    void Interrupt() override { ++interrupts; }
};

// Runs a given body once per start.
class BodyThread : public AThread {
public:
    explicit BodyThread(std::function<void(BodyThread&)> body) : m_body(std::move(body)) {}
    ~BodyThread() override { Stop(); }
    using AThread::SetBatchScheduling;
    using AThread::SetStackSize;
    int Run() override {
        m_body(*this);
        return 0;
    }

private:
    std::function<void(BodyThread&)> m_body;
};

// Blocks in recv() on a socket, which the stop event alone cannot wake; Interrupt shuts the socket down.
class SocketThread : public AThread {
public:
    SocketThread() { EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, m_sockets), 0); }
    ~SocketThread() override {
        Stop();
        ::close(m_sockets[0]);
        ::close(m_sockets[1]);
    }
    int Run() override {
        started.set_value();
        char byte;
        received = ::recv(m_sockets[0], &byte, 1, 0);
        return 0;
    }

    std::promise<void> started;
    std::atomic<ssize_t> received{-2};

protected:
    void Interrupt() override { ::shutdown(m_sockets[0], SHUT_RDWR); }

private:
    int m_sockets[2] = {-1, -1};
};

void WaitUntilFinished(const AThread& thread) {
    while (thread.IsRunning()) {
        std::this_thread::yield();
    }
}

TEST(AThread, StopOnANeverStartedThreadDoesNothing) {
    WaitingThread thread;
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_TRUE(thread.Stop());
    EXPECT_EQ(thread.interrupts, 0);
    EXPECT_EQ(thread.runs, 0);
}

TEST(AThread, StopWakesTheStopEventAndInterrupts) {
    WaitingThread thread;
    ASSERT_TRUE(thread.Start());
    EXPECT_TRUE(thread.IsRunning());
    EXPECT_FALSE(thread.Start()); // still running
    EXPECT_TRUE(thread.Stop());
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_EQ(thread.runs, 1);
    EXPECT_EQ(thread.interrupts, 1);
    EXPECT_FALSE(thread.GetStopEvent().IsSet()); // reset for the next start
}

TEST(AThread, InterruptWakesABlockingCall) {
    SocketThread thread;
    ASSERT_TRUE(thread.Start());
    thread.started.get_future().wait();
    EXPECT_TRUE(thread.Stop());
    EXPECT_EQ(thread.received, 0); // recv ended by the shutdown, not by data
}

TEST(AThread, RestartsAfterStopWithAClearedEvent) {
    WaitingThread thread;
    for (int round = 1; round <= 3; ++round) {
        ASSERT_TRUE(thread.Start());
        while (thread.runs < round) { // let Run() look at the event before stopping it
            std::this_thread::yield();
        }
        thread.Stop();
        EXPECT_FALSE(thread.stopSetAtStart);
    }
}

TEST(AThread, StartJoinsAnEarlierThreadThatEndedOnItsOwn) {
    std::atomic<int> runs{0};
    BodyThread thread([&](BodyThread&) { ++runs; });
    for (int round = 1; round <= 3; ++round) {
        ASSERT_TRUE(thread.Start()); // the previous std::thread is still joinable here
        WaitUntilFinished(thread);
        EXPECT_EQ(runs, round);
    }
}

TEST(AThread, StopFromTheThreadItselfDoesNotDeadlock) {
    std::promise<bool> result;
    BodyThread thread([&](BodyThread& self) {
        const bool stopped = self.Stop();
        result.set_value(stopped && self.GetStopEvent().IsSet());
    });
    ASSERT_TRUE(thread.Start());
    EXPECT_TRUE(result.get_future().get());
    EXPECT_TRUE(thread.Stop()); // the owner joins it
    EXPECT_FALSE(thread.IsRunning());
}

TEST(AThread, ConcurrentStopsJoinOnce) {
    WaitingThread thread;
    ASSERT_TRUE(thread.Start());
    std::vector<std::future<bool>> stoppers;
    for (int i = 0; i < 4; ++i) {
        stoppers.push_back(std::async(std::launch::async, [&] { return thread.Stop(); }));
    }
    for (auto& stopper : stoppers) {
        EXPECT_TRUE(stopper.get());
    }
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_EQ(thread.runs, 1);
}

TEST(AThread, RunsOnAStackOfTheAskedSize) {
    size_t size = 0;
    BodyThread thread([&](BodyThread&) {
        pthread_attr_t attributes;
        ASSERT_EQ(::pthread_getattr_np(::pthread_self(), &attributes), 0);
        ::pthread_attr_getstacksize(&attributes, &size);
        ::pthread_attr_destroy(&attributes);
    });
    thread.SetStackSize(384 * 1024);
    ASSERT_TRUE(thread.Start());
    thread.Stop();
    EXPECT_EQ(size, 384u * 1024);

    thread.SetStackSize(1); // below the system's least
    EXPECT_FALSE(thread.Start());
    EXPECT_FALSE(thread.IsRunning());
}

TEST(AThread, RunsAsABatchThreadOnlyWhenAsked) {
    bool batch = true;
    BodyThread thread([&](BodyThread&) { batch = Vuxo::IsCallingThreadBatch(); });
    ASSERT_TRUE(thread.Start());
    thread.Stop();
    EXPECT_FALSE(batch);

    thread.SetBatchScheduling(true);
    ASSERT_TRUE(thread.Start());
    thread.Stop();
    EXPECT_TRUE(batch);
    EXPECT_FALSE(Vuxo::IsCallingThreadBatch()); // the starting thread keeps its own policy
}

} // namespace
