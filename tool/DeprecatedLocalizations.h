#pragma once

#include <string_view>

// Removal of the localization directories that earlier versions of the
// package left in the Camera and Photos application bundles. A directory
// counts as deprecated when the only strings file in it is "Quorix.strings".

// Whether `path` is a directory whose direct entries include exactly one name
// ending in "strings", and that name is "Quorix.strings". Other entries
// (images, interface files, subdirectories) do not count either way.
bool isDeprecatedDirectory(std::string_view path);

// Visits the eight localization directory names in each of the two bundles,
// in order, and removes every deprecated one with its contents. Failures are
// skipped silently.
void deleteDeprecatedDirectoriesIfNeeded();

// The same below `root` instead of "/": the bundles are looked for at
// ROOT/Applications/Camera.app and ROOT/Applications/MobileSlideShow.app.
void deleteDeprecatedDirectoriesIfNeeded(std::string_view root);
