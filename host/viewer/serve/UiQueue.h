#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace viewer {

// Runs UI tasks one after another on a thread of its own, each handed to
// the main run loop and waited for there: a command never runs inside
// another one's settling, and the server's thread never waits.
class UiQueue {
public:
    UiQueue();
    ~UiQueue();
    UiQueue(const UiQueue&) = delete;
    UiQueue& operator=(const UiQueue&) = delete;

    void push(std::function<void()> task);
    // Drops the tasks not yet begun and waits for the one under way.
    void stop();

private:
    void run();

    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace viewer
