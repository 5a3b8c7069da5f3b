// The port's messages come through the translation layer: the 23 texts once, at the serial
// component's start-up, in its own domain; the error-number suffix each time.

#include "serial/com_error.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "translation/catalogue_files.h"
#include "translation/translation.h"

namespace quorvex::serial {
namespace {

// Runs in a child process: the program's translator and the component's start-up are
// once per process.
int TranslatedMessagesInAFreshProcess() {
    test::TempFolder app;
    test::CompileCatalogue({{"Unable to open com port",
                             "Port nicht zu \xc3\xb6"
                             "ffnen"},
                            {" (win error code: %d)", " (Fehler %d)"}},
                           test::CataloguePath(app, "de", "serial"));
    ::setenv("LANG", "de_DE.UTF-8", 1);
    translation::InitialiseTranslation(app.Folder(), app.Folder() + "quorvex");

    const std::string before = EComPort(1).what();
    InitialiseSerialComponent();
    InitialiseSerialComponent();
    const std::vector<std::string> domains =
        translation::ProgramTranslator().ResourceStringDomains();
    const std::string after = EComPort(1, 2).what();
    const std::string untranslated = EComPort(18).what();
    const bool ok = before == "Unable to open com port" &&
                    domains == std::vector<std::string>{"default", "serial"} &&
                    after ==
                        "Port nicht zu \xc3\xb6"
                        "ffnen (Fehler 2)" &&
                    untranslated == "Link (un)registration failed";
    if (!ok) std::fprintf(stderr, "before '%s' after '%s'\n", before.c_str(), after.c_str());
    return ok ? 0 : 1;
}

TEST(ComErrorTest, MessagesPassTheTranslationLayerAtStartUpInTheSerialDomain) {
    EXPECT_EXIT(std::exit(TranslatedMessagesInAFreshProcess()), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace quorvex::serial
