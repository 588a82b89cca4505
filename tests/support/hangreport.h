// A test that hangs says where, before the runner's timeout kills it with nothing to read: after
// `after`, the windows open (a modal one left unanswered is the usual cause, and is then closed so
// that the test fails rather than waits) and, if the GUI thread does not answer, its stack. A test
// process that crashes prints the crashing thread's stack.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <pthread.h>
#include <thread>

namespace ostrel::testing {

class HangReport : public ::testing::EmptyTestEventListener {
public:
    explicit HangReport(std::chrono::seconds after);
    ~HangReport() override;

private:
    void OnTestStart(const ::testing::TestInfo&) override { step(); }
    void OnTestEnd(const ::testing::TestInfo&) override { step(); }
    void step();
    void watch();

    const std::chrono::seconds after_;
    const pthread_t gui_;
    std::mutex mutex_;
    std::condition_variable changed_;
    unsigned long long test_ = 0; // counts the tests started; odd while one runs
    bool ending_ = false;
    std::thread watcher_;
};

} // namespace ostrel::testing
