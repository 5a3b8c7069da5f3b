#pragma once
// The choice of the user's language at start-up.
//
// Called on the user-interface thread before any other thread exists (UserLanguage reads the
// environment); the pure functions may be called from anywhere.

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvex::translation {

// The platform's default locale: ISO 639 language and ISO 3166 country code as it gives them.
struct PlatformLocale {
    std::string language;
    std::string country;
};

// The language for `langVariable` (the value of LANG, null when unset), the platform's
// locale and the thread's locale identifier, in that order of preference: LANG when set and
// not empty; else language_country when both are exactly two letters; else the language and
// country of the locale identifier; else "C". A value of LANG or of the platform is cut at
// its first "." (de_DE.UTF-8 gives de_DE).
std::string ChooseLanguage(const char* langVariable, const PlatformLocale& platform,
                           std::uint32_t localeId);

// The language_country of a Windows locale identifier of the known table, else "C".
std::string LanguageOfLocaleId(std::uint32_t localeId);

// The language of this run: LANG, then QLocale::system(). Linux has no locale identifiers,
// so the last step gives "C".
std::string UserLanguage();

}  // namespace quorvex::translation
