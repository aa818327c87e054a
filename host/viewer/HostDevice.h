#pragma once

#include "runtime/Forward.h"

#include <optional>
#include <string>

namespace viewer {

// The device the host runs on, as the command line describes it.
struct DeviceSettings {
    std::string systemVersion; // empty: the toolkit's default
    std::optional<NSInteger> idiom; // none: the toolkit's default (a phone)
    bool answersIdiom = true; // false: an early device without the idiom question
};

// Makes the toolkit's device that device. Done before anything else runs,
// as the hardware is there before the host starts.
void simulateDevice(const DeviceSettings& settings);

enum class Generation {
    Older, // system versions before 7
    Seven, // 7.0 and later, with the PhotosUI framework
};

// The host's generation, from the device's system version read as a number
// (so "7.0.4" counts as 7.0).
Generation hostGeneration();

// Loads the PhotosUI framework, which lies beside PhotoLibrary; on failure,
// the reason.
std::optional<std::string> loadPhotosUI();

// The name of the generation's viewer class on this device.
const char* viewerClassName(Generation generation);

} // namespace viewer
