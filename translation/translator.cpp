#include "translation/translator.h"

#include <mutex>
#include <utility>

namespace quorvex::translation {

Translator::Translator() : Translator(std::string(), "C") {}

Translator::Translator(std::string catalogueFolder, std::string language,
                       std::shared_ptr<const EmbeddedCatalogues> embedded)
    : folder_(std::move(catalogueFolder)),
      language_(std::move(language)),
      embedded_(std::move(embedded)) {
    // The current domain exists from the start.
    Domain(kDefaultDomain);
}

CatalogueLocation Translator::Location() const {
    return {folder_, language_, embedded_};
}

void Translator::Configure(std::string catalogueFolder, std::string language,
                           std::shared_ptr<const EmbeddedCatalogues> embedded) {
    const std::unique_lock lock(mutex_);
    folder_ = std::move(catalogueFolder);
    language_ = std::move(language);
    embedded_ = std::move(embedded);
    for (auto& [name, domain] : domains_) domain->SetLocation(Location());
}

void Translator::UseLanguage(std::string language) {
    const std::unique_lock lock(mutex_);
    language_ = std::move(language);
    for (auto& [name, domain] : domains_) domain->SetLocation(Location());
}

std::string Translator::Language() const {
    const std::shared_lock lock(mutex_);
    return language_;
}

TextDomain& Translator::Domain(std::string_view name) {
    {
        const std::shared_lock lock(mutex_);
        const auto found = domains_.find(name);
        if (found != domains_.end()) return *found->second;
    }
    const std::unique_lock lock(mutex_);
    auto found = domains_.find(name);
    if (found == domains_.end()) {
        found = domains_
                    .emplace(std::string(name),
                             std::make_unique<TextDomain>(std::string(name), Location()))
                    .first;
    }
    // Domains are never removed, so the reference stays valid after the lock is released.
    return *found->second;
}

std::string Translator::Translate(std::string_view text) {
    return Domain(kDefaultDomain).Translate(text);
}

std::string Translator::TranslateIn(std::string_view domain, std::string_view text) {
    return Domain(domain).Translate(text);
}

void Translator::AddResourceStringDomain(std::string name) {
    const std::unique_lock lock(resourceDomainsMutex_);
    resourceDomains_.push_back(std::move(name));
}

std::vector<std::string> Translator::ResourceStringDomains() const {
    const std::shared_lock lock(resourceDomainsMutex_);
    return resourceDomains_;
}

std::string Translator::TranslateResourceString(std::string_view text) {
    const std::shared_lock lock(resourceDomainsMutex_);
    for (const std::string& domain : resourceDomains_) {
        std::string result = TranslateIn(domain, text);
        if (result != text) return result;
    }
    return std::string(text);
}

std::size_t Translator::OpeningAttempts(std::string_view domain) const {
    const std::shared_lock lock(mutex_);
    const auto found = domains_.find(domain);
    return found == domains_.end() ? 0 : found->second->OpeningAttempts();
}

}  // namespace quorvex::translation
