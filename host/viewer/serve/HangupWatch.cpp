#include "viewer/serve/HangupWatch.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>

namespace viewer {

HangupWatch::HangupWatch()
    : epoll_(::epoll_create1(EPOLL_CLOEXEC))
    , wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (epoll_ < 0 || wake_ < 0)
        return;
    epoll_event event {};
    event.events = EPOLLIN;
    event.data.u64 = 0; // no watched socket has this id
    if (::epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &event) == 0)
        thread_ = std::thread([this] { run(); });
}

HangupWatch::~HangupWatch()
{
    if (thread_.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] auto written = ::write(wake_, &one, sizeof one);
        thread_.join();
    }
    if (wake_ >= 0)
        ::close(wake_);
    if (epoll_ >= 0)
        ::close(epoll_);
}

HangupWatch::Id HangupWatch::watch(int fd, std::function<void()> gone)
{
    if (!thread_.joinable())
        return 0;
    std::lock_guard guard(lock_);
    const Id id = next_++;
    epoll_event event {};
    // Only the hang-up: bytes of a next request may wait unread meanwhile.
    event.events = EPOLLRDHUP;
    event.data.u64 = id;
    if (::epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event) != 0)
        return 0;
    watched_[id] = { fd, std::move(gone) };
    return id;
}

void HangupWatch::forget(Id id)
{
    std::lock_guard guard(lock_);
    if (auto found = watched_.find(id); found != watched_.end()) {
        ::epoll_ctl(epoll_, EPOLL_CTL_DEL, found->second.fd, nullptr);
        watched_.erase(found);
    }
}

void HangupWatch::run()
{
    epoll_event events[64];
    for (;;) {
        const int count = ::epoll_wait(epoll_, events, 64, -1);
        if (count < 0 && errno != EINTR)
            return;
        for (int i = 0; i < count; ++i) {
            const Id id = events[i].data.u64;
            if (id == 0)
                return; // the watch is being destroyed
            std::function<void()> gone;
            {
                std::lock_guard guard(lock_);
                auto found = watched_.find(id);
                if (found == watched_.end())
                    continue; // forgotten meanwhile
                ::epoll_ctl(epoll_, EPOLL_CTL_DEL, found->second.fd, nullptr);
                gone = std::move(found->second.gone);
                watched_.erase(found);
            }
            gone();
        }
    }
}

} // namespace viewer
