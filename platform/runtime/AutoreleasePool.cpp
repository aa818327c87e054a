#include "runtime/AutoreleasePool.h"

#include "runtime/NSObject.h"

namespace {

// Catches objects autoreleased outside any pool and releases them when the
// thread ends.
struct ThreadRootPool {
    std::vector<id> objects;
    ~ThreadRootPool()
    {
        while (!objects.empty()) {
            auto batch = std::move(objects);
            objects.clear();
            for (id object : batch)
                object->release();
        }
    }
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

void AutoreleasePool::drain()
{
    // A release may autorelease more objects into this pool; keep going until it is empty.
    while (!objects_.empty()) {
        auto batch = std::move(objects_);
        objects_.clear();
        for (id object : batch)
            object->release();
    }
}

void AutoreleasePool::add(id object)
{
    if (!object)
        return;
    if (t_current)
        t_current->objects_.push_back(object);
    else
        t_root.objects.push_back(object);
}
