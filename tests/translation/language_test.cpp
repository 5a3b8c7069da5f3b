// The choice of the language: LANG, then the platform's locale, then the locale identifier.

#include "translation/language.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace quorvex::translation {
namespace {

TEST(Language, LangWinsWhenSetAndIsCutAtItsFirstDot) {
    const PlatformLocale french{"fr", "FR"};
    EXPECT_EQ(ChooseLanguage("de_DE.UTF-8", french, 1033), "de_DE");
    EXPECT_EQ(ChooseLanguage("de_DE.UTF-8@euro", french, 1033), "de_DE");
    EXPECT_EQ(ChooseLanguage("sv", french, 1033), "sv");
    EXPECT_EQ(ChooseLanguage("C.UTF-8", french, 1033), "C");
    EXPECT_EQ(ChooseLanguage("nl_BE@euro", french, 1033), "nl_BE@euro");
}

TEST(Language, AnEmptyOrMissingLangFallsToThePlatformLocaleWhenBothCodesAreTwoLetters) {
    for (const char* lang : {static_cast<const char*>(nullptr), ""}) {
        EXPECT_EQ(ChooseLanguage(lang, {"de", "DE"}, 1033), "de_DE");
        EXPECT_EQ(ChooseLanguage(lang, {"pt", "BR"}, 0), "pt_BR");
        // Otherwise the locale identifier decides.
        EXPECT_EQ(ChooseLanguage(lang, {"es", "419"}, 3082), "es_ES");
        EXPECT_EQ(ChooseLanguage(lang, {"fil", "PH"}, 1033), "en_US");
        EXPECT_EQ(ChooseLanguage(lang, {"de", ""}, 4103), "de_LU");
        EXPECT_EQ(ChooseLanguage(lang, {"C", ""}, 0), "C");
        EXPECT_EQ(ChooseLanguage(lang, {"d1", "DE"}, 0), "C");
    }
}

TEST(Language, LocaleIdentifierTable) {
    const std::pair<std::uint32_t, const char*> known[] = {
        {1030, "da_DK"}, {1034, "es_ES"}, {3082, "es_ES"}, {1044, "no_NO"},
        {2068, "nn_NO"}, {2077, "sv_FI"}, {3084, "fr_CA"}, {4103, "de_LU"}};
    for (const auto& [id, language] : known) EXPECT_EQ(LanguageOfLocaleId(id), language) << id;
    for (const std::uint32_t id : {0u, 1041u, 1037u, 1048u, 2052u, 65535u}) {
        EXPECT_EQ(LanguageOfLocaleId(id), "C") << id;
    }
}

TEST(Language, UserLanguageReadsLang) {
    const char* saved = std::getenv("LANG");
    const std::optional<std::string> previous =
        saved != nullptr ? std::optional<std::string>(saved) : std::nullopt;
    ::setenv("LANG", "is_IS.ISO-8859-1", 1);
    EXPECT_EQ(UserLanguage(), "is_IS");
    if (previous) {
        ::setenv("LANG", previous->c_str(), 1);
    } else {
        ::unsetenv("LANG");
    }
}

}  // namespace
}  // namespace quorvex::translation
