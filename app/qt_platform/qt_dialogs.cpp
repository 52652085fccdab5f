#include "app/qt_platform/qt_dialogs.h"

#include <memory>

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>

#include "app/qt_platform/gui_thread.h"
#include "app/qt_platform/input_file_dialog.h"

namespace kvt {
namespace {

constexpr const char* kProgramFolder = "/usr/bin";
constexpr const char* kProgramFilter = "プログラム (*)";

std::unique_ptr<QFileDialog> MakeOpenDialog(const std::string& filter) {
    auto dialog = std::make_unique<QFileDialog>(QApplication::activeWindow());
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setNameFilters(QtNameFilters(filter));
    return dialog;
}

std::optional<std::string> RunOpenDialog(std::unique_ptr<QFileDialog> opened, const QString& folder,
                                         const QString& name) {
    QFileDialog& dialog = *opened;
    if (!folder.isEmpty()) dialog.setDirectory(folder);
    if (!name.isEmpty()) dialog.selectFile(name);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
}

// Every dialog opens on the application's thread, also when a worker (a conversion job
// choosing its external encoder) asks for it; the worker waits for the choice.
template <typename Run>
std::optional<std::string> OnApplicationThread(Run run) {
    std::optional<std::string> chosen;
    RunOnGuiThreadAndWait([&] { chosen = run(); });
    return chosen;
}

}  // namespace

std::unique_ptr<QFileDialog> MakeProgramDialog() {
    auto dialog = std::make_unique<QFileDialog>(QApplication::activeWindow());
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setNameFilter(QString::fromUtf8(kProgramFilter));
    dialog->setDirectory(QString::fromUtf8(kProgramFolder));
    return dialog;
}

QStringList QtNameFilters(const std::string& filter) {
    const QStringList fields = QString::fromStdString(filter).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < fields.size(); i += 2) {
        const QString& description = fields[i];
        const QString pattern = QString(fields[i + 1]).replace(';', ' ');
        if (description.isEmpty() && pattern.isEmpty()) continue;
        if (description.endsWith('(' + pattern + ')'))
            filters << description;
        else
            filters << description + " (" + pattern + ')';
    }
    return filters;
}

std::optional<std::string> QtDialogs::OpenFile(const std::string& defaultExtension, const std::string& filter) {
    return OnApplicationThread([&] {
        std::unique_ptr<QFileDialog> dialog = MakeOpenDialog(filter);
        if (!defaultExtension.empty()) dialog->setDefaultSuffix(QString::fromStdString(defaultExtension));
        return RunOpenDialog(std::move(dialog), {}, {});
    });
}

std::optional<std::string> QtDialogs::ChooseProgram() {
    return OnApplicationThread([] { return RunOpenDialog(MakeProgramDialog(), {}, {}); });
}

std::optional<std::string> QtDialogs::OpenInput(const std::string& initialName, const std::string& filter) {
    return OnApplicationThread([&] {
        const QFileInfo initial(QString::fromStdString(initialName));
        auto dialog = std::make_unique<InputFileDialog>(QApplication::activeWindow(), filter,
                                                        trackPlaces_ ? trackPlaces_() : std::vector<std::string>());
        return RunOpenDialog(std::move(dialog), initial.path(), initial.fileName());
    });
}

std::optional<std::string> QtDialogs::BrowseFolder(const std::string& title, const std::string& startFolder) {
    return OnApplicationThread([&]() -> std::optional<std::string> {
        const QString folder = QFileDialog::getExistingDirectory(
            QApplication::activeWindow(), QString::fromStdString(title), QString::fromStdString(startFolder));
        if (folder.isEmpty()) return std::nullopt;
        return folder.toStdString();
    });
}

}  // namespace kvt
