#pragma once

#include "runtime/ClassDefinition.h"

#include <map>
#include <mutex>
#include <string>
#include <string_view>

// The application's user defaults: booleans by key, kept in one file per
// application, `$XDG_CONFIG_HOME/<bundle identifier>/defaults.json`
// (`$HOME/.config` when XDG_CONFIG_HOME is unset, empty or not absolute): a
// JSON object of booleans.
//
// Every save replaces the file atomically (temporary file, flush to disk,
// rename), so a crash at any moment leaves the old or the new content. A file
// that cannot be read counts as empty and is renamed aside, never deleted,
// before the first save replaces it. A save holds an exclusive lock on
// `<file>.lock` and merges its changed keys into what is on disk, so
// processes saving at once keep each other's keys.
class NSUserDefaults : public NSObject {
    QX_OBJECT(NSUserDefaults, NSObject)
public:
    static NSUserDefaults* standardUserDefaults();
    // Drops the shared instance, so the next standardUserDefaults reads the
    // environment and the file again (tests, and hosts that change identity).
    static void resetStandardUserDefaults();

    // False when absent, not a boolean, or the file is unreadable.
    bool boolForKey(std::string_view key) const;
    void setBoolForKey(bool value, std::string_view key);
    // Writes pending changes; false when the file could not be written.
    bool synchronize();
    // Why the last synchronize failed, as an errno value; 0 after one that
    // succeeded. A failed save is reported to no one: callers that tell a
    // person about it ask here.
    int lastSaveError() const;

    const std::string& filePath() const { return path_; }

protected:
    explicit NSUserDefaults(std::string path);

private:
    mutable std::mutex lock_;
    std::string path_;
    std::map<std::string, bool, std::less<>> values_;
    std::map<std::string, bool, std::less<>> pending_;
    int lastSaveError_ = 0;
};
