#pragma once
// The reader of compiled GNU gettext catalogues (".mo" files) over bytes in memory.
//
// A catalogue is a 20-byte header (magic, revision, N, offset of the table of originals,
// offset of the table of translations), two tables of N entries (32-bit length, 32-bit
// offset) and the strings they point to. The magic 950412de means the file is in this
// machine's byte order, de120495 that every 32-bit number must be byte-swapped.
//
// Nothing read from the file is trusted: a header or a table that does not lie wholly inside
// the bytes makes Parse refuse the catalogue, and a string that does not makes its entry
// untranslated, so no lookup ever reads outside the bytes it was given.
//
// MoCatalogue is a view: it holds no bytes of its own and must not outlive them. Its const
// members are safe to call from any number of threads at once.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvex::translation {

class MoCatalogue {
  public:
    static constexpr std::uint32_t kMagic = 0x950412de;
    static constexpr std::uint32_t kSwappedMagic = 0xde120495;

    // The catalogue in `bytes`, or nothing when they are not a valid catalogue.
    static std::optional<MoCatalogue> Parse(std::string_view bytes);

    std::uint32_t Count() const { return count_; }
    bool Swapped() const { return swapped_; }

    // The original of entry `index`, up to its first NUL (a plural entry's singular);
    // nothing when the entry points outside the catalogue.
    std::optional<std::string_view> Original(std::uint32_t index) const;
    // The translation of entry `index`, up to its first NUL (the first plural form).
    std::optional<std::string_view> Translation(std::uint32_t index) const;

    // The translation of `original` found by halving the sorted table of originals; nothing
    // when the catalogue has no such original or the search meets an entry that points
    // outside the catalogue.
    std::optional<std::string_view> Find(std::string_view original) const;

  private:
    MoCatalogue(std::string_view bytes, bool swapped, std::uint32_t count, std::uint32_t originals,
                std::uint32_t translations)
        : bytes_(bytes),
          swapped_(swapped),
          count_(count),
          originals_(originals),
          translations_(translations) {}

    std::uint32_t Word(std::uint64_t offset) const;
    std::optional<std::string_view> String(std::uint32_t table, std::uint32_t index) const;

    std::string_view bytes_;
    bool swapped_;
    std::uint32_t count_;
    std::uint32_t originals_;
    std::uint32_t translations_;
};

// The program's text as the catalogue's key: every CR removed.
std::string WithoutCarriageReturns(std::string_view text);
// A translation as the program shows it: a CR before every LF that has none.
std::string WithCarriageReturns(std::string_view text);
// Whether `text` is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool IsValidUtf8(std::string_view text);

// The translation of `text` in `catalogue`, or `text` itself when there is none. An empty
// text is returned unchanged. ETranslationError when a non-empty text has a translation that
// is empty or not UTF-8.
std::string TranslateWith(const MoCatalogue& catalogue, std::string_view text);

}  // namespace quorvex::translation
