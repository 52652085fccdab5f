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
    {"MLD one-track, codec 1", {"--mld", "n1", "--mld-rate", "8000"}, {{"Song_n1.mld", 0x1f919dad940042b0ULL}}},
    {"MLD many pieces, codec 2",
     {"--mld", "n2,f1", "--mld-rate", "16000", "--mld-limit", "100"},
     {{"Song_f1.mld", 0x5648c68cb0641950ULL}, {"Song_n2.mld", 0x7a2899fe2238c3c3ULL}}},
    {"MLD codec 3 at 4000 Hz",
     {"--mld", "d1,p2,so2,sh2"},
     {{"Song_d1.mld", 0x54265db3c3a79295ULL},
      {"Song_p2.mld", 0x67a27af74626d5ecULL},
      {"Song_sh2.mld", 0x5f32c2458e6345adULL},
      {"Song_so2.mld", 0x1b51604df5887a8cULL}}},
    {"MLD one piece and repeats",
     {"--mld", "so1,sh1,san,p1", "--mld-rate", "8000"},
     {{"Song_p1.mld", 0x9b6782b01f4c9292ULL},
      {"Song_san.mld", 0x15ee91f6fd2fa361ULL},
      {"Song_sh1.mld", 0x9e04eaf34e20d7b7ULL},
      {"Song_so1.mld", 0x42fd83a35dad036cULL}}},
    {"MLD 0400 layout",
     {"--mld", "93", "--mld-rate", "32000", "--mld-limit", "100"},
     {{"Song_93.mld", 0xfed98c4de4d2a5ceULL}}},
    {"MLD codec 6",
     {"--mld", "lg", "--mld-rate", "8000", "--mld-limit", "100"},
     {{"Song_lg.mld", 0x230b7c7470eb0b21ULL}}},
    {"MLD at 32000 Hz",
     {"--mld", "n2,sh2", "--mld-rate", "32000", "--mld-limit", "100"},
     {{"Song_n2.mld", 0xaf530bc42db457b1ULL}, {"Song_sh2.mld", 0x325f187434e52b61ULL}}},
    {"MLD two streams, 8000 Hz",
     {"--mld", "p1,n2,sh2,f1", "--mld-channels", "stereo", "--mld-rate", "8000", "--mld-limit", "100"},
     {{"Song_f1s.mld", 0x56c786035207a600ULL},
      {"Song_n2s.mld", 0x5804e5b80a1e8873ULL},
      {"Song_p1s.mld", 0xe29d332f6531bc8fULL},
      {"Song_s2s.mld", 0xd9e1811efcbf9eefULL}}},
    {"MLD two streams, 16000 Hz",
     {"--mld", "p1,n2,sh2,f1", "--mld-channels", "stereo", "--mld-rate", "16000", "--mld-limit", "100"},
     {{"Song_f1s.mld", 0xaf4622babe519212ULL},
      {"Song_n2s.mld", 0xc61e1ed532c801fcULL},
      {"Song_p1s.mld", 0xd05b76785683ed29ULL},
      {"Song_s2s.mld", 0x85e3eff8ede8dccaULL}}},
    {"MLD 0400 stereo",
     {"--mld", "93", "--mld-channels", "stereo", "--mld-rate", "16000", "--mld-limit", "100"},
     {{"Song_93s.mld", 0x5cd89ca17c886bf3ULL}}},
    {"MMF mono 8000 Hz", {"--mmf", "--mmf-rate", "8000"}, {{"Song.mmf", 0x35ea0ffd72707040ULL}}},
    {"MMF stereo 16000 Hz with a range",
     {"--mmf", "--mmf-rate", "16000", "--mmf-channels", "stereo", "--start", "0.4", "--end", "1.7"},
     {{"Song.mmf", 0x123e95746a2d9386ULL}}},
    {"3GP mono 8000 Hz", {"--3gp"}, {{"Song.3gp", 0x9f5278c1dd43201bULL}}},
    {"3G2 stereo 44100 Hz",
     {"--3g2", "--3gp-rate", "44100", "--3gp-channels", "stereo"},
     {{"Song.3g2", 0x3fc2fe600d3707dbULL}}},
    {"3GP streaming 24000 Hz", {"--3gp", "--streaming", "--3gp-rate", "24000"}, {{"Song.3gp", 0x735a4093c8f3984dULL}}},
    {"3GP external encoder",
     {"--3gp", "--external", KVT_FAKE_AAC_ENCODER, "--3gp-rate", "16000"},
     {{"Song.3gp", 0x29c63e5d8c5598ebULL}}},
};

