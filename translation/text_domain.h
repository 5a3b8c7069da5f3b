#pragma once
// One text domain: a named set of translations, read from the catalogue
// <folder><language>/LC_MESSAGES/<name>.mo (or the one of the language's first two
// characters when that does not exist), found in the embedded index or on disk.
//
// Threads: every member may be called from any thread at once. Lookups share the domain's
// lock; opening the catalogue (once, at the first lookup after the language was set) and
// changing the location take it exclusively. Opening maps the file and reads its header only,
// so a lookup blocks at most for that. A failed opening is not repeated: the domain then
// translates nothing until its location is set again. Destroy a domain only when no thread
// uses it.

#include <cstddef>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>

#include "translation/embedded_catalogues.h"
#include "translation/file_mapping.h"
#include "translation/mo_catalogue.h"

namespace quorvex::translation {

// Where a domain looks for its catalogue. An empty folder means nowhere: nothing is opened.
struct CatalogueLocation {
    std::string folder;
    std::string language;
    std::shared_ptr<const EmbeddedCatalogues> embedded;
};

class TextDomain {
  public:
    TextDomain(std::string name, CatalogueLocation location);

    const std::string& Name() const { return name_; }

    // Takes a new folder and language and drops the open catalogue; the next lookup opens
    // the catalogue again.
    void SetLocation(CatalogueLocation location);

    // The translation of `text`, or the text itself when the domain has none. Opens the
    // catalogue first if needed; ETranslationError when that fails (once) or when the
    // translation does not decode.
    std::string Translate(std::string_view text);

    // How often the catalogue was searched for: at most once per location.
    std::size_t OpeningAttempts() const;

    // The catalogue file of `name` for `language` under `folder`.
    static std::string CatalogueFile(std::string_view folder, std::string_view language,
                                     std::string_view name);

  private:
    void Open();  // under the exclusive lock

    const std::string name_;
    mutable std::shared_mutex mutex_;
    CatalogueLocation location_;
    bool openNeeded_ = true;
    std::size_t openingAttempts_ = 0;
    std::optional<FileMapping> mapping_;
    std::optional<MoCatalogue> catalogue_;
};

}  // namespace quorvex::translation
