#include "translation/text_domain.h"

#include <filesystem>
#include <mutex>
#include <system_error>
#include <utility>

#include "translation/translation_error.h"

namespace quorvex::translation {

namespace {

// A file (not a folder) of that name exists on disk.
bool FileExists(const std::string& path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    return !error && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

}  // namespace

TextDomain::TextDomain(std::string name, CatalogueLocation location)
    : name_(std::move(name)), location_(std::move(location)) {}

std::string TextDomain::CatalogueFile(std::string_view folder, std::string_view language,
                                      std::string_view name) {
    std::string file;
    file.reserve(folder.size() + language.size() + name.size() + 17);
    file.append(folder).append(language).append("/LC_MESSAGES/").append(name).append(".mo");
    return file;
}

void TextDomain::SetLocation(CatalogueLocation location) {
    const std::unique_lock lock(mutex_);
    catalogue_.reset();
    mapping_.reset();
    location_ = std::move(location);
    openNeeded_ = true;
}

std::size_t TextDomain::OpeningAttempts() const {
    const std::shared_lock lock(mutex_);
    return openingAttempts_;
}

void TextDomain::Open() {
    // Cleared first: whatever happens below, this location is not tried again.
    openNeeded_ = false;
    if (location_.folder.empty()) return;
    ++openingAttempts_;

    const EmbeddedCatalogues* embedded = location_.embedded.get();
    auto exists = [&](const std::string& file) {
        return (embedded != nullptr && embedded->Find(file) != nullptr) || FileExists(file);
    };
    std::string file = CatalogueFile(location_.folder, location_.language, name_);
    if (!exists(file)) {
        file = CatalogueFile(location_.folder, location_.language.substr(0, 2), name_);
        if (!exists(file)) return;
    }

    const EmbeddedCatalogues::Entry* entry = embedded != nullptr ? embedded->Find(file) : nullptr;
    FileMapping mapping = entry != nullptr ? FileMapping::Map(embedded->ProgramPath(), file,
                                                              entry->offset, entry->size)
                                           : FileMapping::Map(file, file);
    std::optional<MoCatalogue> catalogue = MoCatalogue::Parse(mapping.Bytes());
    if (!catalogue) {
        throw ETranslationError("This file is not a valid GNU gettext mo file: " + file);
    }
    mapping_ = std::move(mapping);
    catalogue_ = catalogue;
}

std::string TextDomain::Translate(std::string_view text) {
    for (;;) {
        {
            const std::shared_lock lock(mutex_);
            if (!openNeeded_) {
                if (!catalogue_) return std::string(text);
                return TranslateWith(*catalogue_, text);
            }
        }
        const std::unique_lock lock(mutex_);
        if (openNeeded_) Open();
    }
}

}  // namespace quorvex::translation
