// ICU takes its default locale, the one dates are written in, from the
// program's own LC_MESSAGES when the program has set one, else from the
// first of LC_ALL, LC_MESSAGES and LANG that is in the environment. It
// counts a variable set to nothing as set, where POSIX counts it as unset:
// with `LC_ALL= LANG=de_DE.UTF-8` (an empty LC_ALL, as some shells and
// remote sessions leave it) the labels were German but the dates in ICU's
// root form, "2026 M12 8 16:07". When the platform loads, before anything
// asks ICU, such an empty variable is passed over as the C library and the
// strings tables pass over it.

#include <unicode/locid.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool isSetToNothing(const char* variable)
{
    const char* value = std::getenv(variable);
    return value && !*value;
}

// ICU's name of a POSIX locale name: without its character set; C and
// POSIX are ICU's en_US_POSIX. Empty for a name with a modifier ("@euro"),
// left to ICU.
std::string icuLocaleName(std::string posix)
{
    if (posix.find('@') != std::string::npos)
        return {};
    posix = posix.substr(0, posix.find('.'));
    if (posix.empty() || posix == "C" || posix == "POSIX")
        return "en_US_POSIX";
    return posix;
}

bool passOverEmptyLocaleVariables()
{
    // A program that set its own messages locale is followed by ICU as set.
    const char* programs = std::setlocale(LC_MESSAGES, nullptr);
    if (programs && std::strcmp(programs, "C") != 0 && std::strcmp(programs, "POSIX") != 0)
        return false;
    // ICU reads the first of these that is present, empty or not.
    const char* icuReads = nullptr;
    for (const char* variable : { "LC_ALL", "LC_MESSAGES", "LANG" }) {
        if (std::getenv(variable)) {
            icuReads = variable;
            break;
        }
    }
    if (!icuReads || !isSetToNothing(icuReads))
        return false;
    std::string posix;
    for (const char* variable : { "LC_ALL", "LC_MESSAGES", "LANG" }) {
        if (const char* value = std::getenv(variable); value && *value) {
            posix = value;
            break;
        }
    }
    const std::string name = icuLocaleName(posix);
    if (name.empty())
        return false;
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale::setDefault(icu::Locale(name.c_str()), status);
    return U_SUCCESS(status);
}

[[maybe_unused]] const bool passedOver = passOverEmptyLocaleVariables();

} // namespace
