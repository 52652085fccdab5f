// Arbitrary bytes as an MMF file: the chunks, the track's sequence events, the CRC and the decoding: the reader stays
// in bounds and its report holds.

#include <cstddef>
#include <cstdint>
#include <span>

#include "check/mmf_reader.h"
#include "fuzz/check/report_invariants.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    kvt::fuzz::CheckReportInvariants(kvt::ReadMmf(std::span<const uint8_t>(bytes, size)));
    return 0;
}
