#include "translation/language.h"

#include <QLocale>
#include <QString>
#include <cstdlib>

namespace quorvex::translation {

namespace {

bool IsTwoLetters(std::string_view text) {
    auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    return text.size() == 2 && letter(text[0]) && letter(text[1]);
}

std::string UpToDot(std::string_view text) {
    return std::string(text.substr(0, text.find('.')));
}

}  // namespace

std::string LanguageOfLocaleId(std::uint32_t localeId) {
    struct Known {
        std::uint32_t id;
        const char* language;
    };
    static constexpr Known kTable[] = {
        {1030, "da_DK"}, {1031, "de_DE"}, {1032, "el_GR"}, {1033, "en_US"}, {1034, "es_ES"},
        {3082, "es_ES"}, {1035, "fi_FI"}, {1036, "fr_FR"}, {1039, "is_IS"}, {1040, "it_IT"},
        {1042, "ko_KR"}, {1043, "nl_NL"}, {1044, "no_NO"}, {1045, "pl_PL"}, {1046, "pt_BR"},
        {1049, "ru_RU"}, {1053, "sv_SE"}, {2057, "en_GB"}, {2060, "fr_BE"}, {2067, "nl_BE"},
        {2068, "nn_NO"}, {2070, "pt_PT"}, {2077, "sv_FI"}, {3084, "fr_CA"}, {4103, "de_LU"},
    };
    for (const Known& known : kTable) {
        if (known.id == localeId) return known.language;
    }
    return "C";
}

std::string ChooseLanguage(const char* langVariable, const PlatformLocale& platform,
                           std::uint32_t localeId) {
    if (langVariable != nullptr && *langVariable != '\0') return UpToDot(langVariable);
    if (IsTwoLetters(platform.language) && IsTwoLetters(platform.country)) {
        return UpToDot(platform.language + "_" + platform.country);
    }
    return LanguageOfLocaleId(localeId);
}

std::string UserLanguage() {
    const QLocale system = QLocale::system();
    PlatformLocale platform;
    platform.language = QLocale::languageToCode(system.language()).toStdString();
    platform.country = QLocale::territoryToCode(system.territory()).toStdString();
    return ChooseLanguage(std::getenv("LANG"), platform, 0);
}

}  // namespace quorvex::translation
