#include "parser/QXParser.h"

#include "foundation/NSNumber.h"
#include "imageio/ImageProperties.h"
#include "parser/SectionRows.h"
#include "util/Localization.h"

#include <array>
#include <iterator>
#include <string_view>

using quorix::parser::addRow;
using quorix::parser::localizedFormat;

namespace {

enum class Form {
    Text, // the entry's own text
    TranslatedFormat, // `argument` is a format looked up in the strings table, then filled
    FixedFormat, // `argument` is a format used as it stands
    List, // the elements' texts joined by ","
    Vocabulary, // `argument` is the parser's vocabulary selector
    SubjectDistance,
};

struct ExifRow {
    std::string_view label;
    std::string_view key;
    Form form;
    std::string_view argument; // "" when the form takes none
};

// The rows in display order, whatever order the dictionary keeps.
constexpr ExifRow kExifRows[] = {
    { "Focal Length", kCGImagePropertyExifFocalLength, Form::TranslatedFormat, "%@ mm" },
    { "Focal Length (35mm)", kCGImagePropertyExifFocalLenIn35mmFilm, Form::TranslatedFormat, "%@ mm" },
    { "Aperture Value", kCGImagePropertyExifApertureValue, Form::Text, "" },
    { "Max Aperture Value", kCGImagePropertyExifMaxApertureValue, Form::Text, "" },
    { "F Number", kCGImagePropertyExifFNumber, Form::FixedFormat, "f/%@" },
    { "Exposure Time", kCGImagePropertyExifExposureTime, Form::TranslatedFormat, "%@ s" },
    { "Shutter Speed Value", kCGImagePropertyExifShutterSpeedValue, Form::Text, "" },
    { "ISO Speed Ratings", kCGImagePropertyExifISOSpeedRatings, Form::List, "" },
    { "White Balance", kCGImagePropertyExifWhiteBalance, Form::Vocabulary, "whiteBalance:" },
    { "Date Time Original", kCGImagePropertyExifDateTimeOriginal, Form::Text, "" },
    { "Date Time Digitized", kCGImagePropertyExifDateTimeDigitized, Form::Text, "" },
    { "Flash", kCGImagePropertyExifFlash, Form::Vocabulary, "flash:" },
    { "Exposure Bias Value", kCGImagePropertyExifExposureBiasValue, Form::FixedFormat, "%@ ev" },
    { "Exposure Program", kCGImagePropertyExifExposureProgram, Form::Vocabulary, "exposureProgram:" },
    { "Exposure Mode", kCGImagePropertyExifExposureMode, Form::Vocabulary, "exposureMode:" },
    { "Metering Mode", kCGImagePropertyExifMeteringMode, Form::Vocabulary, "meteringMode:" },
    { "Light Source", kCGImagePropertyExifLightSource, Form::Vocabulary, "lightSource:" },
    { "Digital Zoom Ratio", kCGImagePropertyExifDigitalZoomRatio, Form::Text, "" },
    { "Brightness Value", kCGImagePropertyExifBrightnessValue, Form::Text, "" },
    { "Scene Capture Type", kCGImagePropertyExifSceneCaptureType, Form::Vocabulary, "sceneCaptureType:" },
    { "Sensing Method", kCGImagePropertyExifSensingMethod, Form::Vocabulary, "sensingMethod:" },
    { "Gain Control", kCGImagePropertyExifGainControl, Form::Vocabulary, "gainControl:" },
    { "Custom Rendered", kCGImagePropertyExifCustomRendered, Form::Vocabulary, "customRendered:" },
    { "Contrast", kCGImagePropertyExifContrast, Form::Vocabulary, "contrast:" },
    { "Saturation", kCGImagePropertyExifSaturation, Form::Vocabulary, "saturation:" },
    { "Sharpness", kCGImagePropertyExifSharpness, Form::Vocabulary, "sharpness:" },
    { "Subject Distance Range", kCGImagePropertyExifSubjectDistRange, Form::Vocabulary, "subjectDistanceRange:" },
    { "Subject Distance", kCGImagePropertyExifSubjectDistance, Form::SubjectDistance, "" },
    { "Gamma", kCGImagePropertyExifGamma, Form::Text, "" },
    { "Color Space", kCGImagePropertyExifColorSpace, Form::Vocabulary, "colorSpace:" },
};

// EXIF marks an infinite distance with 2^32 - 1 and an undetermined one with
// 0; every other distance, fractions of a metre and (never written by a
// camera) negative ones included, reads in metres. A value that is not a
// number has no distance to show.
Ref<NSString> subjectDistanceText(const NSObject* entry)
{
    const auto* number = objc_cast<NSNumber>(entry);
    if (!number)
        return nullptr;
    double metres = number->doubleValue();
    if (metres >= 0 && number->unsignedLongLongValue() == 4294967295ULL)
        return NSString::stringWithUTF8String("∞");
    if (metres == 0)
        return QXLocalizedString("unknown");
    return localizedFormat("%@ m", number);
}

// The vocabulary selectors of the rows, by row, interned once.
const std::array<SEL, std::size(kExifRows)>& vocabularySelectors()
{
    static const auto selectors = [] {
        std::array<SEL, std::size(kExifRows)> made;
        for (size_t i = 0; i < made.size(); ++i) {
            if (kExifRows[i].form == Form::Vocabulary)
                made[i] = SEL(kExifRows[i].argument);
        }
        return made;
    }();
    return selectors;
}

} // namespace

void QXParser::getEXIFInfo(const NSDictionary* properties)
{
    const auto* exif = properties ? properties->objectOfClassForKey<NSDictionary>(kCGImagePropertyExifDictionary) : nullptr;
    if (!exif)
        return;

    const auto& selectors = vocabularySelectors();
    auto rows = NSMutableArray::arrayWithCapacity(std::size(kExifRows));
    for (size_t index = 0; index < std::size(kExifRows); ++index) {
        const ExifRow& row = kExifRows[index];
        id entry = exif->objectForKey(row.key);
        if (!entry)
            continue;
        Ref<NSObject> value;
        switch (row.form) {
        case Form::Text:
            value = entry;
            break;
        case Form::TranslatedFormat:
            value = localizedFormat(row.argument, entry);
            break;
        case Form::FixedFormat:
            value = NSString::stringWithFormat(row.argument, entry);
            break;
        case Form::List:
            // A single value where a list belongs reads as a one-element list.
            if (const auto* list = objc_cast<NSArray>(entry))
                value = list->componentsJoinedByString(",");
            else
                value = entry;
            break;
        case Form::Vocabulary:
            value = send<NSString*>(selectors[index], entry);
            break;
        case Form::SubjectDistance:
            value = subjectDistanceText(entry);
            break;
        }
        addRow(rows, row.label, value);
    }
    send("setExif:"_sel, rows);
}
