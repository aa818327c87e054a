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

void AutoreleasePool::drain() { releaseAll(objects_); }

void AutoreleasePool::add(id object)
{
    if (!object)
        return;
    if (t_current)
        t_current->objects_.push_back(object);
    else
        t_root.objects.push_back(object);
}
