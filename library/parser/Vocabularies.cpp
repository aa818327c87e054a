#include "parser/Vocabularies.h"

#include "foundation/NSNumber.h"
#include "util/Localization.h"

#include <cmath>
#include <cstdint>

namespace quorix::vocabulary {
namespace {

constexpr Entry kOrientation[] = {
    { 1, "horizontal (normal)", "" },
    { 2, "mirror horizontal", "" },
    { 3, "rotated 180", "" },
    { 4, "mirror vertical", "" },
    { 5, "mirror horizontal & rotated 270 CW", "" },
    { 6, "rotated 90 CW", "" },
    { 7, "mirror horizontal & rotated 90 CW", "" },
    { 8, "rotated 270 CW", "" },
};

constexpr Entry kSharpness[] = {
    { 0, "NORMAL_SHARPNESS", "normal" },
    { 1, "SOFT_SHARPNESS", "soft" },
    { 2, "HARD_SHARPNESS", "hard" },
};

constexpr Entry kFlash[] = {
    { 0x00, "did not fire", "" },
    { 0x01, "fired", "" },
    { 0x05, "fired, return not detected", "" },
    { 0x07, "fired, return detected", "" },
    { 0x09, "fired, compulsory mode", "" },
    { 0x0D, "fired, compulsory mode, return not detected", "" },
    { 0x0F, "fired, compulsory mode, return detected", "" },
    { 0x10, "did not fire, compulsory mode", "" },
    { 0x18, "did not fire, auto", "" },
    { 0x19, "fired, auto", "" },
    { 0x1D, "fired, auto, return not detected", "" },
    { 0x1F, "fired, auto, return detected", "" },
    { 0x20, "no flash function", "" },
    { 0x41, "fired, red-eye reduction", "" },
    { 0x45, "fired, red-eye reduction, return not detected", "" },
    { 0x47, "fired, red-eye reduction, return detected", "" },
    { 0x49, "fired, compulsory mode, red-eye reduction", "" },
    { 0x4D, "fired, compulsory mode, red-eye reduction, return not detected", "" },
    { 0x4F, "fired, compulsory mode, red-eye reduction, return detected", "" },
    { 0x59, "fired, auto, red-eye reduction", "" },
    { 0x5D, "fired, auto, red-eye reduction, return not detected", "" },
    { 0x5F, "fired, auto, red-eye reduction, return detected", "" },
};

constexpr Entry kWhiteBalance[] = {
    { 0, "auto white balance", "" },
    { 1, "manual white balance", "" },
};

constexpr Entry kContrast[] = {
    { 0, "NORMAL_CONTRAST", "normal" },
    { 1, "SOFT_CONTRAST", "soft" },
    { 2, "HARD_CONTRAST", "hard" },
};

constexpr Entry kExposureMode[] = {
    { 0, "auto exposure", "" },
    { 1, "manual exposure", "" },
    { 2, "auto bracket", "" },
};

constexpr Entry kExposureProgram[] = {
    { 0, "NOT_DEFINED_EXPOSURE_PROGRAM", "not defined" },
    { 1, "MANUAL_EXPOSURE_PROGRAM", "manual" },
    { 2, "normal program", "" },
    { 3, "aperture priority", "" },
    { 4, "shutter priority", "" },
    { 5, "creative program", "" },
    { 6, "action program", "" },
    { 7, "portrait mode", "" },
    { 8, "landscape mode", "" },
};

constexpr Entry kMeteringMode[] = {
    { 0, "UNKNOWN_METERING_MODE", "unknown" },
    { 1, "average", "" },
    { 2, "center-weighted average", "" },
    { 3, "spot", "" },
    { 4, "multi spot", "" },
    { 5, "pattern", "" },
    { 6, "partial", "" },
    { 255, "other", "" },
};

constexpr Entry kSaturation[] = {
    { 0, "NORMAL_SATURATION", "normal" },
    { 1, "low saturation", "" },
    { 2, "high saturation", "" },
};

// Code 2 has a text although EXIF does not list it; code 0 has none.
constexpr Entry kColorSpace[] = {
    { 1, "sRGB", "" },
    { 2, "Adobe RGB", "" },
    { 0xFFFF, "uncalibrated", "" },
};

// 16 is deliberately absent: it has no text and its row is left out.
constexpr Entry kLightSource[] = {
    { 0, "UNKNOWN_LIGHT_SOURCE", "unknown" },
    { 1, "daylight", "" },
    { 2, "fluorescent", "" },
    { 3, "tungsten", "" },
    { 4, "FLASH_LIGHT_SOURCE", "flash" },
    { 9, "fine weather", "" },
    { 10, "cloudy weather", "" },
    { 11, "shade", "" },
    { 12, "daylight fluorescent", "" },
    { 13, "day white fluorescent", "" },
    { 14, "cool white fluorescent", "" },
    { 15, "white fluorescent", "" },
    { 17, "standard light A", "" },
    { 18, "standard light B", "" },
    { 19, "standard light C", "" },
    { 20, "D55", "" },
    { 21, "D65", "" },
    { 22, "D75", "" },
    { 23, "D50", "" },
    { 24, "ISO studio tungsten", "" },
    { 255, "other light source", "" },
};

constexpr Entry kSceneCaptureType[] = {
    { 0, "standard", "" },
    { 1, "landscape", "" },
    { 2, "portrait", "" },
    { 3, "night scene", "" },
};

constexpr Entry kSensingMethod[] = {
    { 1, "NOT_DEFINED_SENSING_METHOD", "not defined" },
    { 2, "one-chip color area", "" },
    { 3, "two-chip color area", "" },
    { 4, "three-chip color area", "" },
    { 5, "color sequential area", "" },
    { 7, "trilinear", "" },
    { 8, "color sequential linear", "" },
};

constexpr Entry kGainControl[] = {
    { 0, "NONE_GAIN_CONTROL", "none" },
    { 1, "low gain up", "" },
    { 2, "high gain up", "" },
    { 3, "low gain down", "" },
    { 4, "high gain down", "" },
};

constexpr Entry kCustomRendered[] = {
    { 0, "normal process", "" },
    { 1, "custom process", "" },
};

constexpr Entry kSubjectDistanceRange[] = {
    { 0, "UNKNOWN_SUBJECT_DISTANCE_RANGE", "unknown" },
    { 1, "macro", "" },
    { 2, "close view", "" },
    { 3, "distant view", "" },
};

std::optional<int> wrappedCode(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    // fmod is exact, so the remainder is the truncated value modulo 2^32 with
    // the value's sign; moved into [0, 2^32) it converts to uint32_t without
    // leaving the type's range.
    constexpr double kModulus = 4294967296.0;
    double remainder = std::fmod(std::trunc(value), kModulus);
    if (remainder < 0)
        remainder += kModulus;
    return static_cast<int32_t>(static_cast<uint32_t>(remainder));
}

Ref<NSString> localized(const Entry& entry) { return QXLocalizedString(entry.key, entry.fallback); }

} // namespace

const Table orientation { kOrientation };
const Table sharpness { kSharpness };
const Table flash { kFlash };
const Table whiteBalance { kWhiteBalance };
const Table contrast { kContrast };
const Table exposureMode { kExposureMode };
const Table exposureProgram { kExposureProgram };
const Table meteringMode { kMeteringMode };
const Table saturation { kSaturation };
const Table colorSpace { kColorSpace };
const Table lightSource { kLightSource };
const Table sceneCaptureType { kSceneCaptureType };
const Table sensingMethod { kSensingMethod };
const Table gainControl { kGainControl };
const Table customRendered { kCustomRendered };
const Table subjectDistanceRange { kSubjectDistanceRange };

std::optional<int> codeOf(const NSObject* value)
{
    const auto* number = objc_cast<NSNumber>(value);
    if (!number)
        return std::nullopt;
    if (number->isFloatingPoint())
        return wrappedCode(number->doubleValue());
    // Integers (and booleans) as 64 bits of two's complement: the low 32
    // are the value modulo 2^32, whether it was stored signed or unsigned.
    return static_cast<int32_t>(static_cast<uint32_t>(number->unsignedLongLongValue()));
}

const Entry* find(Table table, int code)
{
    for (const Entry& entry : table) {
        if (entry.code == code)
            return &entry;
    }
    return nullptr;
}

Ref<NSString> text(Table table, const NSObject* value)
{
    auto code = codeOf(value);
    if (!code)
        return nullptr;
    const Entry* entry = find(table, *code);
    return entry ? localized(*entry) : nullptr;
}

Ref<NSString> flashText(const NSObject* value)
{
    auto code = codeOf(value);
    if (!code)
        return nullptr;
    if (const Entry* entry = find(flash, *code))
        return localized(*entry);
    // Unsigned arithmetic keeps the bit test defined for negative codes.
    bool fired = (static_cast<unsigned>(*code) & 1U) != 0;
    return fired ? QXLocalizedString("flash fired") : QXLocalizedString("did not fire");
}

} // namespace quorix::vocabulary
