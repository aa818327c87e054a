#include "parser/QXParser.h"

#include "foundation/NSDate.h"
#include "foundation/NSURL.h"
#include "imageio/CGImageSource.h"
#include "parser/Vocabularies.h"
#include "runtime/Dispatch.h"

#include <array>
#include <optional>

QX_DEFINE_CLASS(QXParser)
{
    b.property("dateFormater", "T@\"NSDateFormatter\",&,N,V_dateFormater");
    b.property("location", "T@\"CLLocation\",&,N,V_location");
    b.property("privateDateFormater", "T@\"NSDateFormatter\",&,N,V_privateDateFormater");
    b.property("asset", "T@\"PLManagedAsset\",N,V_asset");
    b.property("basic", "T@\"NSArray\",&,N,V_basic");
    b.property("exif", "T@\"NSArray\",&,N,V_exif");
    b.property("gps", "T@\"NSArray\",&,N,V_gps");
    b.property("tiff", "T@\"NSArray\",&,N,V_tiff");
    b.ivar("_dateFormater", "@\"NSDateFormatter\"", &QXParser::dateFormater_);
    b.ivar("_location", "@\"CLLocation\"", &QXParser::location_);
    b.ivar("_privateDateFormater", "@\"NSDateFormatter\"", &QXParser::privateDateFormater_);
    b.ivar("_asset", "@\"PLManagedAsset\"");
    b.ivar("_basic", "@\"NSArray\"", &QXParser::basic_);
    b.ivar("_exif", "@\"NSArray\"", &QXParser::exif_);
    b.ivar("_gps", "@\"NSArray\"", &QXParser::gps_);
    b.ivar("_tiff", "@\"NSArray\"", &QXParser::tiff_);

    b.method<&QXParser::parseAsset>("parseAsset:");
    b.method<&QXParser::getSectionsInfo>("getSectionsInfo");
    b.method<&QXParser::getMetadata>("getMetadata");
    b.method<&QXParser::getFileInfo>("getFileInfo");
    b.method<&QXParser::getGPSInfo>("getGPSInfo:");
    b.method<&QXParser::getTIFFInfo>("getTIFFInfo:");
    b.method<&QXParser::getEXIFInfo>("getEXIFInfo:");
    b.method<&QXParser::resetParser>("resetParser");
    b.method<&QXParser::fullPath>("fullPath");
    b.method<&QXParser::prettyFileSize>("prettyFileSize:");
    b.method<&QXParser::isPhoto>("isPhoto");
    b.method<&QXParser::isJPEG>("isJPEG");
    b.method<&QXParser::isVideo>("isVideo");
    b.method<&QXParser::dateForAsset>("dateForAsset:");

    b.method<&QXParser::dateFormater>("dateFormater");
    b.method<&QXParser::setDateFormater>("setDateFormater:");
    b.method<&QXParser::privateDateFormater>("privateDateFormater");
    b.method<&QXParser::setPrivateDateFormater>("setPrivateDateFormater:");
    b.method<&QXParser::location>("location");
    b.method<&QXParser::setLocation>("setLocation:");
    b.method<&QXParser::asset>("asset");
    b.method<&QXParser::setAsset>("setAsset:");
    b.method<&QXParser::basic>("basic");
    b.method<&QXParser::setBasic>("setBasic:");
    b.method<&QXParser::exif>("exif");
    b.method<&QXParser::setExif>("setExif:");
    b.method<&QXParser::gps>("gps");
    b.method<&QXParser::setGps>("setGps:");
    b.method<&QXParser::tiff>("tiff");
    b.method<&QXParser::setTiff>("setTiff:");

    b.method<&QXParser::orientation>("orientation:");
    b.method<&QXParser::sharpness>("sharpness:");
    b.method<&QXParser::flash>("flash:");
    b.method<&QXParser::whiteBalance>("whiteBalance:");
    b.method<&QXParser::contrast>("contrast:");
    b.method<&QXParser::exposureMode>("exposureMode:");
    b.method<&QXParser::exposureProgram>("exposureProgram:");
    b.method<&QXParser::meteringMode>("meteringMode:");
    b.method<&QXParser::saturation>("saturation:");
    b.method<&QXParser::colorSpace>("colorSpace:");
    b.method<&QXParser::lightSource>("lightSource:");
    b.method<&QXParser::sceneCaptureType>("sceneCaptureType:");
    b.method<&QXParser::sensingMethod>("sensingMethod:");
    b.method<&QXParser::gainControl>("gainControl:");
    b.method<&QXParser::customRendered>("customRendered:");
    b.method<&QXParser::subjectDistanceRange>("subjectDistanceRange:");
    b.classMethod("sharedQXParser", [](Class) -> id { return QXParser::sharedQXParser(); });
}

