// Room for the page among many connections: idle ones are pushed out,
// longest waiting first, once too many are open, whatever the busy ones do.
// Each connection is one end of a socket pair; the other end sees the
// server's shutdown as the end of its stream.

#include "viewer/serve/RequestDeadlines.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <vector>

namespace {

struct Peer {
    std::array<int, 2> fds {};
    Peer() { EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds.data()), 0); }
    ~Peer()
    {
        ::close(fds[0]);
        ::close(fds[1]);
    }
    // Whether the server's end was shut down: the client reads the end of its stream.
    bool cut() const
    {
        char byte;
        return recv(fds[1], &byte, 1, MSG_DONTWAIT) == 0;
    }
};

TEST(RequestDeadlines, IdleConnectionsMakeRoomOnceTooManyAreOpenEvenWhenMostAreBusy)
{
    constexpr size_t maxWaiting = 224, maxOpen = 240, busy = 40;
    viewer::RequestDeadlines deadlines(std::chrono::seconds(10), maxWaiting, maxOpen);
    std::vector<std::unique_ptr<Peer>> peers;
    auto open = [&] {
        peers.push_back(std::make_unique<Peer>());
        deadlines.opened(peers.back().get(), peers.back()->fds[0]);
    };
    // Busy ones: their requests arrived, their answers are being read slowly.
    for (size_t i = 0; i < busy; ++i) {
        open();
        deadlines.requestArrived(peers.back().get());
    }
    // Idle ones up to the limit: nobody is pushed out yet.
    while (peers.size() < maxOpen)
        open();
    for (const auto& peer : peers)
        EXPECT_FALSE(peer->cut());

    // One more: the idle one that has waited longest goes, no busy one.
    open();
    for (size_t i = 0; i < peers.size(); ++i)
        EXPECT_EQ(peers[i]->cut(), i == busy) << "connection " << i;
    // The server closes it; the next newcomer pushes out the next idle one.
    deadlines.closed(peers[busy].get());
    open();
    EXPECT_TRUE(peers[busy + 1]->cut());
    EXPECT_FALSE(peers[busy + 2]->cut());

    for (const auto& peer : peers)
        deadlines.closed(peer.get());
}

} // namespace
