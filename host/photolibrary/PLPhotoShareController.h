#pragma once

#include "uikit/UIViewController.h"

// The viewers' share sheet for the photo on screen. What this host can hand
// on is the photo's file, so its one action puts the file's path on the
// pasteboard. A phone shows it as a modal screen with Cancel; a tablet in a
// popover at the Share item.
class PLPhotoShareController : public UIViewController {
    QX_OBJECT(PLPhotoShareController, UIViewController)
public:
    static constexpr CGFloat popoverWidth = 320;
    static constexpr CGFloat popoverHeight = 150;

    PLPhotoShareController* initWithPhoto(NSObject* photo);

    void viewDidLoad();
    void copyFilePath(id sender);
    void cancel(id sender);

protected:
    PLPhotoShareController() = default;

private:
    void close();

    Ref<NSObject> photo_;
};
