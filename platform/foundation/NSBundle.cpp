#include "foundation/NSBundle.h"

#include "foundation/NSString.h"
#include "foundation/StringsFile.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>

#include <sys/single_threaded.h>

QX_DEFINE_CLASS(NSBundle)
{
    b.method<&NSBundle::localizedStringForKey>("localizedStringForKey:value:table:");
    b.method<&NSBundle::resourcePath>("resourcePath");
    b.method<&NSBundle::bundleIdentifier>("bundleIdentifier");
}

namespace {

// What a host or a test put in place of the main bundle's own answers; empty
// means "work it out from the executable".
struct MainBundleOverrides {
    std::mutex lock;
    std::string resourcePath;
    std::string identifier;
};

MainBundleOverrides& overrides()
{
    static MainBundleOverrides instance;
    return instance;
}

std::string executablePath()
{
    std::string buffer(256, '\0');
    for (;;) {
        ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0)
            return {};
        if (static_cast<size_t>(length) < buffer.size()) {
            buffer.resize(static_cast<size_t>(length));
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    // The kernel marks an executable replaced on disk since it started.
    constexpr std::string_view deleted = " (deleted)";
    if (buffer.ends_with(deleted))
        buffer.resize(buffer.size() - deleted.size());
    return buffer;
}

std::string defaultResourcePath()
{
    std::filesystem::path executable = executablePath();
    if (executable.empty())
        return {};
    auto resources = (executable.parent_path() / ".." / "share" / executable.filename()).lexically_normal().string();
    while (resources.size() > 1 && resources.ends_with('/'))
        resources.pop_back();
    return resources;
}

std::string defaultIdentifier()
{
    if (program_invocation_short_name && *program_invocation_short_name)
        return program_invocation_short_name;
    return std::filesystem::path(executablePath()).filename().string();
}

// The folder names that older bundles used for the first localizations.
struct LegacyLocalization {
    std::string_view language;
    std::string_view folder;
};

constexpr std::array<LegacyLocalization, 9> legacyLocalizations { {
    { "de", "German" },
    { "en", "English" },
    { "es", "Spanish" },
    { "fr", "French" },
    { "it", "Italian" },
    { "ja", "Japanese" },
    { "ko", "Korean" },
    { "nl", "Dutch" },
    { "pt", "Portuguese" },
} };

std::string_view legacyFolder(std::string_view language)
{
    for (const auto& entry : legacyLocalizations) {
        if (entry.language == language)
            return entry.folder;
    }
    return {};
}

void appendUnique(std::vector<std::string>& order, std::string_view name)
{
    if (!name.empty() && std::find(order.begin(), order.end(), name) == order.end())
        order.emplace_back(name);
}

// Chinese tables are kept by script (zh-Hans, zh-Hant) while locales name a
// region (zh_CN, zh_TW): the region tells which script its people read.
struct ChineseRegion {
    std::string_view region;
    std::string_view folder;
};

constexpr std::array<ChineseRegion, 6> chineseRegions { {
    { "CN", "zh-Hans" },
    { "SG", "zh-Hans" },
    { "MY", "zh-Hans" },
    { "TW", "zh-Hant" },
    { "HK", "zh-Hant" },
    { "MO", "zh-Hant" },
} };

bool isScriptSubtag(std::string_view subtag)
{
    return subtag.size() == 4 && std::all_of(subtag.begin(), subtag.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    });
}

// The LANGUAGE-Script folder a locale's text is written in, if it says or
// implies one: "zh-Hans-CN" and "sr_Latn_RS" name it, "zh_TW" implies it.
std::string scriptFolder(std::string_view language, std::string_view rest)
{
    auto subtag = rest.substr(0, rest.find_first_of("_-"));
    if (isScriptSubtag(subtag)) {
        std::string folder(language);
        folder += '-';
        folder += static_cast<char>(std::toupper(static_cast<unsigned char>(subtag[0])));
        for (char c : subtag.substr(1))
            folder += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return folder;
    }
    if (language != "zh")
        return {};
    // A bare "zh" means the script most readers of Chinese use.
    if (subtag.empty())
        return "zh-Hans";
    for (const auto& entry : chineseRegions) {
        if (entry.region == subtag)
            return std::string(entry.folder);
    }
    return {};
}

// One locale name such as "de_DE.UTF-8@euro": tries de_DE, de, German;
// "zh_TW.UTF-8" tries zh_TW, zh-Hant, zh.
void appendLocale(std::vector<std::string>& order, std::string_view locale)
{
    locale = locale.substr(0, locale.find_first_of(".@"));
    if (locale.empty() || locale == "C" || locale == "POSIX")
        return;
    auto separator = locale.find_first_of("_-");
    auto language = locale.substr(0, separator);
    appendUnique(order, locale);
    appendUnique(order, scriptFolder(language, separator == std::string_view::npos ? std::string_view() : locale.substr(separator + 1)));
    appendUnique(order, language);
    appendUnique(order, legacyFolder(language));
}

std::vector<std::string> searchOrderFromEnvironment()
{
    std::vector<std::string> order;
    // As for message catalogues: the first of these that is set decides, and
    // only LANGUAGE may name several languages.
    for (const char* variable : { "LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG" }) {
        const char* value = std::getenv(variable);
        if (!value || !*value)
            continue;
        std::string_view list(value);
        for (;;) {
            auto colon = list.find(':');
            appendLocale(order, list.substr(0, colon));
            if (colon == std::string_view::npos)
                break;
            list.remove_prefix(colon + 1);
        }
        break;
    }
    for (std::string_view fallback : { "en", "English", "Base" })
        appendUnique(order, fallback);
    return order;
}

} // namespace

