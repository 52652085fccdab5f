#include "app/qt_platform/input_file_dialog.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QTreeView>
#include <QUrl>

#include "app/cd/cd_track_places.h"
#include "app/qt_platform/qt_dialogs.h"
#include "input/cd/cda_path.h"

namespace kvt {
namespace {

bool IsTrackPlace(const QUrl& url) {
    return url.isLocalFile() &&
           QFileInfo(QFileInfo(url.toLocalFile()).path()).fileName().startsWith(kTrackPlacesPrefix);
}

// The patterns a name filter shows: "音楽CDファイル(*.cda)" → "*.cda",
// "すべての音声ファイル (*.wav *.wma ...)" → "*.wav *.wma ...".
QString Patterns(const QString& nameFilter) {
    const qsizetype open = nameFilter.lastIndexOf('(');
    const qsizetype close = nameFilter.lastIndexOf(')');
    if (open < 0 || close < open) return {};
    return nameFilter.mid(open + 1, close - open - 1).trimmed();
}

}  // namespace

InputFileDialog::InputFileDialog(QWidget* parent, const std::string& filter,
                                 const std::vector<std::string>& trackPlaces)
    : QFileDialog(parent) {
    setOption(QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::ExistingFile);
    setAcceptMode(QFileDialog::AcceptOpen);
    resize(900, 460);  // wide enough for the every-audio-file filter's patterns
    const QStringList filters = QtNameFilters(filter);
    setNameFilters(filters);
    for (const QString& name : filters)
        if (name.contains("*.cda")) trackFilter_ = name;
    // Places of a dialog that could not take them away again (the program ended first).
    for (const QUrl& url : sidebarUrls())
        if (!IsTrackPlace(url)) userPlaces_ << url;
    QList<QUrl> places = userPlaces_;
    for (const std::string& place : trackPlaces) {
        trackPlaces_ << QString::fromStdString(place);
        places << QUrl::fromLocalFile(trackPlaces_.back());
    }
    setSidebarUrls(places);
    // Whole sizes, types and dates in the detail view (Qt names its view so in every version).
    if (auto* view = findChild<QTreeView*>("treeView")) {
        view->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
        view->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    }
    // A track place shows its tracks; leaving it again brings back the filter it replaced.
    connect(this, &QFileDialog::directoryEntered, this, [this](const QString& folder) {
        if (trackFilter_.isEmpty()) return;
        const QString shown = selectedNameFilter();
        if (trackPlaces_.contains(folder)) {
            if (shown == trackFilter_) return;
            filterBeforePlace_ = shown;
            UseNameFilter(trackFilter_);
        } else if (shown == trackFilter_ && !filterBeforePlace_.isEmpty()) {
            UseNameFilter(filterBeforePlace_);
            filterBeforePlace_.clear();
        }
    });
    connect(this, &QFileDialog::filterSelected, this, [this](const QString& name) { ShowPatternOf(name); });
}

void InputFileDialog::UseNameFilter(const QString& name) {
    selectNameFilter(name);
    ShowPatternOf(name);
}

void InputFileDialog::ShowPatternOf(const QString& name) {
    auto* field = findChild<QLineEdit*>("fileNameEdit");  // Qt's name for the file-name field
    if (!field) return;
    // The patterns follow the filter; a name the user typed stays.
    const QString text = field->text();
    if (!text.isEmpty() && !text.contains('*') && !text.contains('?')) return;
    field->setText(Patterns(name));
}

InputFileDialog::~InputFileDialog() {
    setSidebarUrls(userPlaces_);
}

void InputFileDialog::accept() {
    const QStringList files = selectedFiles();
    if (files.size() == 1 && !QFileInfo::exists(files.front())) {
        if (cd::ParseCdaPath(CdaPathFromChosen(files.front().toStdString()))) {
            QDialog::accept();
            return;
        }
    }
    QFileDialog::accept();
}

}  // namespace kvt
