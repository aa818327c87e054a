#include "viewer/serve/UnreadAnswers.h"

namespace viewer {

// The pieces of one held answer: kept alive while counted, so a piece's
// address names it for as long as it is in the count.
class UnreadAnswers::Held {
public:
    Held(UnreadAnswers& owner, BodyPieces pieces)
        : owner_(owner)
        , pieces_(std::move(pieces))
    {
    }
    ~Held() { owner_.release(pieces_); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;

private:
    UnreadAnswers& owner_;
    BodyPieces pieces_;
};

UnreadAnswers::UnreadAnswers(size_t limit)
    : limit_(limit)
{
}

UnreadAnswers::Hold UnreadAnswers::hold(const BodyPieces& pieces)
{
    std::lock_guard guard(lock_);
    size_t added = 0;
    for (const auto& piece : pieces)
        if (!holders_.contains(piece.get()))
            added += piece->size();
    if (bytes_ + added > limit_ && bytes_ > 0)
        return nullptr;
    for (const auto& piece : pieces)
        if (holders_[piece.get()]++ == 0)
            bytes_ += piece->size();
    return std::make_shared<Held>(*this, pieces);
}

void UnreadAnswers::release(const BodyPieces& pieces)
{
    std::lock_guard guard(lock_);
    for (const auto& piece : pieces) {
        auto found = holders_.find(piece.get());
        if (--found->second == 0) {
            bytes_ -= piece->size();
            holders_.erase(found);
        }
    }
}

bool UnreadAnswers::full() const
{
    std::lock_guard guard(lock_);
    return bytes_ >= limit_;
}

size_t UnreadAnswers::bytes() const
{
    std::lock_guard guard(lock_);
    return bytes_;
}

} // namespace viewer
