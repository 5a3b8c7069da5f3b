#pragma once
// The dialogs the main window asks: the refusal of a Start, the Yes/No question on close,
// and the profile file dialogs. The window uses Qt's; tests put scripted answers in.
//
// User-interface thread only.

#include <QString>

#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace quorvex::app {

struct WindowDialogs {
    // A message box with an error icon and an OK button: a Start refused, or the writes that
    // failed as the window closes.
    std::function<void(const std::string& caption, const std::string& text)> Refusal;
    // Yes/No; true for Yes.
    std::function<bool(const std::string& caption, const std::string& text)> AskYesNo;
    // File dialogs over profile files, starting in `folder`; nothing when cancelled.
    std::function<std::optional<std::string>(const QString& folder)> OpenProfile;
    std::function<std::optional<std::string>(const QString& folder)> SaveProfile;
    // A file dialog for a CSV export, starting at `suggested`; nothing when cancelled.
    std::function<std::optional<std::string>(const QString& suggested)> SaveCsv;
    // Likewise for the report: a PDF, PNG or HTML file.
    std::function<std::optional<std::string>(const QString& suggested)> SaveReport;
};

// Qt's message boxes and file dialogs (filter "Profile files (*.prf)", default suffix
// "prf"; saving replaces an existing file without asking; CSV exports and reports ask before
// they replace one), parented to `window`.
WindowDialogs QtDialogs(QWidget* window);

}  // namespace quorvex::app
