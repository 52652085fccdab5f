#pragma once
// File and folder choosers. The GUI implements them with real dialogs; the command line
// and the tests supply scripted answers.

#include <optional>
#include <string>

namespace kvt {

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // filter: pairs of description and pattern separated by '|', ending in '|'.
    virtual std::optional<std::string> OpenFile(const std::string& defaultExtension, const std::string& filter) = 0;
    virtual std::optional<std::string> BrowseFolder(const std::string& title, const std::string& startFolder) = 0;
};

// The process's dialogs; a never-answering stub (cancel) until a front end installs one.
Dialogs& CurrentDialogs();
void SetDialogs(Dialogs* dialogs);

}  // namespace kvt
