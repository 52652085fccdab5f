#pragma once
// The GUI's file and folder choosers.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QFileDialog>
#include <QStringList>

#include "platform/dialogs.h"

namespace kvt {

// "description|pattern|..." as Qt name filters; a description that already ends with
// "(pattern)" is kept as it is, others get the pattern appended.
QStringList QtNameFilters(const std::string& filter);

// The folders the open dialog offers in its side bar when it opens inputs, asked for each
// time it opens: the CD drives' track places.
void SetTrackPlaces(std::function<std::vector<std::string>()> places);

// The chooser of an external program (asked for with the default extension "exe"). Programs
// here carry no ".exe": it lists every file, starting among the installed programs, and
// adds no suffix to a typed name.
std::unique_ptr<QFileDialog> MakeProgramDialog();

class QtDialogs : public Dialogs {
public:
    std::optional<std::string> OpenFile(const std::string& defaultExtension, const std::string& filter) override;
    std::optional<std::string> OpenFileFrom(const std::string& initialName, const std::string& filter) override;
    std::optional<std::string> BrowseFolder(const std::string& title, const std::string& startFolder) override;
};

}  // namespace kvt
