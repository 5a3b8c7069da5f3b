#pragma once
// The translation layer: text domains by name, the current domain "default", and the ordered
// list of resource-string domains that the resource-string loader consults.
//
// Threads: every member may be called from any thread at once (a message built in the UDP
// listener thread, for example). The domains and the language are guarded by one
// readers-writer lock, the list of resource-string domains by another, and each domain's
// catalogue by the domain's own. A lookup blocks only while a catalogue is being opened
// (a file mapping and a header read). There is nothing to shut down: the translator is
// destroyed when no thread uses it any more (the program's own lives for the whole run).

#include <cstddef>
#include <map>
#include <memory>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

#include "translation/embedded_catalogues.h"
#include "translation/text_domain.h"

namespace quorvex::translation {

inline constexpr std::string_view kDefaultDomain = "default";

class Translator {
  public:
    // A translator without catalogues: every text passes unchanged and no file is opened.
    Translator();
    // Catalogues under `catalogueFolder` (ends in "/", e.g. the program folder + "locale/")
    // for `language`, looked up first in `embedded` (may be null), then on disk.
    Translator(std::string catalogueFolder, std::string language,
               std::shared_ptr<const EmbeddedCatalogues> embedded = nullptr);

    Translator(const Translator&) = delete;
    Translator& operator=(const Translator&) = delete;

    // Takes a new catalogue folder, language and embedded index for every domain, existing or
    // later; each domain opens its catalogue again at its next lookup.
    void Configure(std::string catalogueFolder, std::string language,
                   std::shared_ptr<const EmbeddedCatalogues> embedded);
    // Gives `language` to every domain, which reopen their catalogues at their next lookup.
    void UseLanguage(std::string language);
    std::string Language() const;

    // `text` looked up in the current domain ("default"): its translation or the text itself.
    // ETranslationError when the domain's catalogue cannot be opened (reported once) or the
    // translation found does not decode.
    std::string Translate(std::string_view text);
    // The same in the domain `domain`, created at its first use.
    std::string TranslateIn(std::string_view domain, std::string_view text);

    // Appends `name` to the resource-string domains, after "default" and those added before.
    void AddResourceStringDomain(std::string name);
    std::vector<std::string> ResourceStringDomains() const;
    // A resource string looked up in the resource-string domains in order: the first result
    // that differs from `text` wins; without one the text stays unchanged.
    std::string TranslateResourceString(std::string_view text);

    // How often the domain's catalogue was searched for (0 for a domain never used).
    std::size_t OpeningAttempts(std::string_view domain) const;

  private:
    TextDomain& Domain(std::string_view name);
    CatalogueLocation Location() const;  // under mutex_

    mutable std::shared_mutex mutex_;
    std::string folder_;
    std::string language_;
    std::shared_ptr<const EmbeddedCatalogues> embedded_;
    std::map<std::string, std::unique_ptr<TextDomain>, std::less<>> domains_;

    mutable std::shared_mutex resourceDomainsMutex_;
    std::vector<std::string> resourceDomains_{std::string(kDefaultDomain)};
};

}  // namespace quorvex::translation
