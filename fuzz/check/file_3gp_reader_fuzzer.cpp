// Arbitrary bytes as a 3GP/3G2 file: the box walk, the esds, the sample tables against
// the payload, and FFmpeg's decoding of whatever frames they point at. The reader stays
// in bounds and its report holds.

#include <cstddef>
#include <cstdint>
#include <span>

#include "check/file_3gp_reader.h"
#include "fuzz/check/report_invariants.h"
#include "platform/library_log.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kvt::SetLibraryLog(kvt::LibraryLog::Quiet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    kvt::fuzz::CheckReportInvariants(kvt::ReadFile3gp(std::span<const uint8_t>(bytes, size)));
    return 0;
}
