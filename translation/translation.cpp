#include "translation/translation.h"

#include <memory>
#include <utility>

#include "translation/embedded_catalogues.h"
#include "translation/language.h"

namespace quorvex::translation {

Translator& ProgramTranslator() {
    // Never destroyed: threads may still load messages while the program ends.
    static Translator* const translator = new Translator();
    return *translator;
}

void InitialiseTranslation(const std::string& dataFolder, const std::string& programPath) {
    auto embedded = std::make_shared<const EmbeddedCatalogues>(
        EmbeddedCatalogues::Read(programPath, dataFolder, EmbeddedCatalogues::OwnStartOffset()));
    // Components are not translated, so there are no properties to exclude from translation.
    ProgramTranslator().Configure(dataFolder + "locale/", UserLanguage(), std::move(embedded));
}

void UseBuiltInTexts() {
    // A translator without a catalogue folder opens nothing and passes every text unchanged.
    ProgramTranslator().Configure(std::string(), "C", nullptr);
}

std::string Translate(std::string_view text) {
    return ProgramTranslator().Translate(text);
}

void AddResourceStringDomain(std::string name) {
    ProgramTranslator().AddResourceStringDomain(std::move(name));
}

}  // namespace quorvex::translation
