#include "iso/side_files.h"

#include <cstdio>

#include "iso/box_reader.h"
#include "platform/files.h"
#include "platform/message.h"
#include "platform/paths.h"

namespace kvt {

std::string SideFileFolder(std::string_view scratchWavPath) {
    return FolderOfPath(std::string(scratchWavPath));
}

std::string SideFilePath(std::string_view scratchWavPath, std::string_view type) {
    std::string name(type);
    name += ".bx";
    return JoinPath(SideFileFolder(scratchWavPath), name);
}

int ExtractSideFiles(std::span<const uint8_t> mp4File, std::string_view scratchWavPath) {
    const BoxNode root("root", mp4File, 0);
    int written = 0;
    for (std::string_view type : kSideFileTypes) {
        const BoxNode* box = root.Find(type);
        if (box == nullptr) {
            ShowMessage(kMissingBoxText);
            continue;
        }
        if (box->SaveBody(SideFilePath(scratchWavPath, type))) ++written;
    }
    return written;
}

std::optional<std::vector<uint8_t>> ReadSideFile(std::string_view scratchWavPath, std::string_view type) {
    return ReadWholeFile(SideFilePath(scratchWavPath, type));
}

void DeleteSideFiles(std::string_view scratchWavPath) {
    for (std::string_view type : kSideFileTypes) std::remove(SideFilePath(scratchWavPath, type).c_str());
}

}  // namespace kvt
