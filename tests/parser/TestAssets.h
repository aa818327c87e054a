#pragma once

#include "corelocation/CLLocation.h"
#include "foundation/NSDate.h"
#include "foundation/NSNumber.h"
#include "foundation/NSString.h"

// Stand-ins for the host's asset, answering the asset messages from fields a
// test sets. The parser looks the size declarations up on the class named
// PLManagedAsset; this one declares "width"/"height" as number objects and
// "originalWidth"/"originalHeight" as integers, so one parse exercises both
// kinds of size row. It answers `date` and `dateCreated` (in that order of
// probing); the date-probe classes below answer fewer.
class PLManagedAsset : public NSObject {
    QX_OBJECT(PLManagedAsset, NSObject)
public:
    static Ref<PLManagedAsset> create() { return make_object<PLManagedAsset>(); }

    Ref<NSString> path;
    Ref<NSString> name;
    Ref<NSString> folder;
    bool photo = true;
    bool jpeg = false;
    bool video = false;
    Ref<NSNumber> width;
    Ref<NSNumber> height;
    NSInteger originalWidth = 0;
    NSInteger originalHeight = 0;
    Ref<CLLocation> position;
    Ref<NSDate> date;
    Ref<NSDate> dateCreated;

protected:
    PLManagedAsset() = default;
};

// Answers only `pathForImageFile` and none of the date operations.
class QXTestDatelessAsset : public NSObject {
    QX_OBJECT(QXTestDatelessAsset, NSObject)
public:
    static Ref<QXTestDatelessAsset> create() { return make_object<QXTestDatelessAsset>(); }

    Ref<NSString> path;
    Ref<NSDate> dateCreated;
    Ref<NSDate> modificationDate;

protected:
    QXTestDatelessAsset() = default;
};

// Adds `dateCreated` and `modificationDate`, but no `date`.
class QXTestCreatedAsset : public QXTestDatelessAsset {
    QX_OBJECT(QXTestCreatedAsset, QXTestDatelessAsset)
public:
    static Ref<QXTestCreatedAsset> create() { return make_object<QXTestCreatedAsset>(); }

protected:
    QXTestCreatedAsset() = default;
};

// Adds only `modificationDate`.
class QXTestModifiedAsset : public QXTestDatelessAsset {
    QX_OBJECT(QXTestModifiedAsset, QXTestDatelessAsset)
public:
    static Ref<QXTestModifiedAsset> create() { return make_object<QXTestModifiedAsset>(); }

protected:
    QXTestModifiedAsset() = default;
};
