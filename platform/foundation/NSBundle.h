#pragma once

#include "foundation/NSString.h"
#include "foundation/LabelKey.h"
#include "foundation/StringsFile.h"
#include "runtime/ClassDefinition.h"

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// An application bundle: where its resources live and its localized strings.
//
// The main bundle is the running program. Its resources folder is
// `<executable dir>/../share/<executable name>` (the same in a build tree and
// an installed one); a host or a test may point it elsewhere. Strings tables
// are `NAME.lproj/TABLE.strings` files in that folder.
class NSBundle : public NSObject {
    QX_OBJECT(NSBundle, NSObject)
public:
    static NSBundle* mainBundle();

    // For hosts and tests: replace where the main bundle looks for resources,
    // and the identifier that names its user defaults. Both drop cached tables;
    // an empty string goes back to the executable's own answer.
    static void setMainBundleResourcePath(std::string path);
    static void setMainBundleIdentifier(std::string identifier);

    Ref<NSString> resourcePath() const;
    // The application's identifier; by default the executable's name.
    Ref<NSString> bundleIdentifier() const;

    // The table's entry for the key if there is one; otherwise the value if it
    // is not empty; otherwise the key. A nil or empty table means
    // "Localizable". A missing or unreadable table counts as absent.
    Ref<NSString> localizedStringForKey(const NSString* key, const NSString* value, const NSString* table) const;
    std::string localizedString(std::string_view key, std::string_view value, std::string_view table) const;
    // The same text as a string object, made once per key and shared until
    // the tables are flushed: a screen asks for the same labels for every photo.
    Ref<NSString> localizedStringObject(std::string_view key, std::string_view value, std::string_view table) const;

    // The .lproj folder names tried, most preferred first, from LANGUAGE,
    // LC_ALL, LC_MESSAGES and LANG: "de_DE.UTF-8" gives de_DE, de, German,
    // then the English folders (en, English, Base).
    std::vector<std::string> localizationSearchOrder() const;

    // The localization the bundle shows: the first folder of the search
    // order that it has (FOLDER.lproj in its resources), else "en".
    std::string preferredLocalization() const;
    // That localization as a language tag ("ja", "zh-Hans", "de-DE"), as a
    // page's lang attribute takes it.
    std::string preferredLanguageTag() const;
    // Every entry of a table, as localizedString would find them.
    foundation::StringsTable localizedTable(std::string_view table) const;

    // Forgets loaded tables, so the next lookup reads the environment and the
    // files again.
    void flushLocalizationCache();

protected:
    NSBundle() = default;

private:
    const foundation::StringsTable* table(std::string_view name) const;

    mutable std::mutex lock_;
    mutable std::map<std::string, std::optional<foundation::StringsTable>, std::less<>> tables_;
    mutable std::optional<std::vector<std::string>> searchOrder_;
    // Strings already made by localizedStringObject, by table, key and value.
    mutable FlatMap<foundation::LabelKey, Ref<NSString>, foundation::LabelKeyHash, foundation::LabelKeyEqual> stringObjects_;
};
