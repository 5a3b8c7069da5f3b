// The resource-string table, its loader through the translation layer, the program's own
// translator before and after start-up, and the formatting of translated patterns.

#include "translation/resource_strings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>

#include "catalogue_files.h"
#include "translation/translation.h"
#include "translation/translator.h"

namespace quorvex::translation {
namespace {

using test::CataloguePath;
using test::CompileCatalogue;
using test::TempFolder;

TEST(ResourceStrings, EveryIdentifierHasItsOwnText) {
    std::set<std::string_view> seen;
    for (std::size_t i = 0; i < kResStringCount; ++i) {
        const std::string_view text = BuiltInText(static_cast<ResString>(i));
        EXPECT_FALSE(text.empty()) << i;
        EXPECT_TRUE(seen.insert(text).second) << "twice: " << text;
    }
}

TEST(ResourceStrings, SerialMessagesByCode) {
    EXPECT_EQ(BuiltInText(*ComPortMessage(1)), "Unable to open com port");
    EXPECT_EQ(BuiltInText(*ComPortMessage(7)), "SetCommState function failed");
    EXPECT_EQ(BuiltInText(*ComPortMessage(18)), "Link (un)registration failed");
    EXPECT_EQ(BuiltInText(*ComPortMessage(23)), "Registry error");
    EXPECT_FALSE(ComPortMessage(0));
    EXPECT_FALSE(ComPortMessage(24));
    EXPECT_EQ(FormatMessage(BuiltInText(*ComPortMessage(1)), {}) +
                  FormatMessage(BuiltInText(ResString::ComErrOsCode), {2}),
              "Unable to open com port (win error code: 2)");
}

TEST(ResourceStrings, SocketErrorTextsByCode) {
    EXPECT_EQ(BuiltInText(*SocketErrorText(10004)), "Interrupted system call.");
    EXPECT_EQ(BuiltInText(*SocketErrorText(10035)), "Operation would block. ");
    EXPECT_EQ(BuiltInText(*SocketErrorText(10040)), "Message too long.");
    EXPECT_EQ(BuiltInText(*SocketErrorText(10048)), "Address already in use.");
    EXPECT_EQ(BuiltInText(*SocketErrorText(10061)), "Connection refused.");
    EXPECT_EQ(BuiltInText(*SocketErrorText(10066)), "Directory not empty");
    for (const int code : {0, 10000, 10003, 10005, 10010, 10023, 10067, 11001}) {
        EXPECT_FALSE(SocketErrorText(code)) << code;
    }
}

TEST(ResourceStrings, LoaderTranslatesThroughTheDomains) {
    TempFolder app;
    CompileCatalogue({{"'%s' is not a valid integer value", "'%s' ist kein g\xc3\xbcltiger Wert"}},
                     CataloguePath(app, "de"));
    CompileCatalogue({{"Registry error", "Registrierungsfehler"}},
                     CataloguePath(app, "de", "serial"));
    Translator translator(app.Folder() + "locale/", "de_DE");
    translator.AddResourceStringDomain("serial");
    EXPECT_EQ(LoadResString(translator, ResString::InvalidInteger),
              "'%s' ist kein g\xc3\xbcltiger Wert");
    EXPECT_EQ(LoadResString(translator, ResString::ComErrRegistry), "Registrierungsfehler");
    EXPECT_EQ(LoadResString(translator, ResString::SocketEWOULDBLOCK), "Operation would block. ");
}

TEST(ResourceStrings, ProgramTranslatorPassesTextsUntilStartUpThenUsesTheLocaleFolder) {
    TempFolder app;
    CompileCatalogue({{"Socket Error # %d", "Socketfehler # %d"}}, CataloguePath(app, "de"));
    EXPECT_EQ(LoadResString(ResString::IdSocketError), "Socket Error # %d");
    EXPECT_EQ(Translate("Socket Error # %d"), "Socket Error # %d");

    ::setenv("LANG", "de_DE.UTF-8", 1);
    InitialiseTranslation(app.Folder(), app.Folder() + "quorvex");
    EXPECT_EQ(ProgramTranslator().Language(), "de_DE");
    EXPECT_EQ(LoadResString(ResString::IdSocketError), "Socketfehler # %d");
    EXPECT_EQ(Translate("Socket Error # %d"), "Socketfehler # %d");
    AddResourceStringDomain("serial");
    EXPECT_EQ(ProgramTranslator().ResourceStringDomains(),
              (std::vector<std::string>{"default", "serial"}));
}

TEST(FormatMessage, FillsDirectivesInOrderAndNeverReadsArgumentsThatAreNotThere) {
    EXPECT_EQ(FormatMessage("Windows socket error: %s (%d), on API '%s'",
                            {"Connection refused", 10061, "connect"}),
              "Windows socket error: Connection refused (10061), on API 'connect'");
    EXPECT_EQ(FormatMessage("'%s' is not a valid integer value", {""}),
              "'' is not a valid integer value");
    // A translation that swapped or added directives shows the arguments it has.
    EXPECT_EQ(FormatMessage("%d: %s", {"text", -7}), "text: -7");
    EXPECT_EQ(FormatMessage("%s %s %d", {"one"}), "one %s %d");
    EXPECT_EQ(FormatMessage("100 %% done", {}), "100 % done");
    EXPECT_EQ(FormatMessage("Top Legend Position must be between 0 and 100 %", {1}),
              "Top Legend Position must be between 0 and 100 %");
    EXPECT_EQ(FormatMessage("%x %5d %", {1}), "%x %5d %");
    const std::string owned = "owned";
    EXPECT_EQ(FormatMessage("%s", {owned}), "owned");
}

}  // namespace
}  // namespace quorvex::translation
