#include "util/Localization.h"

#include "foundation/NSBundle.h"
#include "runtime/MixedSlot.h"

#include <bit>
#include <cstdint>
#include <mutex>
#include <vector>

#include <sys/single_threaded.h>

Ref<NSString> QXLocalizedString(std::string_view key, std::string_view fallback)
{
    return NSBundle::mainBundle()->localizedStringObject(key, fallback, "Quorix");
}

namespace {

struct RememberedLabel {
    QXLiteralKey key = "";
    QXLiteralKey fallback = "";
    uint64_t generation = 0;
    Ref<NSString> text;
    bool filled = false;
};

// Open addressing by the key literal's address, kept at most half full so a
// search ends at an empty slot soon. Labels are only ever added, so it grows
// with the labels a process uses: a few dozen for a photo's table, a few
// hundred at most, never a fixed table touched in full by a program that
// shows one photo.
class RememberedLabels {
public:
    Ref<NSString> find(QXLiteralKey key, QXLiteralKey fallback)
    {
        // While the process has one thread nothing else can reach the table;
        // once it has more, one lock guards it.
        if (__libc_single_threaded)
            return findUnlocked(key, fallback);
        std::lock_guard guard(lock_);
        return findUnlocked(key, fallback);
    }

private:
    static constexpr unsigned kFirstSlotBits = 7;

    Ref<NSString> findUnlocked(QXLiteralKey key, QXLiteralKey fallback)
    {
        // Read before the lookup: a flush meanwhile leaves the slot stale, not wrong.
        const uint64_t generation = bundle_->localizationGeneration();
        RememberedLabel& slot = slotFor(key, fallback);
        if (slot.filled && slot.generation == generation)
            return slot.text;
        return remember(slot, key, fallback, generation);
    }

    // The slot that holds this pair, or the empty one where it belongs.
    RememberedLabel& slotFor(QXLiteralKey key, QXLiteralKey fallback)
    {
        const size_t mask = slots_.size() - 1;
        const auto bits = static_cast<unsigned>(std::countr_zero(slots_.size()));
        for (size_t i = objc::mixedSlot(reinterpret_cast<uintptr_t>(key.text().data()), bits);; i = (i + 1) & mask) {
            RememberedLabel& slot = slots_[i];
            if (!slot.filled || (slot.key == key && slot.fallback == fallback))
                return slot;
        }
    }

    // Apart, so that a label found costs no more than the search.
    [[gnu::noinline]] Ref<NSString> remember(RememberedLabel& slot, QXLiteralKey key, QXLiteralKey fallback, uint64_t generation)
    {
        Ref<NSString> text = QXLocalizedString(key.text(), fallback.text());
        if (slot.filled) {
            // A flush made the slot stale: the pair keeps its place.
            slot.generation = generation;
            slot.text = text;
            return text;
        }
        slot = { key, fallback, generation, text, true };
        if (++filled_ * 2 > slots_.size())
            grow();
        return text;
    }

    void grow()
    {
        std::vector<RememberedLabel> old(slots_.size() * 2);
        old.swap(slots_);
        for (RememberedLabel& label : old) {
            if (label.filled)
                slotFor(label.key, label.fallback) = std::move(label);
        }
    }

    // The main bundle is made once and never replaced.
    NSBundle* const bundle_ = NSBundle::mainBundle();
    std::mutex lock_;
    size_t filled_ = 0;
    std::vector<RememberedLabel> slots_ = std::vector<RememberedLabel>(size_t { 1 } << kFirstSlotBits);
};

} // namespace

Ref<NSString> QXLocalizedLabel(QXLiteralKey key, QXLiteralKey fallback)
{
    // Never destroyed: labels may be asked for while the process exits.
    static auto* labels = new RememberedLabels;
    return labels->find(key, fallback);
}
