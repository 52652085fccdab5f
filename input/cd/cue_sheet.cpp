#include "input/cd/cue_sheet.h"

#include <cctype>
#include <memory>
#include <optional>

#include "input/cd/track_buffer.h"
#include "platform/paths.h"
#include "platform/regular_file.h"

namespace kvt::cd {
namespace {

constexpr size_t kMaxCueBytes = 1 << 20;
constexpr std::string_view kFileWithoutNameText = "FILE にファイル名と種類がありません";
constexpr std::string_view kNotBinaryText = "BINARY 以外のファイルは読めません: ";
constexpr std::string_view kTrackWithoutStartText = "INDEX 01 のないトラックがあります";
constexpr std::string_view kBadTrackNumberText = "TRACK の番号が正しくありません";
constexpr std::string_view kTrackBeforeFileText = "FILE より前に TRACK があります";
constexpr std::string_view kNotAudioText = "音声トラックではありません: ";
constexpr std::string_view kTracksOutOfOrderText = "トラック番号が 1 から順に並んでいません";
constexpr std::string_view kBadIndexText = "INDEX が正しくありません";
constexpr std::string_view kIndexBeforeTrackText = "TRACK より前に INDEX があります";
constexpr std::string_view kStartInOtherFileText = "INDEX 01 がトラックと別のファイルにあります";
constexpr std::string_view kStartBeforePreviousText = "トラックの開始位置が前のトラックより前にあります";
constexpr std::string_view kNoTracksText = "トラックがありません";
constexpr std::string_view kLineText = " 行目: ";
constexpr std::string_view kCannotOpenText = ": 開けません";
constexpr std::string_view kNotAFileText = ": 通常のファイルではありません";
constexpr std::string_view kSheetTooLargeText = ": キューシートが大きすぎます";
constexpr std::string_view kImageTooLargeText = ": イメージが大きすぎます";
constexpr std::string_view kTrackText = ": トラック ";
constexpr std::string_view kStartOutsideFileText = " の開始位置がファイルの外にあります";

std::string Upper(std::string_view word) {
    std::string upper(word);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

// Splits a line into words; a double-quoted word keeps its spaces.
std::vector<std::string> Words(std::string_view line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        if (std::isspace(static_cast<unsigned char>(line[i]))) {
            ++i;
            continue;
        }
        std::string word;
        if (line[i] == '"') {
            size_t end = line.find('"', i + 1);
            if (end == std::string_view::npos) end = line.size();
            word = std::string(line.substr(i + 1, end - i - 1));
            i = end + 1;
        } else {
            while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) word += line[i++];
        }
        words.push_back(std::move(word));
    }
    return words;
}

std::optional<int> Number(std::string_view text, int limit) {
    if (text.empty() || text.size() > 3) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > limit) return std::nullopt;
    return value;
}

// "mm:ss:ff" → frames (75 a second).
std::optional<uint64_t> TimeToFrames(std::string_view text) {
    size_t first = text.find(':');
    size_t second = first == std::string_view::npos ? first : text.find(':', first + 1);
    if (second == std::string_view::npos) return std::nullopt;
    const std::optional<int> minutes = Number(text.substr(0, first), 999);
    const std::optional<int> seconds = Number(text.substr(first + 1, second - first - 1), 59);
    const std::optional<int> fraction = Number(text.substr(second + 1), 74);
    if (!minutes || !seconds || !fraction) return std::nullopt;
    return (uint64_t(*minutes) * 60 + *seconds) * 75 + *fraction;
}

}  // namespace

