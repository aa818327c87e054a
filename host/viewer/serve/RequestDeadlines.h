#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>
#include <thread>

namespace viewer {

// Closes connections that take too long to send a request. The idle timeout
// of the server only sees silence, so a client that trickles a byte every few
// seconds would keep its connection, and enough of them every slot. Each
// request must arrive whole within `limit` of the moment the connection
// became ready for it (opened, or the last answer sent); time spent waiting
// for the server's answer does not count.
//
// It also keeps room for the page: once more than `maxWaiting` connections
// wait for a request, or more than `maxOpen` are open at all, each new one
// pushes out the one that has waited longest for its request, so idle
// sockets cannot take every slot the server has, however many others are
// busy sending answers.
//
// The server's thread reports; a thread of its own shuts late sockets down
// (the server then sees them end and closes them as usual).
class RequestDeadlines {
public:
    using Clock = std::chrono::steady_clock;

    RequestDeadlines(std::chrono::seconds limit, size_t maxWaiting, size_t maxOpen);
    ~RequestDeadlines();
    RequestDeadlines(const RequestDeadlines&) = delete;
    RequestDeadlines& operator=(const RequestDeadlines&) = delete;

    // `connection` identifies a connection while it is open; `fd` its socket.
    void opened(const void* connection, int fd);
    void requestArrived(const void* connection); // the clock stops
    void answered(const void* connection); // the clock starts again
    // Before its socket is closed, so a reused descriptor is never shut down.
    void closed(const void* connection);

private:
    struct Entry {
        int fd;
        bool waiting; // for the client's request
        Clock::time_point since;
    };
    void watch();

    const std::chrono::seconds limit_;
    const size_t maxWaiting_;
    const size_t maxOpen_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::map<const void*, Entry> connections_;
    std::thread watcher_;
};

} // namespace viewer