NSBundle* NSBundle::mainBundle()
{
    // Never destroyed: code running at exit may still look strings up.
    static NSBundle* bundle = make_object<NSBundle>().leak();
    return bundle;
}

void NSBundle::setMainBundleResourcePath(std::string path)
{
    {
        std::lock_guard guard(overrides().lock);
        overrides().resourcePath = std::move(path);
    }
    mainBundle()->flushLocalizationCache();
}

void NSBundle::setMainBundleIdentifier(std::string identifier)
{
    {
        std::lock_guard guard(overrides().lock);
        overrides().identifier = std::move(identifier);
    }
    mainBundle()->flushLocalizationCache();
}

Ref<NSString> NSBundle::resourcePath() const
{
    std::string path;
    {
        std::lock_guard guard(overrides().lock);
        path = overrides().resourcePath;
    }
    return NSString::stringWithUTF8String(path.empty() ? defaultResourcePath() : path);
}

Ref<NSString> NSBundle::bundleIdentifier() const
{
    std::string identifier;
    {
        std::lock_guard guard(overrides().lock);
        identifier = overrides().identifier;
    }
    return NSString::stringWithUTF8String(identifier.empty() ? defaultIdentifier() : identifier);
}

std::vector<std::string> NSBundle::localizationSearchOrder() const
{
    std::lock_guard guard(lock_);
    if (!searchOrder_)
        searchOrder_ = searchOrderFromEnvironment();
    return *searchOrder_;
}

std::string NSBundle::preferredLocalization() const
{
    const std::string resources = resourcePath()->str();
    for (const auto& folder : localizationSearchOrder()) {
        std::error_code error;
        if (std::filesystem::is_directory(resources + "/" + folder + ".lproj", error))
            return folder;
    }
    return "en";
}

std::string NSBundle::preferredLanguageTag() const
{
    std::string folder = preferredLocalization();
    for (const auto& entry : legacyLocalizations) {
        if (entry.folder == folder)
            return std::string(entry.language);
    }
    std::replace(folder.begin(), folder.end(), '_', '-');
    return folder;
}

foundation::StringsTable NSBundle::localizedTable(std::string_view name) const
{
    std::lock_guard guard(lock_);
    const auto* entries = table(name.empty() ? std::string_view("Localizable") : name);
    return entries ? *entries : foundation::StringsTable();
}

void NSBundle::flushLocalizationCache()
{
    std::lock_guard guard(lock_);
    tables_.clear();
    searchOrder_.reset();
    stringObjects_.clear();
}

// Called with lock_ held. The first localization folder whose copy of the
// table exists and parses supplies the whole table; the others are not merged in.
const foundation::StringsTable* NSBundle::table(std::string_view name) const
{
    auto cached = tables_.find(name);
    if (cached == tables_.end()) {
        if (!searchOrder_)
            searchOrder_ = searchOrderFromEnvironment();
        std::string resources = resourcePath()->str();
        std::optional<foundation::StringsTable> loaded;
        for (const auto& folder : *searchOrder_) {
            loaded = foundation::loadStringsFile(resources + "/" + folder + ".lproj/" + std::string(name) + ".strings");
            if (loaded)
                break;
        }
        cached = tables_.emplace(std::string(name), std::move(loaded)).first;
    }
    return cached->second ? &*cached->second : nullptr;
}

std::string NSBundle::localizedString(std::string_view key, std::string_view value, std::string_view tableName) const
{
    {
        std::lock_guard guard(lock_);
        if (const auto* entries = table(tableName.empty() ? std::string_view("Localizable") : tableName)) {
            if (auto entry = entries->find(key); entry != entries->end())
                return entry->second;
        }
    }
    return std::string(value.empty() ? key : value);
}

Ref<NSString> NSBundle::localizedStringObject(std::string_view key, std::string_view value, std::string_view tableName) const
{
    // Found by views of the three texts and their hash, made once: a label
    // found copies nothing.
    const foundation::LabelView wanted(tableName, key, value);
    {
        // While the process has one thread nothing else can reach the cache.
        std::unique_lock guard(lock_, std::defer_lock);
        if (!__libc_single_threaded)
            guard.lock();
        if (auto found = stringObjects_.find(wanted); found != stringObjects_.end())
            return found->second;
    }
    auto text = NSString::stringWithUTF8String(localizedString(key, value, tableName));
    std::lock_guard guard(lock_);
    return stringObjects_.try_emplace(foundation::LabelKey(wanted), text).first->second;
}

Ref<NSString> NSBundle::localizedStringForKey(const NSString* key, const NSString* value, const NSString* tableName) const
{
    auto text = [](const NSString* string) { return string ? std::string_view(string->str()) : std::string_view(); };
    return NSString::stringWithUTF8String(localizedString(text(key), text(value), text(tableName)));
}
