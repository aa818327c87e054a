#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace viewer {

// Tells when the client of a request that waits for its answer has gone.
// The server does not read a connection whose request waits (suspended), so
// a browser that abandons a request (it closes the connection) would go
// unnoticed until the answer is sent: its socket would linger half closed
// and the work for it would go on. A thread of its own waits, through
// epoll, for the other end of each watched socket to hang up (close the
// connection or its sending side, or reset it).
class HangupWatch {
public:
    using Id = std::uint64_t;

    HangupWatch();
    ~HangupWatch();
    HangupWatch(const HangupWatch&) = delete;
    HangupWatch& operator=(const HangupWatch&) = delete;

    // Calls `gone` once, on the watch's thread, when the other end of `fd`
    // hangs up, unless forget(id) comes first; the socket must stay open
    // until then. 0 when it cannot be watched (`gone` is never called).
    Id watch(int fd, std::function<void()> gone);
    // Stops watching; once it returns, `gone` is not called any more unless
    // it was already under way.
    void forget(Id id);

private:
    void run();

    struct Entry {
        int fd;
        std::function<void()> gone;
    };
    int epoll_ = -1;
    int wake_ = -1; // an eventfd that ends the thread
    std::mutex lock_;
    std::map<Id, Entry> watched_;
    Id next_ = 1;
    std::thread thread_;
};

} // namespace viewer
