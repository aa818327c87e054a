#pragma once

#include "viewer/serve/FormData.h"

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>

namespace viewer {

// The bytes of answers waiting to be read, across every client: from the
// moment an answer is handed to the server until it is sent whole or its
// connection closes. A client that asks and never reads keeps its answer
// in memory meanwhile, so many of them could hold any amount; past `limit`,
// a new answer is refused (the server answers 503 instead, which costs
// nothing to keep). A piece several answers share (a thumbnail's text)
// counts once, as it is held once.
class UnreadAnswers {
public:
    explicit UnreadAnswers(size_t limit);

    // What one answer holds; released when the last copy is destroyed.
    using Hold = std::shared_ptr<void>;
    // Holds `pieces` when they fit beside those held already; none when
    // they do not. An answer larger than the whole limit fits only when
    // nothing else is held, so it can be sent at all.
    Hold hold(const BodyPieces& pieces);
    // True when no more fits: new work for such answers is refused.
    bool full() const;
    size_t bytes() const;

private:
    class Held;
    void release(const BodyPieces& pieces);

    const size_t limit_;
    mutable std::mutex lock_;
    std::map<const std::string*, size_t> holders_; // answers holding each piece
    size_t bytes_ = 0;
};

} // namespace viewer