QXParser* QXParser::sharedQXParser()
{
    static dispatch_once_t once;
    static QXParser* shared = nullptr;
    // Lives to the end of the process: the one reference is never released.
    dispatch_once(&once, [] { shared = make_object<QXParser>().leak(); });
    return shared;
}

Ref<NSArray> QXParser::parseAsset(id asset)
{
    send("setAsset:"_sel, asset);
    return send<NSArray*>("getSectionsInfo"_sel);
}

Ref<NSArray> QXParser::getSectionsInfo()
{
    send("getMetadata"_sel);

    struct Kind {
        NSArray* rows;
        int category;
    };
    const std::array<Kind, 4> kinds { {
        { basic_, QXSectionCategoryFile },
        { gps_, QXSectionCategoryGPS },
        { tiff_, QXSectionCategoryTIFF },
        { exif_, QXSectionCategoryEXIF },
    } };
    auto sections = NSMutableArray::array();
    for (const Kind& kind : kinds) {
        if (!kind.rows || kind.rows->count() == 0)
            continue;
        auto section = QXSection::section();
        section->setCategory(kind.category);
        // The parser's own list: the section keeps it alive past resetParser.
        section->setItems(kind.rows);
        sections->addObject(section);
    }
    return sections;
}

namespace {

// The properties of image 0 of the file at the path (nil when the file gives
// none); nullopt when there is no path or the file opens as no image source.
std::optional<Ref<NSDictionary>> imagePropertiesOfFile(const NSString* path)
{
    if (!path)
        return std::nullopt;
    auto url = NSURL::fileURLWithPath(path->str());
    if (!url)
        return std::nullopt;
    auto source = CGImageSourceCreateWithURL(url, nullptr);
    if (!source)
        return std::nullopt;
    return CGImageSourceCopyPropertiesAtIndex(source, 0, nullptr);
}

} // namespace

void QXParser::getMetadata()
{
    send("getFileInfo"_sel);

    // Without a readable image file none of the metadata builders runs, so
    // their lists and the location stay as the last reset left them.
    auto opened = imagePropertiesOfFile(send<NSString*>("fullPath"_sel));
    if (!opened)
        return;
    Ref<NSDictionary> properties = *opened;

    send("getGPSInfo:"_sel, properties);
    send("getTIFFInfo:"_sel, properties);
    send("getEXIFInfo:"_sel, properties);
}

void QXParser::resetParser()
{
    setBasic(nullptr);
    setGps(nullptr);
    setTiff(nullptr);
    setExif(nullptr);
    setLocation(nullptr);
    setAsset(nullptr);
}

Ref<NSString> QXParser::fullPath() const { return objc::send<NSString*>(asset_, "pathForImageFile"_sel); }

Ref<NSString> QXParser::prettyFileSize(long long bytes) const
{
    // Decimal units; the next unit takes over at 999 of the current one.
    if (bytes <= 998)
        return NSString::stringWithFormat("%lld Bytes", bytes);
    double value = static_cast<double>(bytes) / 1000.0;
    for (const char* format : { "%1.1f KB", "%1.1f MB", "%1.1f GB" }) {
        if (value < 999.0)
            return NSString::stringWithFormat(format, value);
        value /= 1000.0;
    }
    return NSString::stringWithFormat("%1.1f TB", value);
}

