#pragma once

#include "foundation/Forward.h"
#include "runtime/ClassDefinition.h"

#include <string>
#include <string_view>

enum UIUserInterfaceIdiom : NSInteger {
    UIUserInterfaceIdiomPhone = 0,
    UIUserInterfaceIdiomPad = 1,
};

// The device the process runs on. What kind of device it is can be set by a
// host or a test, which simulate phones and tablets of two system
// generations; by default it is a phone running "7.0".
class UIDevice : public NSObject {
    QX_OBJECT(UIDevice, NSObject)
public:
    static UIDevice* currentDevice();

    Ref<NSString> systemVersion() const;
    NSInteger userInterfaceIdiom() const { return idiom_; }

    void setSystemVersion(std::string_view version) { systemVersion_ = version; }
    // Any value, not only phone and pad: an unknown idiom is neither.
    void setUserInterfaceIdiom(NSInteger idiom) { idiom_ = idiom; }
    // An older device does not answer `userInterfaceIdiom` at all:
    // `respondsToSelector:` then says no for it.
    void setAnswersUserInterfaceIdiom(bool answers) { answersIdiom_ = answers; }
    bool answersUserInterfaceIdiom() const { return answersIdiom_; }

protected:
    UIDevice() = default;

private:
    std::string systemVersion_ = "7.0";
    NSInteger idiom_ = UIUserInterfaceIdiomPhone;
    bool answersIdiom_ = true;
};
