// Yamaha-type ADPCM: golden codes worked out by hand, and decoding by FFmpeg's own Yamaha
// ADPCM decoder (an independent implementation) for the signal-to-noise ratio.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "codec_test_signals.h"
#include "engine/sample_codecs.h"
#include "platform/process.h"

namespace kvt {
namespace {

struct GoldenCase {
  const char* fault;
  std::vector<int16_t> samples;
  std::vector<uint8_t> bytes;
};

TEST(YamahaAdpcmTest, GoldenCodes) {
  const GoldenCase cases[] = {
      {"the worked example: codes 0 and 7, first code low", {0, 1000}, {0x70}},
      // -1000: q = -62 -> code 15, predictor -238, step 304; 0: q = 6 -> code 3.
      {"negative code and the largest step factor", {-1000, 0}, {0x3F}},
      // 100 -> code 3, predictor 111, step 127 (floor); -100: q = -13 -> code 14.
      {"step stays at its floor of 127", {100, -100}, {0xE3}},
      // -10: q = -80/127 = 0 -> code 0 (no sign without a quotient); then q = -1 -> code 8.
      {"sign comes from the quotient, not from the difference", {-10, -10}, {0x80}},
      {"an unpaired last sample is dropped", {0, 1000, 5000}, {0x70}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(EncodeYamahaAdpcm(c.samples), c.bytes) << c.fault;
}

// Decodes bytes with `ffmpeg -f u8 -c:a adpcm_yamaha` in a temporary folder.
class FfmpegYamahaDecoder {
 public:
  FfmpegYamahaDecoder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kvt-yamaha-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) folder_ = pattern;
  }
  ~FfmpegYamahaDecoder() {
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
  }

  std::vector<int16_t> Decode(const std::vector<uint8_t>& bytes) {
    if (folder_.empty()) {
      ADD_FAILURE() << "no temporary folder";
      return {};
    }
    const auto raw = folder_ / "codes.raw";
    const auto pcm = folder_ / "decoded.pcm";
    std::ofstream(raw, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    const LaunchResult result = RunProgram(
        "ffmpeg",
        {"-nostdin", "-loglevel", "error", "-y", "-f", "u8", "-ar", "8000", "-ac", "1", "-c:a",
         "adpcm_yamaha", "-i", raw.string(), "-f", "s16le", pcm.string()},
        std::chrono::seconds(30));
    if (result.outcome != LaunchOutcome::Finished || result.exitCode != 0) {
      ADD_FAILURE() << "ffmpeg did not decode the codes";
      return {};
    }
    std::ifstream in(pcm, std::ios::binary);
    const std::vector<char> data((std::istreambuf_iterator<char>(in)), {});
    std::vector<int16_t> samples(data.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
      samples[i] = static_cast<int16_t>(static_cast<uint8_t>(data[2 * i]) |
                                        (static_cast<uint8_t>(data[2 * i + 1]) << 8));
    return samples;
  }

 private:
  std::filesystem::path folder_;
};

struct SnrCase {
  const char* name;
  std::vector<int16_t> samples;
  double minimumDb;  // a little under the measured figure
};

TEST(YamahaAdpcmTest, FfmpegDecoderReproducesTheSignal) {
  const SnrCase cases[] = {
      {"half-scale 440 Hz sine", test::Sine(8000, 16384, 440.0 / 8000), 28.0},
      {"speech-like", test::SpeechLike(16000), 28.0},
      {"full-scale square (predictor and step at their limits)", test::FullScaleSquare(4001, 400),
       10.0},
  };
  FfmpegYamahaDecoder decoder;
  for (const auto& c : cases) {
    const auto codes = EncodeYamahaAdpcm(c.samples);
    const auto decoded = decoder.Decode(codes);
    ASSERT_EQ(decoded.size(), c.samples.size() / 2 * 2) << c.name;
    const double snr = test::SignalToNoiseDb(c.samples, decoded);
    RecordProperty(c.name, std::to_string(snr));
    EXPECT_GT(snr, c.minimumDb) << c.name << ": " << snr << " dB";
  }
}

}  // namespace
}  // namespace kvt
