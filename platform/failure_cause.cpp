#include "platform/failure_cause.h"

#include <cstring>
#include <utility>

namespace kvt {
namespace {

thread_local std::optional<std::string> lastCause;

}  // namespace

void NoteFailureCause(const std::string& what, int error) {
    char buffer[256];
    lastCause = what + ": " + strerror_r(error, buffer, sizeof buffer);
}

std::optional<std::string> TakeFailureCause() {
    return std::exchange(lastCause, std::nullopt);
}

}  // namespace kvt
