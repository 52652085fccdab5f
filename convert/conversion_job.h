#pragma once
// The conversion job the convert button runs: cut the selection out of the loaded input,
// read the output choices from the grid and call the encoders one after another, each
// output into the saving directory, then one closing message.

#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "convert/button_grid.h"
#include "convert/conversion_host.h"
#include "engine/mld_fit.h"
#include "engine/pcm_operations.h"
#include "iso/encoder_3gp.h"

namespace kvt {

inline constexpr std::string_view kNothingChosenText = "変換するファイルの種類を決めてください。";
inline constexpr std::string_view kNothingChosenCaption = "変換できませんでした。";
inline constexpr std::string_view kChooseEncoderText = "外部エンコーダを指定してください。";
inline constexpr std::string_view kInternalEncoderText = "内部エンコーダーを使用します。";
inline constexpr std::string_view k3g2ExternalText =
    "3G2ファイルへの変換に外部エンコーダリンク機能は使用できません。内部エンコーダで変換を行います。";
inline constexpr std::string_view kSavedText = "にファイルを保存しました。";
// The closing message of a stopped job: the folder, the files it wrote, one a line, then
// that the rest were not made.
inline constexpr std::string_view kSavedTheseText = "に次のファイルを保存しました。";
inline constexpr std::string_view kRestStoppedText = "残りのファイルの変換は中止しました。";
inline constexpr std::string_view kStoppedBeforeAnyText = "変換を中止しました。保存したファイルはありません。";

inline constexpr int kJobNormalizeLevel = 100;  // the MLD rows' level, percent of full scale

// What the grid asks of one job.
struct JobChoices {
    int mldRate = 0;      // 0 when no rate cell is on: the input's own rate
    int mldChannels = 1;  // 1 mono, 2 stereo
    uint32_t mldSizeLimit = kMldLimit10Kb;
    bool mmf = false;
    int mmfRate = 0;  // 0: the input's own rate
    int mmfChannels = 1;
    bool make3gp = false;
    bool make3g2 = false;
    int aacRate = 8000;  // without a rate cell the lowest pair
    int aacBitRate = 32000;
    int aacChannels = 1;
    bool streaming = false;
    bool useExternal = false;
    ResamplerKind resampler = ResamplerKind::BandLimited;  // from the settings, not the grid
};

JobChoices ReadJobChoices(const ButtonGrid& grid);

// The 3GP/3G2 file the grid asks for; the job's 3GP step adds the streaming, external and
// scratch-file choices.
Aac3gpRequest AacRequest(const JobChoices& choices, int kind, const std::string& title);

// The 13 MLD handset cells, MMF cell 0, 3GP cells 0 and 4 that are on (0 to 16).
int CountSelectedOutputs(const ButtonGrid& grid);

// Asks for the external encoder program: 1 when one was chosen that can be opened, else 0
// with settings.externalEncoderPath cleared.
int ChooseExternalEncoder(Settings& settings);

// The two-text box of a job with nothing to make.
void ShowNothingChosenMessage();

enum class JobOutcome {
    NoInput,        // ErrorMsg 1
    NothingChosen,  // the two-text message
    OutOfMemory,    // ErrorMsg 2, the job ended early
    Finished,       // every chosen output was tried
    Stopped,        // the caller stopped the job; the outputs made before are listed
};

struct JobOutput {
    std::string path;
    bool written = false;  // a new file is in place (a failure has shown its message)
};

struct JobReport {
    JobOutcome outcome = JobOutcome::NoInput;
    std::vector<JobOutput> outputs;  // in the order they were made

    bool AllWritten() const;
};

// The closing message of a job that ran: "<directory>にファイルを保存しました。" when a file
// was written, nothing after nothing but failures (it would be untrue); a stopped job names
// the files it wrote and says the rest were not made.
std::optional<std::string> ClosingMessage(const JobReport& report, const std::string& savingDirectory);

// Runs one job on the host's loaded input, and shows its closing message. `stop` is looked
// at before each output and between the AAC frames: the job ends without the output being
// made, and the files already written stay.
JobReport OnConvert(ConversionHost& host, std::stop_token stop = {});

}  // namespace kvt
