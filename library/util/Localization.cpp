#include "util/Localization.h"

#include "foundation/NSBundle.h"
#include "runtime/MixedSlot.h"

#include <array>
#include <cstdint>
#include <mutex>

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
};

// A literal's address picks a pair of slots; a new label takes the pair's
// first slot, whose entry moves to the second.
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
    // Room for every label of the table several times over, so that two
    // labels seldom share a pair and none is looked up afresh per photo.
    static constexpr unsigned kSlotBits = 10;

    Ref<NSString> findUnlocked(QXLiteralKey key, QXLiteralKey fallback)
    {
        // Read before the lookup: a flush meanwhile leaves the slot stale, not wrong.
        const uint64_t generation = bundle_->localizationGeneration();
        const size_t first = objc::mixedSlot(reinterpret_cast<uintptr_t>(key.text().data()), kSlotBits) & ~size_t { 1 };
        for (size_t i = first; i < first + 2; ++i) {
            const RememberedLabel& slot = slots_[i];
            if (slot.key == key && slot.fallback == fallback && slot.generation == generation)
                return slot.text;
        }
        return remember(first, key, fallback, generation);
    }

    // Apart, so that a label found costs no more than the search.
    [[gnu::noinline]] Ref<NSString> remember(size_t first, QXLiteralKey key, QXLiteralKey fallback, uint64_t generation)
    {
        slots_[first + 1] = std::move(slots_[first]);
        slots_[first] = { key, fallback, generation, QXLocalizedString(key.text(), fallback.text()) };
        return slots_[first].text;
    }

    // The main bundle is made once and never replaced.
    NSBundle* const bundle_ = NSBundle::mainBundle();
    std::mutex lock_;
    std::array<RememberedLabel, size_t { 1 } << kSlotBits> slots_;
};

} // namespace

Ref<NSString> QXLocalizedLabel(QXLiteralKey key, QXLiteralKey fallback)
{
    // Never destroyed: labels may be asked for while the process exits.
    static auto* labels = new RememberedLabels;
    return labels->find(key, fallback);
}
