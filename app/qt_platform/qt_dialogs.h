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

// The chooser of an external program. Programs here carry no ".exe": it lists every file,
// starting among the installed programs, and adds no suffix to a typed name.
std::unique_ptr<QFileDialog> MakeProgramDialog();

class QtDialogs : public Dialogs {
public:
    // The folders the input dialog offers in its side bar, asked for each time it opens:
    // the CD drives' track places.
    using TrackPlaces = std::function<std::vector<std::string>()>;
    void SetTrackPlaces(TrackPlaces places) { trackPlaces_ = std::move(places); }

    std::optional<std::string> OpenFile(const std::string& defaultExtension, const std::string& filter) override;
    std::optional<std::string> BrowseFolder(const std::string& title, const std::string& startFolder) override;
    std::optional<std::string> ChooseProgram() override;
    std::optional<std::string> OpenInput(const std::string& initialName, const std::string& filter) override;

private:
    TrackPlaces trackPlaces_;
};

}  // namespace kvt
