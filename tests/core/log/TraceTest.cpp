#include "core/log/Trace.h"
#include "core/log/TraceBatch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Captured {
    std::vector<std::pair<int, std::string>> lines;
};

void Capture(void* context, int level, const char* text) {
    static_cast<Captured*>(context)->lines.emplace_back(level, text);
}

class TraceTest : public testing::Test {
protected:
    void SetUp() override { Vuxo::SetTraceCallback(&Capture, &captured); }
    void TearDown() override {
        Vuxo::SetTraceCallback(nullptr, nullptr);
        Vuxo::SetTraceMask(0x7FFFFFFF);
    }
    Captured captured;
};

TEST_F(TraceTest, MaskFiltersByLevelBit) {
    EXPECT_EQ(Vuxo::GetTraceMask(), 0x7FFFFFFFu); // every level on at start
    Vuxo::SetTraceMask(0x7FFFFFFE);
    EXPECT_EQ(Vuxo::GetTraceMask(), 0x7FFFFFFEu);
    for (int level : {Vuxo::LOG_DEBUG, Vuxo::LOG_INFO, Vuxo::LOG_ERROR, Vuxo::LOG_WARNING, Vuxo::LOG_NOTICE,
                      Vuxo::LOG_ALERT}) {
        Vuxo::Trace(level, "level %d", level);
    }
    Vuxo::SetTraceMask(Vuxo::LOG_ALERT | Vuxo::LOG_ERROR);
    Vuxo::Trace(Vuxo::LOG_INFO, "dropped");
    Vuxo::Trace(Vuxo::LOG_ERROR | Vuxo::LOG_INFO, "kept: %s", "any matching bit");
    const std::vector<std::pair<int, std::string>> expected = {
        {2, "level 2"},   {4, "level 4"},   {8, "level 8"},
        {16, "level 16"}, {32, "level 32"}, {6, "kept: any matching bit"}};
    EXPECT_EQ(captured.lines, expected);
}

TEST_F(TraceTest, TruncatesAt1023BytesWithoutSplittingACharacter) {
    const std::string korean = "\xEA\xB0\x80"; // a three-byte UTF-8 character
    struct Case {
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        {std::string(2000, 'x'), std::string(1023, 'x')},
        {std::string(1023, 'y'), std::string(1023, 'y')},
        {std::string(1021, 'a') + korean, std::string(1021, 'a')},                // cut after 2 of 3 bytes
        {std::string(1022, 'a') + korean, std::string(1022, 'a')},                // cut after 1 of 3 bytes
        {std::string(1020, 'a') + korean + "b", std::string(1020, 'a') + korean}, // ends exactly on it
    };
    for (const Case& c : cases) {
        captured.lines.clear();
        Vuxo::Trace(Vuxo::LOG_NOTICE, "%s", c.text.c_str());
        ASSERT_EQ(captured.lines.size(), 1u);
        EXPECT_EQ(captured.lines[0].second, c.expected) << c.text.size();
    }
}

TEST_F(TraceTest, NoCallbackDiscardsTexts) {
    Vuxo::SetTraceCallback(nullptr, &captured);
    Vuxo::Trace(Vuxo::LOG_ALERT, "lost");
    Vuxo::SetTraceCallback(&Capture, &captured);
    Vuxo::Trace(Vuxo::LOG_ALERT, "seen");
    ASSERT_EQ(captured.lines.size(), 1u);
    EXPECT_EQ(captured.lines[0].second, "seen");
}

// A context that is freed right after its callback is replaced; it must never be touched afterwards.
struct Sink {
    static constexpr unsigned kAlive = 0x5157AB1E;
    std::atomic<unsigned> magic{kAlive};
    std::atomic<long> calls{0};
};

std::atomic<long> g_deadContextCalls{0};

void CountInto(void* context, int, const char*) {
    auto* sink = static_cast<Sink*>(context);
    ++sink->calls;
    std::this_thread::yield(); // stay inside the callback a while, as a real one writing a file does
    if (sink->magic.load() != Sink::kAlive) {
        ++g_deadContextCalls;
    }
}

