// The catalogue reader on arbitrary files, and the index of catalogues appended to the
// program file on the same bytes.
//
// What must hold for every input:
// - nothing is read outside the bytes (AddressSanitizer: the input is an exact-size copy);
// - every string the reader hands out lies inside the bytes;
// - when the table of originals is strictly sorted and every entry is inside, the halving
//   search finds each original at its own index;
// - a lookup gives back the text itself, or a translation that is UTF-8 and has a CR before
//   every LF, or fails with the translation error;
// - every entry of an accepted index lies inside the file.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "translation/embedded_catalogues.h"
#include "translation/mo_catalogue.h"
#include "translation/translation_error.h"

namespace {

using quorvex::translation::EmbeddedCatalogues;
using quorvex::translation::IsValidUtf8;
using quorvex::translation::MoCatalogue;
using quorvex::translation::TranslateWith;

constexpr std::uint32_t kMostEntries = 512;

void Require(bool condition) {
    if (!condition) std::abort();
}

void RequireInside(std::string_view bytes, std::optional<std::string_view> part) {
    if (!part) return;
    Require(part->data() >= bytes.data() &&
            part->data() + part->size() <= bytes.data() + bytes.size());
}

void CheckLookup(const MoCatalogue& catalogue, std::string_view text) {
    try {
        const std::string result = TranslateWith(catalogue, text);
        if (result == text) return;
        Require(!result.empty() && IsValidUtf8(result));
        for (std::size_t i = 0; i < result.size(); ++i) {
            if (result[i] == '\n') Require(i > 0 && result[i - 1] == '\r');
        }
    } catch (const quorvex::translation::ETranslationError&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    if (const std::optional<MoCatalogue> catalogue = MoCatalogue::Parse(bytes)) {
        const std::uint32_t count =
            catalogue->Count() < kMostEntries ? catalogue->Count() : kMostEntries;
        bool sorted = count == catalogue->Count();
        std::optional<std::string_view> previous;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::optional<std::string_view> original = catalogue->Original(i);
            const std::optional<std::string_view> translation = catalogue->Translation(i);
            RequireInside(bytes, original);
            RequireInside(bytes, translation);
            if (!original || (previous && !(*previous < *original))) sorted = false;
            previous = original;
            if (original) {
                RequireInside(bytes, catalogue->Find(*original));
                CheckLookup(*catalogue, *original);
            }
        }
        if (sorted) {
            for (std::uint32_t i = 0; i < count; ++i) {
                Require(catalogue->Find(*catalogue->Original(i)) == catalogue->Translation(i));
            }
        }
        for (const std::string_view text :
             {std::string_view(), std::string_view("\r"),
              std::string_view("Unable to open com port"), std::string_view("\xff\xff\xff\xff")}) {
            RequireInside(bytes, catalogue->Find(text));
            CheckLookup(*catalogue, text);
        }
    }

    if (const auto entries = EmbeddedCatalogues::ParseIndex(bytes, size)) {
        for (const EmbeddedCatalogues::Entry& entry : *entries) {
            Require(!entry.name.empty() && entry.size > 0 && entry.offset <= size &&
                    entry.size <= size - entry.offset);
        }
    }
    return 0;
}
