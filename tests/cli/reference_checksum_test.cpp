// Reference checksums: kvt-convert run on fixed generated inputs, every output file hashed.
// Any change to any output byte fails here. The 3GP/3G2 creation and modification times
// (the clock) are blanked before hashing; everything else counts. When a change of bytes is
// meant, the failure prints the new rows to paste in.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "kvt_convert_fixture.h"

namespace kvt {
namespace {

using testing::KvtConvert;
using testing::ReadWholeFile;
using testing::RunResult;
using Sums = std::map<std::string, uint64_t>;  // output file name → checksum

// FNV-1a, 64 bits.
uint64_t Fnv1a(const std::string& bytes) {
    uint64_t hash = 0xcbf29ce484222325;
    for (unsigned char byte : bytes) hash = (hash ^ byte) * 0x100000001b3;
    return hash;
}

std::string Hex(uint64_t sum) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%016llxULL", static_cast<unsigned long long>(sum));
    return text;
}

uint64_t OutputSum(const std::filesystem::path& path) {
    return Fnv1a(testing::OutputBytesWithoutClock(path));
}

class ReferenceChecksum : public KvtConvert {
protected:
    // Converts `input` with `arguments` into a fresh out() and hashes what was written.
    Sums Run(std::vector<std::string> arguments, const std::string& input) {
        std::filesystem::remove_all(out());
        std::filesystem::create_directory(out());
        arguments.insert(arguments.end(), {"-q", "-o", out(), input});
        RunResult run = Convert(arguments);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        Sums sums;
        for (const std::string& name : OutFiles()) sums[name] = OutputSum(std::filesystem::path(out()) / name);
        return sums;
    }

