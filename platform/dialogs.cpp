#include "platform/dialogs.h"

#include <atomic>

namespace kvt {
namespace {

class CancellingDialogs : public Dialogs {
public:
    std::optional<std::string> OpenFile(const std::string&, const std::string&) override { return std::nullopt; }
    std::optional<std::string> BrowseFolder(const std::string&, const std::string&) override { return std::nullopt; }
    std::optional<std::string> ChooseProgram() override { return std::nullopt; }
};

CancellingDialogs cancelling;
std::atomic<Dialogs*> installed{nullptr};

std::optional<std::string> Next(std::deque<std::optional<std::string>>& answers) {
    if (answers.empty()) return std::nullopt;
    auto answer = std::move(answers.front());
    answers.pop_front();
    return answer;
}

}  // namespace

Dialogs& CurrentDialogs() {
    Dialogs* dialogs = installed.load();
    return dialogs ? *dialogs : cancelling;
}

Dialogs* SetDialogs(Dialogs* dialogs) {
    return installed.exchange(dialogs);
}

void ScriptedDialogs::QueueOpenFile(std::optional<std::string> answer) {
    std::lock_guard lock(mutex_);
    openFileAnswers_.push_back(std::move(answer));
}

void ScriptedDialogs::QueueBrowseFolder(std::optional<std::string> answer) {
    std::lock_guard lock(mutex_);
    browseFolderAnswers_.push_back(std::move(answer));
}

std::vector<ScriptedDialogs::Request> ScriptedDialogs::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::optional<std::string> ScriptedDialogs::OpenFile(const std::string& defaultExtension, const std::string& filter) {
    std::lock_guard lock(mutex_);
    requests_.push_back({Request::Kind::OpenFile, defaultExtension, filter});
    return Next(openFileAnswers_);
}

std::optional<std::string> ScriptedDialogs::ChooseProgram() {
    std::lock_guard lock(mutex_);
    requests_.push_back({Request::Kind::ChooseProgram, {}, {}});
    return Next(openFileAnswers_);
}

std::optional<std::string> ScriptedDialogs::OpenInput(const std::string& initialName, const std::string& filter) {
    std::lock_guard lock(mutex_);
    requests_.push_back({Request::Kind::OpenInput, initialName, filter});
    return Next(openFileAnswers_);
}

std::optional<std::string> ScriptedDialogs::BrowseFolder(const std::string& title, const std::string& startFolder) {
    std::lock_guard lock(mutex_);
    requests_.push_back({Request::Kind::BrowseFolder, title, startFolder});
    return Next(browseFolderAnswers_);
}

}  // namespace kvt
