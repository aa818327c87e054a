#pragma once

// The published keys of an image's property dictionary and of its
// sub-dictionaries, as strings.

// Top level.
inline constexpr const char* kCGImagePropertyPixelWidth = "PixelWidth"; // number
inline constexpr const char* kCGImagePropertyPixelHeight = "PixelHeight"; // number
inline constexpr const char* kCGImagePropertyOrientation = "Orientation"; // number, 1 to 8
// This platform's own: the picture as a person sees it, after the EXIF
// orientation or the container's own rotation and crop (numbers).
inline constexpr const char* kQXImagePropertyShownWidth = "QXShownWidth";
inline constexpr const char* kQXImagePropertyShownHeight = "QXShownHeight";
inline constexpr const char* kCGImagePropertyTIFFDictionary = "{TIFF}";
inline constexpr const char* kCGImagePropertyExifDictionary = "{Exif}";
inline constexpr const char* kCGImagePropertyGPSDictionary = "{GPS}";

// {TIFF}
inline constexpr const char* kCGImagePropertyTIFFMake = "Make"; // string
inline constexpr const char* kCGImagePropertyTIFFModel = "Model"; // string
inline constexpr const char* kCGImagePropertyTIFFSoftware = "Software"; // string
inline constexpr const char* kCGImagePropertyTIFFDateTime = "DateTime"; // string "yyyy:MM:dd HH:mm:ss"
inline constexpr const char* kCGImagePropertyTIFFOrientation = "Orientation"; // number
inline constexpr const char* kCGImagePropertyTIFFXResolution = "XResolution"; // number
inline constexpr const char* kCGImagePropertyTIFFYResolution = "YResolution"; // number
inline constexpr const char* kCGImagePropertyTIFFResolutionUnit = "ResolutionUnit"; // number

// {Exif}: numbers unless noted. Rationals are floating-point numbers; the APEX
// values (aperture, max aperture, shutter speed, brightness) are raw.
inline constexpr const char* kCGImagePropertyExifFocalLength = "FocalLength";
inline constexpr const char* kCGImagePropertyExifFocalLenIn35mmFilm = "FocalLenIn35mmFilm";
inline constexpr const char* kCGImagePropertyExifApertureValue = "ApertureValue";
inline constexpr const char* kCGImagePropertyExifMaxApertureValue = "MaxApertureValue";
inline constexpr const char* kCGImagePropertyExifFNumber = "FNumber";
inline constexpr const char* kCGImagePropertyExifExposureTime = "ExposureTime"; // decimal seconds
inline constexpr const char* kCGImagePropertyExifShutterSpeedValue = "ShutterSpeedValue";
inline constexpr const char* kCGImagePropertyExifISOSpeedRatings = "ISOSpeedRatings"; // array of numbers
inline constexpr const char* kCGImagePropertyExifWhiteBalance = "WhiteBalance";
inline constexpr const char* kCGImagePropertyExifDateTimeOriginal = "DateTimeOriginal"; // string
inline constexpr const char* kCGImagePropertyExifDateTimeDigitized = "DateTimeDigitized"; // string
inline constexpr const char* kCGImagePropertyExifOffsetTimeOriginal = "OffsetTimeOriginal"; // string, "+02:00"
inline constexpr const char* kCGImagePropertyExifFlash = "Flash";
inline constexpr const char* kCGImagePropertyExifExposureBiasValue = "ExposureBiasValue";
inline constexpr const char* kCGImagePropertyExifExposureProgram = "ExposureProgram";
inline constexpr const char* kCGImagePropertyExifExposureMode = "ExposureMode";
inline constexpr const char* kCGImagePropertyExifMeteringMode = "MeteringMode";
inline constexpr const char* kCGImagePropertyExifLightSource = "LightSource";
inline constexpr const char* kCGImagePropertyExifDigitalZoomRatio = "DigitalZoomRatio";
inline constexpr const char* kCGImagePropertyExifBrightnessValue = "BrightnessValue";
inline constexpr const char* kCGImagePropertyExifSceneCaptureType = "SceneCaptureType";
inline constexpr const char* kCGImagePropertyExifSensingMethod = "SensingMethod";
inline constexpr const char* kCGImagePropertyExifGainControl = "GainControl";
inline constexpr const char* kCGImagePropertyExifCustomRendered = "CustomRendered";
inline constexpr const char* kCGImagePropertyExifContrast = "Contrast";
inline constexpr const char* kCGImagePropertyExifSaturation = "Saturation";
inline constexpr const char* kCGImagePropertyExifSharpness = "Sharpness";
inline constexpr const char* kCGImagePropertyExifSubjectDistRange = "SubjectDistRange";
inline constexpr const char* kCGImagePropertyExifSubjectDistance = "SubjectDistance";
inline constexpr const char* kCGImagePropertyExifGamma = "Gamma";
inline constexpr const char* kCGImagePropertyExifColorSpace = "ColorSpace";

// {GPS}
inline constexpr const char* kCGImagePropertyGPSLatitude = "Latitude"; // number, unsigned degrees
inline constexpr const char* kCGImagePropertyGPSLatitudeRef = "LatitudeRef"; // string "N" or "S"
inline constexpr const char* kCGImagePropertyGPSLongitude = "Longitude"; // number, unsigned degrees
inline constexpr const char* kCGImagePropertyGPSLongitudeRef = "LongitudeRef"; // string "E" or "W"