    // Compares, and on a difference prints what was found as rows of the table.
    static void ExpectSums(const Sums& found, const Sums& expected) {
        std::string rows;
        for (const auto& [name, sum] : found) rows += "{\"" + name + "\", " + Hex(sum) + "},\n";
        EXPECT_EQ(found, expected) << "found:\n" << rows;
    }
};

struct ChecksumCase {
    const char* name;
    std::vector<std::string> arguments;
    Sums sums;
};

// One row per output format and per option that changes bytes, over one 2-second stereo
// input at 22050 Hz.
const ChecksumCase kCases[] = {
    {"MLD one-track, codec 1", {"--mld", "n1", "--mld-rate", "8000"}, {{"Song_n1.mld", 0x16c2653491356bbaULL}}},
    {"MLD many pieces, codec 2",
     {"--mld", "n2,f1", "--mld-rate", "16000", "--mld-limit", "100"},
     {{"Song_f1.mld", 0xe8d576455c03c5a9ULL}, {"Song_n2.mld", 0xb048812816bf7766ULL}}},
    {"MLD codec 3 at 4000 Hz",
     {"--mld", "d1,p2,so2,sh2"},
     {{"Song_d1.mld", 0xd970e6e5923d85ffULL},
      {"Song_p2.mld", 0x205bf5e3981d7f57ULL},
      {"Song_sh2.mld", 0x71532c7e24ef96abULL},
      {"Song_so2.mld", 0x4b487e494dfd7257ULL}}},
    {"MLD one piece and repeats",
     {"--mld", "so1,sh1,san,p1", "--mld-rate", "8000"},
     {{"Song_p1.mld", 0x1465e9e0b8768276ULL},
      {"Song_san.mld", 0x337cf4cff40b80b1ULL},
      {"Song_sh1.mld", 0xe416f7d47808e6d3ULL},
      {"Song_so1.mld", 0x980892ff31f87aaeULL}}},
    {"MLD 0400 layout",
     {"--mld", "93", "--mld-rate", "32000", "--mld-limit", "100"},
     {{"Song_93.mld", 0xca3d8012e7dc7238ULL}}},
    {"MLD codec 6",
     {"--mld", "lg", "--mld-rate", "8000", "--mld-limit", "100"},
     {{"Song_lg.mld", 0x298d001d44c5a88aULL}}},
    {"MLD at 32000 Hz",
     {"--mld", "n2,sh2", "--mld-rate", "32000", "--mld-limit", "100"},
     {{"Song_n2.mld", 0x4bfd5f297a5d6f0aULL}, {"Song_sh2.mld", 0x414d495d25c00c28ULL}}},
    {"MLD two streams, 8000 Hz",
     {"--mld", "p1,n2,sh2,f1", "--mld-channels", "stereo", "--mld-rate", "8000", "--mld-limit", "100"},
     {{"Song_f1s.mld", 0xb8217bc711eed6cfULL},
      {"Song_n2s.mld", 0xe0f2feedd0b52266ULL},
      {"Song_p1s.mld", 0xb3d8b173b1050f60ULL},
      {"Song_s2s.mld", 0x4c791e0ec193c319ULL}}},
    {"MLD two streams, 16000 Hz",
     {"--mld", "p1,n2,sh2,f1", "--mld-channels", "stereo", "--mld-rate", "16000", "--mld-limit", "100"},
     {{"Song_f1s.mld", 0x5e0e596fd6b0172eULL},
      {"Song_n2s.mld", 0x7345466f829b5bddULL},
      {"Song_p1s.mld", 0x4b9b320922ca1855ULL},
      {"Song_s2s.mld", 0x7c62ef41594f9dcbULL}}},
    {"MLD 0400 stereo",
     {"--mld", "93", "--mld-channels", "stereo", "--mld-rate", "16000", "--mld-limit", "100"},
     {{"Song_93s.mld", 0xdded777551e418a3ULL}}},
    {"MMF mono 8000 Hz", {"--mmf", "--mmf-rate", "8000"}, {{"Song.mmf", 0xe557c562b814f52aULL}}},
    {"MMF stereo 16000 Hz with a range",
     {"--mmf", "--mmf-rate", "16000", "--mmf-channels", "stereo", "--start", "0.4", "--end", "1.7"},
     {{"Song.mmf", 0xfe0766cf266e0476ULL}}},
    {"3GP mono 8000 Hz", {"--3gp"}, {{"Song.3gp", 0x8f0116b5f1284c4dULL}}},
    {"3G2 stereo 44100 Hz",
     {"--3g2", "--3gp-rate", "44100", "--3gp-channels", "stereo"},
     {{"Song.3g2", 0x1e0585671692d8aeULL}}},
    {"3GP streaming 24000 Hz", {"--3gp", "--streaming", "--3gp-rate", "24000"}, {{"Song.3gp", 0x534068e008c13fe9ULL}}},
    {"3GP external encoder",
     {"--3gp", "--external", KVT_FAKE_AAC_ENCODER, "--3gp-rate", "16000"},
     {{"Song.3gp", 0x8e410be857256835ULL}}},
};

TEST_F(ReferenceChecksum, EachFormatAndOptionWritesItsReferenceBytes) {
    const std::string input = MakeSample("Song.wav", "2", "22050", "2");
    const uint64_t inputSum = Fnv1a(ReadWholeFile(input));
    ASSERT_EQ(inputSum, 0x4f1a9017679eaa56ULL) << "the generated input changed, not the program: " << Hex(inputSum);
    for (const ChecksumCase& c : kCases) {
        SCOPED_TRACE(c.name);
        ExpectSums(Run(c.arguments, input), c.sums);
    }
}

// Every output of --all, on three inputs that differ in length, rate and channels.
struct AllCase {
    const char* name;
    std::vector<std::string> sample;  // seconds, rate, channels
    std::vector<std::string> arguments;
    Sums sums;
};

const AllCase kAllCases[] = {
    {"stereo 22050 Hz, 8000 Hz mono outputs",
     {"2", "22050", "2"},
     {"--mld-rate", "8000", "--mld-limit", "100"},
     {{"Tune.3g2", 0xee2b400b7f36068fULL},
      {"Tune.3gp", 0x0f75622c0c9b773cULL},
      {"Tune.mmf", 0x628abf94b9bb3f48ULL},
      {"Tune_93.mld", 0xd50eba951a0257a6ULL},
      {"Tune_d1.mld", 0xb564e6e07ae19e5eULL},
      {"Tune_f1.mld", 0xbd9953bf2d5cbffaULL},
      {"Tune_lg.mld", 0x95d080b8909dd8b7ULL},
      {"Tune_n1.mld", 0xa7eb829e9c4ebbddULL},
      {"Tune_n2.mld", 0x2c1bbb6cac50ce59ULL},
      {"Tune_p1.mld", 0xe00e2c21ff7bfa85ULL},
      {"Tune_p2.mld", 0xe9f548629bde1c19ULL},
      {"Tune_san.mld", 0x7b4016e1edd20c9aULL},
      {"Tune_sh1.mld", 0xf2462f7108611750ULL},
      {"Tune_sh2.mld", 0xfbd8a7e499768967ULL},
      {"Tune_so1.mld", 0x853dbfda21856811ULL},
      {"Tune_so2.mld", 0xb239727a6c928af9ULL}}},
    {"stereo 44100 Hz, 16000 Hz stereo outputs",
     {"1.5", "44100", "2"},
     {"--mld-rate", "16000", "--mld-channels", "stereo", "--mld-limit", "100", "--mmf-rate", "16000", "--mmf-channels",
      "stereo", "--3gp-rate", "32000", "--3gp-channels", "stereo"},

     {{"Tune.3g2", 0x118d69a77d323a81ULL},
      {"Tune.3gp", 0xb73eacb27f886d58ULL},
      {"Tune.mmf", 0x36784b656d5fb9c1ULL},
      {"Tune_93s.mld", 0xd0da85ea50293e1aULL},
      {"Tune_d1.mld", 0xca0077bf384472b6ULL},
      {"Tune_f1s.mld", 0x50de0f8f1659fa46ULL},
      {"Tune_lg.mld", 0x6b77938d69849613ULL},
      {"Tune_n2s.mld", 0xcb9695f82bf328ceULL},
      {"Tune_p1s.mld", 0xb710f77ddfffca5dULL},
      {"Tune_p2.mld", 0x802632411bc6d393ULL},
      {"Tune_s2s.mld", 0xa5d2c7177453937cULL},
      {"Tune_so2.mld", 0x692f4aa9c936ddd3ULL}}},
    {"mono 11025 Hz, default settings",
     {"3", "11025", "1"},
     {},
     {{"Tune.3g2", 0xdd20cf7dcf01add8ULL},
      {"Tune.3gp", 0x7c9cc981c566e85cULL},
      {"Tune.mmf", 0x44d7019ba5054017ULL},
      {"Tune_93.mld", 0xb354525f64018ca8ULL},
      {"Tune_d1.mld", 0x9e1a92bdc70b8708ULL},
      {"Tune_f1.mld", 0x3fca4dab1e9f6b6eULL},
      {"Tune_n1.mld", 0x6c38a61854ab4ca8ULL},
      {"Tune_n2.mld", 0xbcdc144d5f625505ULL},
      {"Tune_p1.mld", 0xbb19847d0dc980edULL},
      {"Tune_p2.mld", 0x7ab4cfc0da1850dfULL},
      {"Tune_san.mld", 0xb1f90d84c0b5a84eULL},
      {"Tune_sh1.mld", 0x697930654a3d69c0ULL},
      {"Tune_sh2.mld", 0x9a360ac8e419640dULL},
      {"Tune_so1.mld", 0x5fa692e12d608e63ULL},
      {"Tune_so2.mld", 0xf279ee329491695fULL}}},
};

TEST_F(ReferenceChecksum, EveryOutputOfAnAllRunWritesItsReferenceBytes) {
    for (const AllCase& c : kAllCases) {
        SCOPED_TRACE(c.name);
        const std::string input = MakeSample("Tune.wav", c.sample[0], c.sample[1], c.sample[2]);
        std::vector<std::string> arguments = c.arguments;
        arguments.insert(arguments.begin(), "--all");
        ExpectSums(Run(arguments, input), c.sums);
    }
}

}  // namespace
}  // namespace kvt
