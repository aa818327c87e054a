#include "runtime/AutoreleasePool.h"

#include "runtime/NSObject.h"

namespace {

// Releases every object of the list. A release may autorelease more objects
// into the same list, so it goes on until the list stays empty.
void releaseAll(std::vector<id>& objects)
{
    while (!objects.empty()) {
        auto batch = std::move(objects);
        objects.clear();
        for (id object : batch)
            object->release();
    }
}

// Catches objects autoreleased outside any pool and releases them when the
// thread ends.
struct ThreadRootPool {
    std::vector<id> objects;
    ~ThreadRootPool() { releaseAll(objects); }
};

thread_local AutoreleasePool* t_current = nullptr;
thread_local ThreadRootPool t_root;

} // namespace

AutoreleasePool::AutoreleasePool()
    : outer_(t_current)
{
    t_current = this;
}

AutoreleasePool::~AutoreleasePool()
{
    drain();
    t_current = outer_;
}

// In the order they came; objects autoreleased by a release join the end
// and go in their turn.
void AutoreleasePool::drain()
{
    for (size_t i = 0; i < inPlaceCount_; ++i)
        inPlace_[i]->release();
    for (size_t i = 0; i < more_.size(); ++i)
        more_[i]->release();
    inPlaceCount_ = 0;
    more_.clear();
}

void AutoreleasePool::add(id object)
{
    if (!object)
        return;
    AutoreleasePool* pool = t_current;
    if (!pool)
        t_root.objects.push_back(object);
    else if (pool->inPlaceCount_ < kInPlace)
        pool->inPlace_[pool->inPlaceCount_++] = object;
    else
        pool->more_.push_back(object);
}
