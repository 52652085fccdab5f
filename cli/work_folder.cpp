#include "cli/work_folder.h"

#include <filesystem>

#include "platform/cleanup_registry.h"
#include "platform/paths.h"

namespace kvt::cli {

PrivateWorkFolder::PrivateWorkFolder() {
    path_ = CreatePendingFolder(JoinPath(TemporaryFolder(), std::string(kWorkFolderPrefix) + "XXXXXX")).value_or("");
}

PrivateWorkFolder::~PrivateWorkFolder() {
    if (path_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
    DropPendingPath(path_);
}

std::string PrivateWorkFolder::MakeJobFolder(int job) const {
    if (path_.empty()) return {};
    std::string folder = JoinPath(path_, "job" + std::to_string(job));
    std::error_code error;
    std::filesystem::create_directory(folder, error);
    return error ? std::string() : folder;
}

}  // namespace kvt::cli
