// The translator over catalogue files: where catalogues are found, how often they are
// opened, the failure texts, the resource-string domains, catalogues appended to the program
// file, and lookups from several threads at once.

#include "translation/translator.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "catalogue_files.h"
#include "translation/embedded_catalogues.h"
#include "translation/translation_error.h"

namespace quorvex::translation {
namespace {

using test::BuildCatalogue;
using test::CataloguePath;
using test::CompileCatalogue;
using test::Entries;
using test::TempFolder;
using test::WriteFile;

const Entries kGerman = {{"Unable to open com port",
                          "COM-Port kann nicht ge\xc3\xb6"
                          "ffnet werden"},
                         {"Connection refused.", "Verbindung abgelehnt."}};

std::string LocaleFolder(const TempFolder& app) {
    return app.Folder() + "locale/";
}

// The message of the ETranslationError that `action` raises; empty if it raises none.
template <typename Action>
std::string FailureOf(Action action) {
    try {
        action();
    } catch (const ETranslationError& error) {
        return error.what();
    }
    return {};
}

TEST(TranslatorFiles, TakesTheLanguagesCatalogueElseTheOneOfItsFirstTwoLetters) {
    TempFolder app;
    CompileCatalogue(kGerman, CataloguePath(app, "de"));
    CompileCatalogue({{"Connection refused.", "Verbindung verweigert (AT)."}},
                     CataloguePath(app, "de_AT"));

    Translator austrian(LocaleFolder(app), "de_AT");
    EXPECT_EQ(austrian.Translate("Connection refused."), "Verbindung verweigert (AT).");
    // The de_AT catalogue exists, so de is not consulted for what it lacks.
    EXPECT_EQ(austrian.Translate("Unable to open com port"), "Unable to open com port");

    Translator german(LocaleFolder(app), "de_DE");
    EXPECT_EQ(german.Translate("Unable to open com port"),
              "COM-Port kann nicht ge\xc3\xb6"
              "ffnet werden");
    EXPECT_EQ(german.Translate("Connection refused."), "Verbindung abgelehnt.");
    EXPECT_EQ(german.Translate("Not in the catalogue"), "Not in the catalogue");
    EXPECT_EQ(german.Translate(""), "");

    Translator french(LocaleFolder(app), "fr_FR");
    EXPECT_EQ(french.Translate("Connection refused."), "Connection refused.");

    // A catalogue written in the other byte order.
    WriteFile(CataloguePath(app, "fr"), BuildCatalogue(kGerman, /*bigEndian=*/true));
    french.UseLanguage("fr_CA");
    EXPECT_EQ(french.Translate("Connection refused."), "Verbindung abgelehnt.");
}

TEST(TranslatorFiles, WithoutALocaleFolderTextsPassAndEachDomainIsSearchedOnce) {
    TempFolder app;
    Translator translator(LocaleFolder(app), "de_DE");
    translator.AddResourceStringDomain("serial");
    for (int round = 0; round < 50; ++round) {
        EXPECT_EQ(translator.Translate("Connection refused."), "Connection refused.");
        EXPECT_EQ(translator.TranslateIn("serial", "Registry error"), "Registry error");
        EXPECT_EQ(translator.TranslateResourceString("line\r\nbreak"), "line\r\nbreak");
    }
    EXPECT_EQ(translator.OpeningAttempts("default"), 1u);
    EXPECT_EQ(translator.OpeningAttempts("serial"), 1u);

    // A catalogue that appears later is not looked for again until the language is given anew.
    CompileCatalogue(kGerman, CataloguePath(app, "de_DE"));
    EXPECT_EQ(translator.Translate("Connection refused."), "Connection refused.");
    EXPECT_EQ(translator.OpeningAttempts("default"), 1u);
    translator.UseLanguage("de_DE");
    EXPECT_EQ(translator.Translate("Connection refused."), "Verbindung abgelehnt.");
    EXPECT_EQ(translator.OpeningAttempts("default"), 2u);

    Translator withoutCatalogues;
    EXPECT_EQ(withoutCatalogues.Translate("Connection refused."), "Connection refused.");
    EXPECT_EQ(withoutCatalogues.OpeningAttempts("default"), 0u);
}

TEST(TranslatorFiles, OpeningFailuresCarryTheirTextsAndAreNotRepeated) {
    const std::string good = BuildCatalogue(kGerman);
    std::string tableOutside = good;
    test::PutWord(tableOutside, 16, static_cast<std::uint32_t>(good.size()), false);
    struct Case {
        const char* what;
        std::string bytes;
        const char* failure;
    };
    for (const Case& c : {Case{"wrong magic", "\x12\x34\x56\x78" + good.substr(4),
                               "This file is not a valid GNU gettext mo file: "},
                          Case{"truncated header", good.substr(0, 19),
                               "This file is not a valid GNU gettext mo file: "},
                          Case{"table outside the file", tableOutside,
                               "This file is not a valid GNU gettext mo file: "},
                          Case{"empty file", "", "Cannot create memory map on file "}}) {
        SCOPED_TRACE(c.what);
        TempFolder app;
        const std::string file = CataloguePath(app, "de_DE").string();
        WriteFile(file, c.bytes);
        Translator translator(LocaleFolder(app), "de_DE");
        EXPECT_EQ(FailureOf([&] { translator.Translate("Connection refused."); }),
                  c.failure + file);
        EXPECT_EQ(translator.Translate("Connection refused."), "Connection refused.");
        EXPECT_EQ(translator.OpeningAttempts("default"), 1u);
    }
    if (::geteuid() != 0) {  // root reads any file
        TempFolder app;
        const auto file = CataloguePath(app, "de_DE");
        WriteFile(file, good);
        std::filesystem::permissions(file, std::filesystem::perms::none);
        Translator translator(LocaleFolder(app), "de_DE");
        EXPECT_EQ(FailureOf([&] { translator.Translate("x"); }),
                  "Cannot open file " + file.string());
    }
}

TEST(TranslatorDomains, ResourceStringsTakeTheFirstDomainThatChangesThem) {
    TempFolder app;
    CompileCatalogue({{"Registry error", "Registrierungsfehler"}}, CataloguePath(app, "de"));
    CompileCatalogue({{"Registry error", "Fehler der Registrierung"},
                      {"Link (un)registration failed", "Verkn\xc3\xbcpfung fehlgeschlagen"}},
                     CataloguePath(app, "de", "serial"));
    Translator translator(LocaleFolder(app), "de");
    EXPECT_EQ(translator.TranslateResourceString("Link (un)registration failed"),
              "Link (un)registration failed");

    translator.AddResourceStringDomain("serial");
    EXPECT_EQ(translator.ResourceStringDomains(), (std::vector<std::string>{"default", "serial"}));
    EXPECT_EQ(translator.TranslateResourceString("Registry error"), "Registrierungsfehler");
    EXPECT_EQ(translator.TranslateResourceString("Link (un)registration failed"),
              "Verkn\xc3\xbcpfung fehlgeschlagen");
    EXPECT_EQ(translator.TranslateResourceString("Failed to load settings"),
              "Failed to load settings");
    // Translate looks in the current domain only.
    EXPECT_EQ(translator.Translate("Link (un)registration failed"), "Link (un)registration failed");
}

TEST(TranslatorThreads, LookupsFromManyThreadsAtOnce) {
    TempFolder app;
    Entries entries;
    for (int i = 0; i < 200; ++i) {
        entries.emplace_back("text " + std::to_string(i), "Text " + std::to_string(i) + "\n!");
    }
    CompileCatalogue(entries, CataloguePath(app, "de"));
    CompileCatalogue({{"serial only", "nur seriell"}}, CataloguePath(app, "de", "serial"));
    Translator translator(LocaleFolder(app), "de_DE");

    constexpr int kThreads = 8;
    std::atomic<int> ready{0};
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            ++ready;
            while (ready < kThreads) std::this_thread::yield();
            if (t == 0) translator.AddResourceStringDomain("serial");
            for (int round = 0; round < 300; ++round) {
                const int i = (round * 7 + t * 13) % 250;  // 200 and above are absent
                const std::string text = "text " + std::to_string(i);
                const std::string expected = i < 200 ? "Text " + std::to_string(i) + "\r\n!" : text;
                if (translator.Translate(text) != expected) ++wrong;
                if (translator.TranslateResourceString(text) != expected) ++wrong;
                const std::string serial = translator.TranslateResourceString("serial only");
                if (serial != "serial only" && serial != "nur seriell") ++wrong;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(translator.OpeningAttempts("default"), 1u);
    EXPECT_EQ(translator.OpeningAttempts("serial"), 1u);
    EXPECT_EQ(translator.TranslateResourceString("serial only"), "nur seriell");
}

// A program file: `before` bytes, the marker with the index's offset, the catalogue at an
// offset that is not on a page boundary, then the index naming it `name`.
struct ProgramFile {
    std::uint64_t indexOffset = 0;
    std::string bytes;
};

void PutLittle(std::string& bytes, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xff);
}

ProgramFile MakeProgramFile(std::size_t before, const std::string& catalogue,
                            const std::string& name) {
    ProgramFile program;
    std::string& bytes = program.bytes;
    bytes.assign(before, 'x');
    const std::size_t offsetAt = bytes.size() + EmbeddedCatalogues::Marker().size();
    bytes += EmbeddedCatalogues::Marker();
    bytes.append(8, '\0');
    bytes.append(5000 - bytes.size() % 4096, 'y');
    const std::uint64_t catalogueOffset = bytes.size();
    bytes += catalogue;
    program.indexOffset = bytes.size();
    PutLittle(bytes, 1, 4);
    PutLittle(bytes, name.size(), 4);
    bytes += name;
    PutLittle(bytes, catalogueOffset, 8);
    PutLittle(bytes, catalogue.size(), 8);
    for (int i = 0; i < 8; ++i) {
        bytes[offsetAt + static_cast<std::size_t>(i)] =
            static_cast<char>((program.indexOffset >> (8 * i)) & 0xff);
    }
    return program;
}

TEST(TranslatorEmbedded, CataloguesAppendedToTheProgramFileAreFound) {
    TempFolder app;
    const std::string programPath = app.Folder() + "quorvex";
    // 65530 puts the marker across the reader's 64 KiB blocks.
    for (const std::size_t before : {std::size_t{100}, std::size_t{65530}}) {
        SCOPED_TRACE(before);
        const ProgramFile program =
            MakeProgramFile(before, BuildCatalogue(kGerman), "locale/de/LC_MESSAGES/default.mo");
        WriteFile(programPath, program.bytes);
        const std::uint64_t start = EmbeddedCatalogues::FindStartOffset(programPath);
        EXPECT_EQ(start, program.indexOffset);
        auto index = std::make_shared<const EmbeddedCatalogues>(
            EmbeddedCatalogues::Read(programPath, app.Folder(), start));
        ASSERT_FALSE(index->Empty());
        // No locale folder on disk: the catalogue comes from the program file.
        Translator translator(LocaleFolder(app), "de_DE", index);
        EXPECT_EQ(translator.Translate("Connection refused."), "Verbindung abgelehnt.");
    }
    EXPECT_EQ(EmbeddedCatalogues::OwnStartOffset(), 0u);  // nothing appended to this program
}

TEST(TranslatorEmbedded, AnUnsoundIndexIsIgnored) {
    TempFolder app;
    const std::string programPath = app.Folder() + "quorvex";
    ProgramFile program =
        MakeProgramFile(100, BuildCatalogue(kGerman), "locale/de/LC_MESSAGES/default.mo");
    // The entry's size now reaches past the end of the file.
    program.bytes.back() = static_cast<char>(0x7f);
    WriteFile(programPath, program.bytes);
    EXPECT_TRUE(EmbeddedCatalogues::Read(programPath, app.Folder(), program.indexOffset).Empty());
    // An index cut short anywhere is refused, never read past.
    const std::string index = program.bytes.substr(program.indexOffset);
    for (std::size_t size = 0; size < index.size(); ++size) {
        EXPECT_FALSE(EmbeddedCatalogues::ParseIndex(index.substr(0, size), 1 << 20)) << size;
    }
    EXPECT_TRUE(EmbeddedCatalogues::Read(programPath, app.Folder(), 0).Empty());
    EXPECT_EQ(EmbeddedCatalogues::FindStartOffset(app.Folder() + "missing"), 0u);
}

}  // namespace
}  // namespace quorvex::translation