// The same rows as the linear resampler writes them: its files stay exactly as they were.
const ChecksumCase kClassicCases[] = {
    {"MLD one-track, codec 1", {"--mld", "n1", "--mld-rate", "8000"}, {{"Song_n1.mld", 0x16c2653491356bbaULL}}},
    {"MLD many pieces, codec 2",
     {"--mld", "n2,f1", "--mld-rate", "16000", "--mld-limit", "100"},
     {{"Song_f1.mld", 0xe8d576455c03c5a9ULL}, {"Song_n2.mld", 0xb048812816bf7766ULL}}},
    {"MLD codec 3 at 4000 Hz",
     {"--mld", "d1,p2,so2,sh2"},
     {{"Song_d1.mld", 0xd46580455d895a7cULL},
      {"Song_p2.mld", 0x578a4f12c68bf494ULL},
      {"Song_sh2.mld", 0x9ae7a5e5c65ec0f8ULL},
      {"Song_so2.mld", 0x8276d7787c6be794ULL}}},
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
     {{"Song_n2.mld", 0x2326046a6829379dULL}, {"Song_sh2.mld", 0x414d495d25c00c28ULL}}},
    {"MLD two streams, 8000 Hz",
     {"--mld", "p1,n2,sh2,f1", "--mld-channels", "stereo", "--mld-rate", "8000", "--mld-limit", "100"},
     {{"Song_f1s.mld", 0xb8217bc711eed6cfULL},
      {"Song_n2s.mld", 0xe0f2feedd0b52266ULL},
      {"Song_p1s.mld", 0xb3d8b173b1050f60ULL},
      {"Song_s2s.mld", 0x55c1b59783c98b98ULL}}},
    {"MLD two streams, 16000 Hz",
     {"--mld", "p1,n2,sh2,f1", "--mld-channels", "stereo", "--mld-rate", "16000", "--mld-limit", "100"},
     {{"Song_f1s.mld", 0x5e0e596fd6b0172eULL},
      {"Song_n2s.mld", 0x22d1e77e04339e0fULL},
      {"Song_p1s.mld", 0x4b9b320922ca1855ULL},
      {"Song_s2s.mld", 0x7c62ef41594f9dcbULL}}},
    {"MLD 0400 stereo",
     {"--mld", "93", "--mld-channels", "stereo", "--mld-rate", "16000", "--mld-limit", "100"},
     {{"Song_93s.mld", 0xdded777551e418a3ULL}}},
    {"MMF mono 8000 Hz", {"--mmf", "--mmf-rate", "8000"}, {{"Song.mmf", 0xe557c562b814f52aULL}}},
    {"MMF stereo 16000 Hz with a range",
     {"--mmf", "--mmf-rate", "16000", "--mmf-channels", "stereo", "--start", "0.4", "--end", "1.7"},
     {{"Song.mmf", 0xfe0766cf266e0476ULL}}},
    {"3GP mono 8000 Hz", {"--3gp"}, {{"Song.3gp", 0x1b3ebbae5f50d8ddULL}}},
    {"3G2 stereo 44100 Hz",
     {"--3g2", "--3gp-rate", "44100", "--3gp-channels", "stereo"},
     {{"Song.3g2", 0xf5205b2698e1a637ULL}}},
    {"3GP streaming 24000 Hz", {"--3gp", "--streaming", "--3gp-rate", "24000"}, {{"Song.3gp", 0x6b3c25032ddcbc4fULL}}},
    {"3GP external encoder",
     {"--3gp", "--external", KVT_FAKE_AAC_ENCODER, "--3gp-rate", "16000"},
     {{"Song.3gp", 0x8b72e48b0cb9bc35ULL}}},
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
     {{"Tune.3g2", 0xe378c7fe276e9a65ULL},
      {"Tune.3gp", 0xc75275b3fc42bb5eULL},
      {"Tune.mmf", 0x48cb304f126d1728ULL},
      {"Tune_93.mld", 0x61a4d476158bf761ULL},
      {"Tune_d1.mld", 0x7d7791f784c6b207ULL},
      {"Tune_f1.mld", 0x09aec83bcf767bfaULL},
      {"Tune_lg.mld", 0x0b4331a29680d664ULL},
      {"Tune_n1.mld", 0xcd22b10d608c6d1fULL},
      {"Tune_n2.mld", 0x3f158591cf524776ULL},
      {"Tune_p1.mld", 0xf3593e602eb17ba9ULL},
      {"Tune_p2.mld", 0xabf54c2a22548216ULL},
      {"Tune_san.mld", 0xd4805bbb4a99db5aULL},
      {"Tune_sh1.mld", 0x61e5b27e148325acULL},
      {"Tune_sh2.mld", 0x25f83fc4cfa8a56cULL},
      {"Tune_so1.mld", 0x8fba98f1157f398bULL},
      {"Tune_so2.mld", 0x54663970fa801d36ULL}}},
    {"stereo 44100 Hz, 16000 Hz stereo outputs",
     {"1.5", "44100", "2"},
     {"--mld-rate", "16000", "--mld-channels", "stereo", "--mld-limit", "100", "--mmf-rate", "16000", "--mmf-channels",
      "stereo", "--3gp-rate", "32000", "--3gp-channels", "stereo"},

     {{"Tune.3g2", 0xd31f189061748254ULL},
      {"Tune.3gp", 0x75a1f6baa70a53eaULL},
      {"Tune.mmf", 0x98d6bcc77cb61332ULL},
      {"Tune_93s.mld", 0x92bc610a638586f7ULL},
      {"Tune_d1.mld", 0xdc4977b4976cf031ULL},
      {"Tune_f1s.mld", 0x8b30f75c4c29186eULL},
      {"Tune_lg.mld", 0xa09eceb8eba6ec08ULL},
      {"Tune_n2s.mld", 0x5e9eeb464f59cfdfULL},
      {"Tune_p1s.mld", 0xe176381951d4efc1ULL},
      {"Tune_p2.mld", 0x2d0cfd7ae61f0d90ULL},
      {"Tune_s2s.mld", 0x634e96c5c66f3efbULL},
      {"Tune_so2.mld", 0xd21e3b0808564f90ULL}}},
    {"mono 11025 Hz, default settings",
     {"3", "11025", "1"},
     {},
     {{"Tune.3g2", 0x881495b73ffddda4ULL},
      {"Tune.3gp", 0x9001228ef5e70fd9ULL},
      {"Tune.mmf", 0xc23b28a1eecbcf2eULL},
      {"Tune_93.mld", 0xf78171dbc398599dULL},
      {"Tune_d1.mld", 0x840351461abd6e07ULL},
      {"Tune_f1.mld", 0x97a2a32389c47765ULL},
      {"Tune_n1.mld", 0x1644eee5b80a2764ULL},
      {"Tune_n2.mld", 0xd64fb8199784fb7eULL},
      {"Tune_p1.mld", 0xebdd44fcc20fa7d2ULL},
      {"Tune_p2.mld", 0x2f36913105bbfaf6ULL},
      {"Tune_san.mld", 0x5b39b81dc9591405ULL},
      {"Tune_sh1.mld", 0xf5dbc06594a7db97ULL},
      {"Tune_sh2.mld", 0x46fee142ee8917a4ULL},
      {"Tune_so1.mld", 0x2c8d23c2f7badb27ULL},
      {"Tune_so2.mld", 0x7c5fddab8b287fd6ULL}}},
};

TEST_F(ReferenceChecksum, TheClassicResamplerWritesItsReferenceBytes) {
    const std::string input = MakeSample("Song.wav", "2", "22050", "2");
    for (const ChecksumCase& c : kClassicCases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> arguments = c.arguments;
        arguments.insert(arguments.end(), {"--resampler", "classic"});
        ExpectSums(Run(arguments, input), c.sums);
    }
}

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
