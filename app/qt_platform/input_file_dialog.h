#pragma once
// The open dialog for inputs, always Qt's own so that the CD tracks can be reached on any
// desktop: each drive with an audio disc is a place in the side bar (entering it shows
// the ".cda" files), and a track typed as "D:\Track05.cda", which names no file, is
// accepted as it is for the window to take apart.

#include <string>
#include <vector>

#include <QFileDialog>
#include <QList>
#include <QUrl>

namespace kvt {

class InputFileDialog : public QFileDialog {
public:
    // `filter` as the program writes it ("description|pattern|..."); `trackPlaces` are folders.
    InputFileDialog(QWidget* parent, const std::string& filter, const std::vector<std::string>& trackPlaces);

    // The side bar is saved for the next dialog: without the track places, which are gone by then.
    ~InputFileDialog() override;

    void accept() override;

private:
    // Selects a name filter and shows its pattern in the file-name field.
    void UseNameFilter(const QString& name);
    void ShowPatternOf(const QString& nameFilter);

    QList<QUrl> userPlaces_;
    QStringList trackPlaces_;
    QString trackFilter_;        // the name filter of ".cda" files
    QString filterBeforePlace_;  // the filter a track place replaced, back on leaving it
};

}  // namespace kvt
