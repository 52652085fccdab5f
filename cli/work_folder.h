#pragma once
// kvt-convert keeps its scratch files ("tempkvt.wav", "sample.wav", the external encoder's
// files) in a private folder under the temporary folder, removed when the program ends,
// also when it is interrupted (the folder is a pending path of the clean-up registry).

#include <string>

namespace kvt::cli {

class PrivateWorkFolder {
public:
    // Creates "kvt-convert-XXXXXX" in the temporary folder; Path() is empty on failure.
    PrivateWorkFolder();
    ~PrivateWorkFolder();
    PrivateWorkFolder(const PrivateWorkFolder&) = delete;
    PrivateWorkFolder& operator=(const PrivateWorkFolder&) = delete;

    const std::string& Path() const { return path_; }
    // A fresh subfolder for one parallel job; empty on failure.
    std::string MakeJobFolder(int job) const;

private:
    std::string path_;
};

}  // namespace kvt::cli
