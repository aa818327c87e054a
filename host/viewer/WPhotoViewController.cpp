#include "viewer/WPhotoViewController.h"

#include "foundation/NSNull.h"

QX_DEFINE_CLASS(WPhotoViewController)
{
    b.method<&WPhotoViewController::navigationButtonItemsForMode>("_navigationButtonItemsForMode:");
    b.method<&WPhotoViewController::rebuildBars>("_rebuildBars");
    b.method("dealloc", [](WPhotoViewController* self) { objc::sendSuper(self, "dealloc"); });
}

Ref<NSArray> WPhotoViewController::navigationButtonItemsForMode(NSInteger)
{
    return NSArray::arrayWithObjects({
        UIBarButtonItem::itemWithSystemItem(UIBarButtonSystemItemAction, this, "shareItemClicked:"),
        Ref<NSObject>(NSNull::null()),
        UIBarButtonItem::itemWithSystemItem(UIBarButtonSystemItemTrash, this, "deleteImageClicked:"),
    });
}

void WPhotoViewController::rebuildBars()
{
    navigationItem()->setLeftBarButtonItem(closeItem());
    // Whatever the message answers is the bar, so a library that replaces it
    // decides what the bar shows.
    auto* items = send<NSArray*>("_navigationButtonItemsForMode:", mode_);
    std::vector<Ref<UIBarButtonItem>> bar;
    if (items) {
        for (const auto& object : *items) {
            if (auto* item = objc_cast<UIBarButtonItem>(object.get()))
                bar.emplace_back(item);
            else
                bar.push_back(UIBarButtonItem::itemWithSystemItem(UIBarButtonSystemItemFixedSpace, nullptr, {}));
        }
    }
    auto right = arrayOfBarItems(bar);
    navigationItem()->setRightBarButtonItems(right);
}
