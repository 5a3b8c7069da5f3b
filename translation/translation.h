#pragma once
// The program's translation layer: set up once at start, then used by every component.
//
// Threads: InitialiseTranslation runs once on the user-interface thread at program start,
// before the main window and before any other thread exists. Everything else may be called
// from any thread, before or after it: until then every text passes unchanged.

#include <string>
#include <string_view>

#include "translation/translator.h"

namespace quorvex::translation {

// Start-up: reads the index of catalogues appended to the program file `programPath` (none
// in the delivered program), chooses the user's language (LANG, then the platform's locale)
// and points the domain "default", the current domain, at `dataFolder` + "locale/" (the
// program's folder when portable). From then on LoadResString and Translate look texts up in
// the catalogues there.
void InitialiseTranslation(const std::string& dataFolder, const std::string& programPath);

// Drops every catalogue: from then on every text is its built-in one. For a start whose
// catalogue cannot be read.
void UseBuiltInTexts();

// The program's translator, for the whole run.
Translator& ProgramTranslator();

// `text` looked up in the current domain of the program's translator.
std::string Translate(std::string_view text);

// Appends a domain to the resource-string domains of the program's translator (the serial
// component adds its own at its start-up).
void AddResourceStringDomain(std::string name);

}  // namespace quorvex::translation
