#pragma once
// kvt-convert's line for an MLD file shortened to fit the size ceiling: the job's own
// text in a Japanese locale, English elsewhere.

#include <cstdint>
#include <string>

#include "convert/mld_size_fit.h"

namespace kvt::cli {

std::string ShortenedNotice(const OverLimitFile& file, uint32_t limit);

}  // namespace kvt::cli