std::variant<CueSheet, ImageFault> ParseCueSheet(std::string_view text) {
    CueSheet sheet;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    bool trackHasStart = true;
    int lineNumber = 0;
    auto fail = [&](const std::string& why) {
        return ImageFault{std::to_string(lineNumber) + std::string(kLineText) + why};
    };
    while (!text.empty()) {
        ++lineNumber;
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        std::vector<std::string> words = Words(line);
        if (words.empty()) continue;
        const std::string command = Upper(words[0]);
        if (command == "FILE") {
            if (words.size() < 3) return fail(std::string(kFileWithoutNameText));
            if (Upper(words[2]) != "BINARY") return fail(std::string(kNotBinaryText) + words[2]);
            if (!trackHasStart) return fail(std::string(kTrackWithoutStartText));
            sheet.files.push_back(words[1]);
        } else if (command == "TRACK") {
            const std::optional<int> number = words.size() < 3 ? std::nullopt : Number(words[1], kMaxTracks);
            if (!number) return fail(std::string(kBadTrackNumberText));
            if (sheet.files.empty()) return fail(std::string(kTrackBeforeFileText));
            if (!trackHasStart) return fail(std::string(kTrackWithoutStartText));
            if (Upper(words[2]) != "AUDIO") return fail(std::string(kNotAudioText) + words[2]);
            if (*number != static_cast<int>(sheet.tracks.size()) + 1) return fail(std::string(kTracksOutOfOrderText));
            sheet.tracks.push_back({*number, sheet.files.size() - 1, 0});
            trackHasStart = false;
        } else if (command == "INDEX") {
            const std::optional<int> index = words.size() < 3 ? std::nullopt : Number(words[1], 99);
            const std::optional<uint64_t> frames = words.size() < 3 ? std::nullopt : TimeToFrames(words[2]);
            if (!index || !frames) return fail(std::string(kBadIndexText));
            if (sheet.tracks.empty()) return fail(std::string(kIndexBeforeTrackText));
            if (*index != 1) continue;
            CueTrack& track = sheet.tracks.back();
            if (track.file != sheet.files.size() - 1) return fail(std::string(kStartInOtherFileText));
            if (sheet.tracks.size() >= 2) {
                const CueTrack& previous = sheet.tracks[sheet.tracks.size() - 2];
                if (previous.file == track.file && previous.startFrame >= *frames)
                    return fail(std::string(kStartBeforePreviousText));
            }
            track.startFrame = *frames;
            trackHasStart = true;
        }
        // REM, TITLE, PERFORMER, PREGAP, POSTGAP, FLAGS, ISRC and the like do not change
        // where the audio is.
    }
    ++lineNumber;
    if (!trackHasStart) return fail(std::string(kTrackWithoutStartText));
    if (sheet.tracks.empty()) return fail(std::string(kNoTracksText));
    return sheet;
}

namespace {

// Opens what the sheet names without blocking: a named pipe, a device or a folder is turned
// away at once instead of waiting for a writer.
std::variant<std::unique_ptr<RegularFile>, ImageFault> OpenRegularFile(const std::string& path) {
    auto file = std::make_unique<RegularFile>(path);
    switch (file->Check()) {
    case FileCheck::Regular: return file;
    case FileCheck::Missing: return ImageFault{path + std::string(kCannotOpenText)};
    case FileCheck::NotRegular: break;
    }
    return ImageFault{path + std::string(kNotAFileText)};
}

}  // namespace

std::variant<std::shared_ptr<DiscImage>, ImageFault> LoadCueImage(const std::string& cuePath) {
    auto opened = OpenRegularFile(cuePath);
    if (ImageFault* fault = std::get_if<ImageFault>(&opened)) return std::move(*fault);
    const RegularFile& cue = *std::get<std::unique_ptr<RegularFile>>(opened);
    if (cue.Size() > kMaxCueBytes) return ImageFault{cuePath + std::string(kSheetTooLargeText)};
    std::vector<uint8_t> bytes;
    if (!cue.ReadAll(bytes)) return ImageFault{cuePath + std::string(kCannotOpenText)};
    auto parsed = ParseCueSheet(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (ImageFault* fault = std::get_if<ImageFault>(&parsed)) return ImageFault{cuePath + ": " + fault->text};
    const CueSheet& sheet = std::get<CueSheet>(parsed);

    const std::string folder = FolderOfPath(cuePath);
    std::vector<std::unique_ptr<RegularFile>> files;  // closed on every failure below
    std::vector<uint64_t> fileFrames;
    std::vector<uint64_t> fileStart;  // disc frame where each file begins
    uint64_t discFrames = 0;
    for (const std::string& name : sheet.files) {
        std::string path = name.starts_with('/') ? name : JoinPath(folder, name);
        auto file = OpenRegularFile(path);
        if (ImageFault* fault = std::get_if<ImageFault>(&file)) return std::move(*fault);
        files.push_back(std::move(std::get<std::unique_ptr<RegularFile>>(file)));
        fileStart.push_back(discFrames);
        fileFrames.push_back(files.back()->Size() / kFrameBytes);
        discFrames += fileFrames.back();
    }
    // Track starts as a 32-bit frame address; a disc holds far fewer frames.
    if (discFrames >= (1u << 24)) return ImageFault{cuePath + std::string(kImageTooLargeText)};
    std::vector<uint32_t> starts;
    for (const CueTrack& track : sheet.tracks) {
        if (track.startFrame >= fileFrames[track.file]) {
            return ImageFault{cuePath + std::string(kTrackText) + std::to_string(track.number) +
                              std::string(kStartOutsideFileText)};
        }
        starts.push_back(static_cast<uint32_t>(fileStart[track.file] + track.startFrame));
    }
    std::vector<DiscImage::FilePiece> pieces;
    for (size_t i = 0; i < files.size(); ++i) pieces.push_back({files[i]->ReleaseDescriptor(), fileFrames[i]});
    return DiscImage::FromFiles(pieces, std::move(starts));
}

}  // namespace kvt::cd
