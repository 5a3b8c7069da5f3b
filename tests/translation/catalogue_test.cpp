// The catalogue reader over bytes: both byte orders, the halving search over many sizes,
// corrupt files, and the lookup rules for CR, LF, UTF-8 and empty texts.

#include "translation/mo_catalogue.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "catalogue_files.h"
#include "translation/translation_error.h"

namespace quorvex::translation {
namespace {

using test::BuildCatalogue;
using test::Entries;
using test::PutWord;

std::string Key(int i) {
    char text[16];
    std::snprintf(text, sizeof text, "key%04d", i);
    return text;
}

// Entries with even numbers only, so that odd numbers fall between them.
Entries EvenKeys(int count) {
    Entries entries;
    for (int i = 0; i < count; ++i) entries.emplace_back(Key(2 * i), "value " + Key(2 * i));
    return entries;
}

TEST(CatalogueSearch, FindsEveryEntryAndMissesTheRestInBothByteOrders) {
    for (const bool bigEndian : {false, true}) {
        for (const int count : {0, 1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 32, 33, 100}) {
            SCOPED_TRACE("N = " + std::to_string(count) + (bigEndian ? ", big-endian" : ""));
            const std::string bytes = BuildCatalogue(EvenKeys(count), bigEndian);
            const auto catalogue = MoCatalogue::Parse(bytes);
            ASSERT_TRUE(catalogue.has_value());
            EXPECT_EQ(catalogue->Swapped(), bigEndian);
            EXPECT_EQ(catalogue->Count(), static_cast<std::uint32_t>(count));
            for (int i = 0; i < count; ++i) {
                const auto found = catalogue->Find(Key(2 * i));
                ASSERT_TRUE(found.has_value()) << Key(2 * i);
                EXPECT_EQ(*found, "value " + Key(2 * i));
            }
            for (int i = -1; i <= 2 * count + 1; i += 2) {
                EXPECT_FALSE(catalogue->Find(Key(i)).has_value()) << Key(i);
            }
            EXPECT_FALSE(catalogue->Find("").has_value());
            EXPECT_FALSE(catalogue->Find("zzz").has_value());
        }
    }
}

TEST(CatalogueSearch, ComparesByByteValueAndStopsStringsAtTheirNul) {
    // Plural entries hold "singular\0plural"; the singular finds the first form. Bytes above
    // 127 sort after ASCII.
    const std::string bytes =
        BuildCatalogue({{"Z", "zett"},
                        {"a", "ah"},
                        {std::string("file\0files", 10), std::string("Datei\0Dateien", 13)},
                        {"\xc3\x84pfel", "apples"}});
    const auto catalogue = MoCatalogue::Parse(bytes);
    ASSERT_TRUE(catalogue.has_value());
    EXPECT_EQ(catalogue->Find("Z"), "zett");
    EXPECT_EQ(catalogue->Find("a"), "ah");
    EXPECT_EQ(catalogue->Find("file"), "Datei");
    EXPECT_EQ(catalogue->Find("\xc3\x84pfel"), "apples");
    EXPECT_FALSE(catalogue->Find("files").has_value());
}

TEST(CatalogueCorrupt, RefusesAHeaderOrTablesOutsideTheBytes) {
    const std::string good = BuildCatalogue(EvenKeys(3));
    for (std::size_t size = 0; size < 20; ++size) {
        // A copy of exactly `size` bytes, so that reading past it is caught.
        const std::string truncated = good.substr(0, size);
        EXPECT_FALSE(MoCatalogue::Parse(truncated).has_value()) << size;
    }
    std::string badMagic = good;
    badMagic[0] = 0x00;
    EXPECT_FALSE(MoCatalogue::Parse(badMagic).has_value());

    struct Case {
        const char* what;
        std::size_t at;
        std::uint32_t value;
    };
    for (const Case& c :
         {Case{"N beyond the file", 8, 1000}, Case{"N whose tables wrap around", 8, 0x20000000},
          Case{"originals table past the end", 12, 0xfffffff0},
          Case{"translations table past the end", 16,
               static_cast<std::uint32_t>(good.size() - 8)}}) {
        std::string bytes = good;
        PutWord(bytes, c.at, c.value, false);
        EXPECT_FALSE(MoCatalogue::Parse(bytes).has_value()) << c.what;
    }
    // A table that ends exactly at the end of the file is inside it.
    std::string edge = BuildCatalogue({}, false);
    PutWord(edge, 12, static_cast<std::uint32_t>(edge.size()), false);
    EXPECT_TRUE(MoCatalogue::Parse(edge).has_value());
}

TEST(CatalogueCorrupt, StringsOutsideTheBytesLeaveTheirEntriesUntranslated) {
    const std::string good = BuildCatalogue(EvenKeys(5));
    const auto size = static_cast<std::uint32_t>(good.size());
    const std::size_t originals = 28;
    const std::size_t translations = originals + 8 * 5;
    struct Case {
        const char* what;
        std::size_t entry;  // the table entry whose length and offset are replaced
        std::uint32_t length;
        std::uint32_t offset;
        int lost;  // the entry that can no longer be translated
    };
    for (const Case& c :
         {Case{"translation offset past the end", translations + 8 * 4, 1, size + 1, 4},
          Case{"translation length past the end", translations + 8 * 1, size, 1, 1},
          Case{"offset and length wrapping around", translations + 8 * 2, 0x20, 0xfffffff0, 2},
          Case{"original offset past the end", originals + 8 * 0, 4, size, 0}}) {
        SCOPED_TRACE(c.what);
        std::string bytes = good;
        PutWord(bytes, c.entry, c.length, false);
        PutWord(bytes, c.entry + 4, c.offset, false);
        const auto catalogue = MoCatalogue::Parse(bytes);
        ASSERT_TRUE(catalogue.has_value());
        EXPECT_FALSE(catalogue->Find(Key(2 * c.lost)).has_value());
        // The entry where every search starts (index 3) is intact and still found.
        EXPECT_EQ(catalogue->Find(Key(6)), "value " + Key(6));
    }
}

TEST(CatalogueLookup, CarriageReturnsAndEmptyTexts) {
    const std::string bytes = BuildCatalogue({{"", "Content-Type: text/plain; charset=UTF-8\n"},
                                              {"one\ntwo", "eins\nzwei\r\ndrei\n"},
                                              {"lead", "\nfirst"},
                                              {"plain", "schlicht"}});
    const auto catalogue = MoCatalogue::Parse(bytes);
    ASSERT_TRUE(catalogue.has_value());
    // CRs are removed from the key and put before every LF of the translation that has none.
    EXPECT_EQ(TranslateWith(*catalogue, "one\r\ntwo"), "eins\r\nzwei\r\ndrei\r\n");
    EXPECT_EQ(TranslateWith(*catalogue, "one\ntwo"), "eins\r\nzwei\r\ndrei\r\n");
    EXPECT_EQ(TranslateWith(*catalogue, "lead"), "\r\nfirst");
    EXPECT_EQ(TranslateWith(*catalogue, "pla\rin"), "schlicht");
    EXPECT_EQ(TranslateWith(*catalogue, "other\r\n"), "other\r\n");
    // Empty texts, or texts of CRs alone, never reach the header entry.
    EXPECT_EQ(TranslateWith(*catalogue, ""), "");
    EXPECT_EQ(TranslateWith(*catalogue, "\r"), "\r");
}

TEST(CatalogueLookup, EmptyOrNonUtf8TranslationsFail) {
    const std::string bytes =
        BuildCatalogue({{"blank", ""},
                        {"latin1", "Gr\xfc\xdf"},
                        {"utf8", "Gr\xc3\xbc\xc3\x9f \xe2\x82\xac \xf0\x9f\x93\xa1"}});
    const auto catalogue = MoCatalogue::Parse(bytes);
    ASSERT_TRUE(catalogue.has_value());
    EXPECT_EQ(TranslateWith(*catalogue, "utf8"),
              "Gr\xc3\xbc\xc3\x9f \xe2\x82\xac \xf0\x9f\x93\xa1");
    for (const char* text : {"blank", "latin1"}) {
        try {
            TranslateWith(*catalogue, text);
            ADD_FAILURE() << text << " translated without error";
        } catch (const ETranslationError& error) {
            EXPECT_EQ(std::string(error.what()),
                      std::string("Error: Could not translate ") + text +
                          ". Probably because the mo file doesn't contain utf-8 encoded "
                          "translations.");
        }
    }
}

TEST(CatalogueLookup, Utf8Validation) {
    for (const char* good : {"", "abc", "\xc2\x80", "\xdf\xbf", "\xe0\xa0\x80", "\xed\x9f\xbf",
                             "\xee\x80\x80", "\xf0\x90\x80\x80", "\xf4\x8f\xbf\xbf"}) {
        EXPECT_TRUE(IsValidUtf8(good)) << good;
    }
    for (const char* bad :
         {"\x80", "\xc0\xaf", "\xc1\xbf", "\xe0\x80\xaf", "\xed\xa0\x80", "\xf0\x80\x80\xaf",
          "\xf4\x90\x80\x80", "\xf5\x80\x80\x80", "\xc3", "\xe2\x82", "a\xc3(", "\xff"}) {
        EXPECT_FALSE(IsValidUtf8(bad)) << bad;
    }
}

}  // namespace
}  // namespace quorvex::translation
