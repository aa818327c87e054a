#pragma once

#include "runtime/ClassDefinition.h"

#include <string_view>

// User-defaults keys of the three settings; each holds a boolean, absent reads false.
inline constexpr std::string_view kQuorixMapViewRetrieveAddressKey = "quorix_mapview_retrieveaddress";
inline constexpr std::string_view kQuorixMapsAppQueryLocationKey = "quorix_mapsapp_querylocation";
inline constexpr std::string_view kQuorixStampEnabledKey = "quorix_stamp_enabled";

// Posted on the default centre, with no object, whenever the stamp setting is set.
inline constexpr std::string_view kStampSettingsChangedNotification = "StampSettingsChangedNotification";

// The process-wide settings store. It keeps the user's boolean settings in the
// host application's standard user defaults, announces every change of the
// stamp setting, and holds the objects the viewer integration shares between
// host controllers (the Info item, its popover and a view slot).
class Quorix : public NSObject {
    QX_OBJECT(Quorix, NSObject)
public:
    // Created on the first call, from the saved settings, and never destroyed.
    static Quorix* sharedQuorix();
    // The class method's body: the first caller's class decides the store's class.
    static Quorix* sharedQuorixOfClass(Class cls);

    id infoItem() const { return infoItem_.get(); }
    void setInfoItem(id item) { infoItem_ = item; }
    id popoverController() const { return popoverController_.get(); }
    void setPopoverController(id controller) { popoverController_ = controller; }
    id stampView() const { return stampView_.get(); }
    void setStampView(id view) { stampView_ = view; }

    bool mapViewRetrieveAddressEnabled() const { return mapViewRetrieveAddressEnabled_; }
    bool mapsAppQueryLocationEnabled() const { return mapsAppQueryLocationEnabled_; }
    bool stampEnabled() const { return stampEnabled_; }

    // Each setter stores the value and saves the defaults at once, also when
    // the value is unchanged; the stamp setter then posts
    // kStampSettingsChangedNotification, so observers see the new value
    // before it returns.
    void setMapViewRetrieveAddressEnabled(bool enabled);
    void setMapsAppQueryLocationEnabled(bool enabled);
    void setStampEnabled(bool enabled);

    // Whether the save made by the last setter reached the disk. The store
    // itself never reports a failed save; a program that sets a value for a
    // person asks here.
    bool lastSaveSucceeded() const { return lastSaveSucceeded_; }
    // Why that save failed, as an errno value; 0 when it succeeded.
    int lastSaveError() const { return lastSaveError_; }

protected:
    Quorix() = default;

private:
    void save(bool enabled, std::string_view key);

    bool mapViewRetrieveAddressEnabled_ = false;
    bool mapsAppQueryLocationEnabled_ = false;
    bool stampEnabled_ = false;
    Ref<NSObject> infoItem_;
    Ref<NSObject> popoverController_;
    Ref<NSObject> stampView_;
    bool lastSaveSucceeded_ = true;
    int lastSaveError_ = 0;
};
