#pragma once
// File and folder choosers. The GUI implements them with real dialogs; the command line
// and the tests supply scripted answers.

#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kvt {

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // filter: pairs of description and pattern separated by '|', ending in '|'.
    // Nothing when the user cancels.
    virtual std::optional<std::string> OpenFile(const std::string& defaultExtension, const std::string& filter) = 0;
    virtual std::optional<std::string> BrowseFolder(const std::string& title, const std::string& startFolder) = 0;
    // The chooser of an external program (a decoder or an encoder).
    virtual std::optional<std::string> ChooseProgram() = 0;
    // The open dialog for an input, which also offers the CD drives' tracks; its name box
    // starts with `initialName` (a folder and a pattern such as "/home/me/*.wav"). Without
    // its own version, the plain OpenFile.
    virtual std::optional<std::string> OpenInput(const std::string& initialName, const std::string& filter) {
        (void)initialName;
        return OpenFile("", filter);
    }
};

// The process's dialogs; until a front end installs its own, every dialog is cancelled.
Dialogs& CurrentDialogs();
// Installs `dialogs` (nullptr: back to cancelling) and returns the one it replaces. The
// caller keeps ownership and keeps the object alive while it is installed.
Dialogs* SetDialogs(Dialogs* dialogs);

// Answers from queues, in order; an empty queue cancels. Records what was asked.
class ScriptedDialogs : public Dialogs {
public:
    struct Request {
        enum class Kind { OpenFile, BrowseFolder, ChooseProgram, OpenInput } kind;
        std::string first;   // default extension, title, or initial name
        std::string second;  // filter, or start folder
    };

    // Nothing stands for the user cancelling.
    void QueueOpenFile(std::optional<std::string> answer);
    void QueueBrowseFolder(std::optional<std::string> answer);
    std::vector<Request> Requests() const;

    std::optional<std::string> OpenFile(const std::string& defaultExtension, const std::string& filter) override;
    std::optional<std::string> BrowseFolder(const std::string& title, const std::string& startFolder) override;
    // These two answer from the OpenFile queue.
    std::optional<std::string> ChooseProgram() override;
    std::optional<std::string> OpenInput(const std::string& initialName, const std::string& filter) override;

private:
    mutable std::mutex mutex_;
    std::deque<std::optional<std::string>> openFileAnswers_;
    std::deque<std::optional<std::string>> browseFolderAnswers_;
    std::vector<Request> requests_;
};

// Installs dialogs for a scope and puts the previous ones back at its end.
class ScopedDialogs {
public:
    explicit ScopedDialogs(Dialogs& dialogs) : previous_(SetDialogs(&dialogs)) {}
    ~ScopedDialogs() { SetDialogs(previous_); }
    ScopedDialogs(const ScopedDialogs&) = delete;
    ScopedDialogs& operator=(const ScopedDialogs&) = delete;

private:
    Dialogs* previous_;
};

}  // namespace kvt
