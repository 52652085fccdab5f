#pragma once
// The GUI's file and folder choosers.

#include <QStringList>

#include "platform/dialogs.h"

namespace kvt {

// "description|pattern|..." as Qt name filters; a description that already ends with
// "(pattern)" is kept as it is, others get the pattern appended.
QStringList QtNameFilters(const std::string& filter);

class QtDialogs : public Dialogs {
public:
    std::optional<std::string> OpenFile(const std::string& defaultExtension, const std::string& filter) override;
    std::optional<std::string> OpenFileFrom(const std::string& initialName, const std::string& filter) override;
    std::optional<std::string> BrowseFolder(const std::string& title, const std::string& startFolder) override;
};

}  // namespace kvt