bool QXParser::isPhoto() const { return objc::send<bool>(asset_, "isPhoto"_sel); }

bool QXParser::isJPEG() const { return objc::send<bool>(asset_, "isJPEG"_sel); }

bool QXParser::isVideo() const { return objc::send<bool>(asset_, "isVideo"_sel); }

Ref<NSDate> QXParser::dateForAsset(id asset)
{
    if (!asset)
        return nullptr;

    Ref<NSDictionary> properties = imagePropertiesOfFile(objc::send<NSString*>(asset, "pathForImageFile"_sel)).value_or(nullptr);
    if (properties) {
        const auto* exif = properties->objectOfClassForKey<NSDictionary>(kCGImagePropertyExifDictionary);
        const auto* text = exif ? exif->objectOfClassForKey<NSString>(kCGImagePropertyExifDateTimeOriginal) : nullptr;
        if (text) {
            auto* formatter = send<NSDateFormatter*>("privateDateFormater"_sel);
            if (auto date = formatter ? formatter->dateFromString(text) : nullptr)
                return date->copy();
        }
    }

    // The first date operation the asset has decides, even when it answers nil.
    for (const char* selector : { "date", "dateCreated", "modificationDate" }) {
        if (asset->respondsToSelector(selector))
            return objc::send<NSDate*>(asset, selector);
    }
    return nullptr;
}

NSDateFormatter* QXParser::dateFormater()
{
    if (!dateFormater_) {
        auto formatter = NSDateFormatter::create();
        formatter->setDateStyle(NSDateFormatterLongStyle);
        formatter->setTimeStyle(NSDateFormatterShortStyle);
        dateFormater_ = formatter;
    }
    return dateFormater_;
}

NSDateFormatter* QXParser::privateDateFormater()
{
    if (!privateDateFormater_) {
        // Only the format is set: the current locale, calendar and time zone apply.
        auto formatter = NSDateFormatter::create();
        formatter->setDateFormat("yyyy:MM:dd HH:mm:ss");
        privateDateFormater_ = formatter;
    }
    return privateDateFormater_;
}

namespace voc = quorix::vocabulary;

Ref<NSString> QXParser::sharpness(const NSObject* value) const { return voc::text(voc::sharpness, value); }
Ref<NSString> QXParser::flash(const NSObject* value) const { return voc::flashText(value); }
Ref<NSString> QXParser::whiteBalance(const NSObject* value) const { return voc::text(voc::whiteBalance, value); }
Ref<NSString> QXParser::contrast(const NSObject* value) const { return voc::text(voc::contrast, value); }
Ref<NSString> QXParser::exposureMode(const NSObject* value) const { return voc::text(voc::exposureMode, value); }
Ref<NSString> QXParser::exposureProgram(const NSObject* value) const { return voc::text(voc::exposureProgram, value); }
Ref<NSString> QXParser::meteringMode(const NSObject* value) const { return voc::text(voc::meteringMode, value); }
Ref<NSString> QXParser::saturation(const NSObject* value) const { return voc::text(voc::saturation, value); }
Ref<NSString> QXParser::colorSpace(const NSObject* value) const { return voc::text(voc::colorSpace, value); }
Ref<NSString> QXParser::lightSource(const NSObject* value) const { return voc::text(voc::lightSource, value); }
Ref<NSString> QXParser::sceneCaptureType(const NSObject* value) const { return voc::text(voc::sceneCaptureType, value); }
Ref<NSString> QXParser::sensingMethod(const NSObject* value) const { return voc::text(voc::sensingMethod, value); }
Ref<NSString> QXParser::gainControl(const NSObject* value) const { return voc::text(voc::gainControl, value); }
Ref<NSString> QXParser::customRendered(const NSObject* value) const { return voc::text(voc::customRendered, value); }
Ref<NSString> QXParser::subjectDistanceRange(const NSObject* value) const { return voc::text(voc::subjectDistanceRange, value); }
