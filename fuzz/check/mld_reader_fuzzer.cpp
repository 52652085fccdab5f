// Arbitrary bytes as an MLD file: header chunks, audio and track chunks, the track's events and pieces, and the
// decoding of every codec: the reader stays in bounds and its report holds.

#include <cstddef>
#include <cstdint>
#include <span>

#include "check/mld_reader.h"
#include "fuzz/check/report_invariants.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    kvt::fuzz::CheckReportInvariants(kvt::ReadMld(std::span<const uint8_t>(bytes, size)));
    return 0;
}
