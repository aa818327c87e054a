#pragma once

#include "foundation/Forward.h"
#include "corelocation/CLLocation.h"
#include "foundation/NSArray.h"
#include "foundation/NSDateFormatter.h"
#include "foundation/NSDictionary.h"
#include "foundation/NSString.h"
#include "parser/QXRow.h"
#include "parser/QXSection.h"

// The process-wide metadata parser: turns one photo asset (the host's
// PLManagedAsset, read only through messages) into ordered sections of
// label/value rows and a position, and gives any asset's capture date.
//
// A full parse is `parseAsset`, then `location`, then `resetParser`, in one
// step on the main thread.
class QXParser : public NSObject {
    QX_OBJECT(QXParser, NSObject)
public:
    static QXParser* sharedQXParser();

    // Sets the asset and returns getSectionsInfo: 0 to 4 sections in the
    // order file (1), GPS (2), TIFF (3), EXIF (4), empty kinds left out.
    Ref<NSArray> parseAsset(id asset);
    Ref<NSArray> getSectionsInfo();
    void getMetadata();
    void getFileInfo();
    void getGPSInfo(const NSDictionary* properties);
    void getTIFFInfo(const NSDictionary* properties);
    void getEXIFInfo(const NSDictionary* properties);
    // Clears basic, gps, tiff, exif, location and asset; the formatters stay.
    void resetParser();

    Ref<NSString> fullPath() const;
    Ref<NSString> prettyFileSize(long long bytes) const;
    bool isPhoto() const;
    bool isJPEG() const;
    bool isVideo() const;
    // The capture date: the EXIF original date-time of the asset's file, else
    // the first of the asset's `date`, `dateCreated`, `modificationDate` that
    // it answers. Reads no parse state.
    Ref<NSDate> dateForAsset(id asset);

    // Long date, short time, current locale: the one display form of dates.
    NSDateFormatter* dateFormater();
    void setDateFormater(NSDateFormatter* formatter) { dateFormater_ = formatter; }
    // Reads EXIF date-time text "yyyy:MM:dd HH:mm:ss".
    NSDateFormatter* privateDateFormater();
    void setPrivateDateFormater(NSDateFormatter* formatter) { privateDateFormater_ = formatter; }

    CLLocation* location() const { return location_; }
    void setLocation(CLLocation* location) { location_ = location; }
    id asset() const { return asset_; }
    void setAsset(id asset) { asset_ = asset; }
    NSArray* basic() const { return basic_; }
    NSArray* exif() const { return exif_; }
    NSArray* gps() const { return gps_; }
    NSArray* tiff() const { return tiff_; }
    void setBasic(NSArray* rows) { basic_ = rows; }
    void setExif(NSArray* rows) { exif_ = rows; }
    void setGps(NSArray* rows) { gps_ = rows; }
    void setTiff(NSArray* rows) { tiff_ = rows; }

    // The value vocabularies: the localized text for a coded value, nil for an
    // absent value or a code without text.
    Ref<NSString> orientation(const NSObject* value) const;
    Ref<NSString> sharpness(const NSObject* value) const;
    Ref<NSString> flash(const NSObject* value) const;
    Ref<NSString> whiteBalance(const NSObject* value) const;
    Ref<NSString> contrast(const NSObject* value) const;
    Ref<NSString> exposureMode(const NSObject* value) const;
    Ref<NSString> exposureProgram(const NSObject* value) const;
    Ref<NSString> meteringMode(const NSObject* value) const;
    Ref<NSString> saturation(const NSObject* value) const;
    Ref<NSString> colorSpace(const NSObject* value) const;
    Ref<NSString> lightSource(const NSObject* value) const;
    Ref<NSString> sceneCaptureType(const NSObject* value) const;
    Ref<NSString> sensingMethod(const NSObject* value) const;
    Ref<NSString> gainControl(const NSObject* value) const;
    Ref<NSString> customRendered(const NSObject* value) const;
    Ref<NSString> subjectDistanceRange(const NSObject* value) const;

protected:
    QXParser() = default;

private:
    Ref<NSDateFormatter> dateFormater_;
    Ref<CLLocation> location_;
    Ref<NSDateFormatter> privateDateFormater_;
    // A plain reference: the caller keeps the asset alive during the parse.
    id asset_ = nullptr;
    Ref<NSArray> basic_;
    Ref<NSArray> exif_;
    Ref<NSArray> gps_;
    Ref<NSArray> tiff_;
};
