// Callbacks handed from worker threads to the thread of a Qt object.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>
#include <QThread>

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/GuiThreadPoster.h"
#include "support/QtEventually.h"
#include "support/QtTestApp.h"

namespace {

using namespace std::chrono_literals;

TEST(GuiThreadPoster, CallbacksFromWorkersRunOnTheContextThreadInPostingOrder) {
    tavrin::test::QtTestApp();
    QObject context;
    constexpr int Workers = 4;
    constexpr int PerWorker = 500;
    std::mutex lock;
    std::vector<std::vector<int>> seen(Workers);
    int offThread = 0;
    {
        std::vector<std::jthread> workers;
        for (int w = 0; w < Workers; ++w)
            workers.emplace_back([&, w, post = GuiThreadPoster(&context)] {
                for (int i = 0; i < PerWorker; ++i)
                    post([&, w, i] {
                        std::lock_guard guard(lock);
                        seen[w].push_back(i);
                        offThread += QThread::currentThread() != context.thread();
                    });
            });
    }
    ASSERT_TRUE(tavrin::test::EventuallyWithEvents(
        [&] {
            std::lock_guard guard(lock);
            for (const auto& calls : seen)
                if (calls.size() < PerWorker) return false;
            return true;
        },
        10s));
    std::vector<int> expected(PerWorker);
    for (int i = 0; i < PerWorker; ++i) expected[i] = i;
    for (const auto& calls : seen) EXPECT_EQ(calls, expected);
    EXPECT_EQ(offThread, 0);
}

TEST(GuiThreadPoster, PostersOfOneContextShareItsOrderAndNeverRunInline) {
    tavrin::test::QtTestApp();
    QObject context;
    const auto first = GuiThreadPoster(&context);
    const auto second = GuiThreadPoster(&context);
    std::vector<int> ran;
    first([&] { ran.push_back(1); });
    second([&] { ran.push_back(2); });
    first([&] { ran.push_back(3); });
    EXPECT_TRUE(ran.empty());
    ASSERT_TRUE(tavrin::test::EventuallyWithEvents([&] { return ran.size() == 3; }, 10s));
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
}

TEST(GuiThreadPoster, CallbacksStillQueuedGoUnrunWithTheirContext) {
    tavrin::test::QtTestApp();
    auto held = std::make_shared<int>(0);
    bool ran = false;
    {
        QObject context;
        const auto post = GuiThreadPoster(&context);
        std::thread([&, post] { post([&ran, held] { ran = true; }); }).join();
        EXPECT_EQ(held.use_count(), 2);
    }
    EXPECT_EQ(held.use_count(), 1);  // the callback was destroyed with the context
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
}

}  // namespace