void CountNothing(void*, int, const char*) {}

TEST_F(TraceTest, CallbackChangesSafelyWhileThreadsLog) {
    Vuxo::SetTraceCallback(&CountNothing, nullptr);
    std::atomic<bool> done{false};
    std::atomic<int> logging{0};
    std::vector<std::thread> loggers;
    for (int t = 0; t < 8; ++t) {
        loggers.emplace_back([&, t] {
            Vuxo::Trace(Vuxo::LOG_INFO, "thread %d", t);
            ++logging;
            while (!done.load()) {
                Vuxo::Trace(Vuxo::LOG_INFO, "thread %d", t);
            }
        });
    }
    // Every logger runs before the switching starts (threads start slowly in the sanitizer build), and the
    // switching goes on until some entry reached a sink, within a bound.
    while (logging.load() < 8) {
        std::this_thread::yield();
    }
    long delivered = 0;
    for (int round = 0; round < 100 || (delivered == 0 && round < 100000); ++round) {
        auto sink = std::make_unique<Sink>();
        Vuxo::SetTraceCallback(&CountInto, sink.get());
        std::this_thread::yield();
        Vuxo::SetTraceCallback(&CountNothing, nullptr);
        delivered += sink->calls.load();
        sink->magic = 0; // from here on, any use of this context is a use after release
    }
    done = true;
    for (auto& logger : loggers) {
        logger.join();
    }
    EXPECT_EQ(g_deadContextCalls.load(), 0);
    EXPECT_GT(delivered, 0);
}

} // namespace

namespace {

struct Batches {
    std::vector<std::vector<std::pair<int, std::string>>> deliveries;
};

void CaptureBatch(void* context, const Vuxo::TraceEntry* entries, size_t count) {
    auto& delivery = static_cast<Batches*>(context)->deliveries.emplace_back();
    for (size_t i = 0; i < count; ++i) {
        delivery.emplace_back(entries[i].level, std::string(entries[i].text));
    }
}

void Unexpected(void*, int, const char* text) {
    ADD_FAILURE() << "delivered alone: " << text;
}

} // namespace

TEST(TraceBatchTest, HeldEntriesArriveTogetherInOrderWhenTheOutermostBatchEndsOrIsDeliveredEarly) {
    Batches batches;
    Vuxo::SetTraceCallbacks(&Unexpected, &CaptureBatch, &batches);
    {
        const Vuxo::TraceBatch outer;
        Vuxo::Trace(Vuxo::LOG_INFO, "one %d", 1);
        {
            const Vuxo::TraceBatch inner;
            Vuxo::Trace(Vuxo::LOG_ERROR, "two");
        }
        EXPECT_TRUE(batches.deliveries.empty()); // the inner end delivers nothing
        Vuxo::TraceBatch::DeliverHeld();         // as before a send
        Vuxo::Trace(Vuxo::LOG_NOTICE, "three");
    }
    Vuxo::TraceBatch::DeliverHeld(); // nothing held: nothing delivered
    using Lines = std::vector<std::pair<int, std::string>>;
    ASSERT_EQ(batches.deliveries.size(), 2u);
    EXPECT_EQ(batches.deliveries[0], (Lines{{Vuxo::LOG_INFO, "one 1"}, {Vuxo::LOG_ERROR, "two"}}));
    EXPECT_EQ(batches.deliveries[1], (Lines{{Vuxo::LOG_NOTICE, "three"}}));

    // A callback without a batch callback gets them one by one, in order.
    Captured single;
    Vuxo::SetTraceCallback(&Capture, &single);
    {
        const Vuxo::TraceBatch batch;
        Vuxo::Trace(Vuxo::LOG_INFO, "a");
        Vuxo::Trace(Vuxo::LOG_INFO, "b");
        EXPECT_TRUE(single.lines.empty());
    }
    Vuxo::SetTraceCallback(nullptr, nullptr);
    EXPECT_EQ(single.lines, (Lines{{Vuxo::LOG_INFO, "a"}, {Vuxo::LOG_INFO, "b"}}));
}
