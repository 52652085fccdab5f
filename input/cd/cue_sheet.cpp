#include "input/cd/cue_sheet.h"

#include <cctype>
#include <memory>

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

bool Number(std::string_view text, int limit, int& value) {
    if (text.empty() || text.size() > 3) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return value <= limit;
}

// "mm:ss:ff" → frames (75 a second).
bool TimeToFrames(std::string_view text, uint64_t& frames) {
    size_t first = text.find(':');
    size_t second = first == std::string_view::npos ? first : text.find(':', first + 1);
    if (second == std::string_view::npos) return false;
    int minutes, seconds, fraction;
    if (!Number(text.substr(0, first), 999, minutes) ||
        !Number(text.substr(first + 1, second - first - 1), 59, seconds) ||
        !Number(text.substr(second + 1), 74, fraction))
        return false;
    frames = (uint64_t(minutes) * 60 + seconds) * 75 + fraction;
    return true;
}

}  // namespace

bool ParseCueSheet(std::string_view text, CueSheet& sheet, std::string& error) {
    sheet = {};
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    bool trackHasStart = true;
    int lineNumber = 0;
    auto fail = [&](const std::string& why) {
        error = std::to_string(lineNumber) + std::string(kLineText) + why;
        return false;
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
            int number;
            if (words.size() < 3 || !Number(words[1], kMaxTracks, number))
                return fail(std::string(kBadTrackNumberText));
            if (sheet.files.empty()) return fail(std::string(kTrackBeforeFileText));
            if (!trackHasStart) return fail(std::string(kTrackWithoutStartText));
            if (Upper(words[2]) != "AUDIO") return fail(std::string(kNotAudioText) + words[2]);
            if (number != static_cast<int>(sheet.tracks.size()) + 1) return fail(std::string(kTracksOutOfOrderText));
            sheet.tracks.push_back({number, sheet.files.size() - 1, 0});
            trackHasStart = false;
        } else if (command == "INDEX") {
            int index;
            uint64_t frames;
            if (words.size() < 3 || !Number(words[1], 99, index) || !TimeToFrames(words[2], frames))
                return fail(std::string(kBadIndexText));
            if (sheet.tracks.empty()) return fail(std::string(kIndexBeforeTrackText));
            if (index != 1) continue;
            CueTrack& track = sheet.tracks.back();
            if (track.file != sheet.files.size() - 1) return fail(std::string(kStartInOtherFileText));
            if (sheet.tracks.size() >= 2) {
                const CueTrack& previous = sheet.tracks[sheet.tracks.size() - 2];
                if (previous.file == track.file && previous.startFrame >= frames)
                    return fail(std::string(kStartBeforePreviousText));
            }
            track.startFrame = frames;
            trackHasStart = true;
        }
        // REM, TITLE, PERFORMER, PREGAP, POSTGAP, FLAGS, ISRC and the like do not change
        // where the audio is.
    }
    ++lineNumber;
    if (!trackHasStart) return fail(std::string(kTrackWithoutStartText));
    if (sheet.tracks.empty()) return fail(std::string(kNoTracksText));
    return true;
}

namespace {

// Opens what the sheet names without blocking: a named pipe, a device or a folder is turned
// away at once instead of waiting for a writer. Nothing, with `error` set, when it is not
// a readable regular file.
std::unique_ptr<RegularFile> OpenRegularFile(const std::string& path, std::string& error) {
    auto file = std::make_unique<RegularFile>(path);
    switch (file->Check()) {
    case FileCheck::Regular: return file;
    case FileCheck::Missing: error = path + std::string(kCannotOpenText); break;
    case FileCheck::NotRegular: error = path + std::string(kNotAFileText); break;
    }
    return nullptr;
}

}  // namespace

std::shared_ptr<DiscImage> LoadCueImage(const std::string& cuePath, std::string& error) {
    std::unique_ptr<RegularFile> cue = OpenRegularFile(cuePath, error);
    if (!cue) return nullptr;
    if (cue->Size() > kMaxCueBytes) {
        error = cuePath + std::string(kSheetTooLargeText);
        return nullptr;
    }
    std::vector<uint8_t> bytes;
    if (!cue->ReadAll(bytes)) {
        error = cuePath + std::string(kCannotOpenText);
        return nullptr;
    }
    CueSheet sheet;
    if (!ParseCueSheet(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), sheet, error)) {
        error = cuePath + ": " + error;
        return nullptr;
    }

    const std::string folder = FolderOfPath(cuePath);
    std::vector<std::unique_ptr<RegularFile>> files;  // closed on every failure below
    std::vector<uint64_t> fileFrames;
    std::vector<uint64_t> fileStart;  // disc frame where each file begins
    uint64_t discFrames = 0;
    for (const std::string& name : sheet.files) {
        std::string path = name.starts_with('/') ? name : JoinPath(folder, name);
        files.push_back(OpenRegularFile(path, error));
        if (!files.back()) return nullptr;
        fileStart.push_back(discFrames);
        fileFrames.push_back(files.back()->Size() / kFrameBytes);
        discFrames += fileFrames.back();
    }
    // Track starts as a 32-bit frame address; a disc holds far fewer frames.
    if (discFrames >= (1u << 24)) {
        error = cuePath + std::string(kImageTooLargeText);
        return nullptr;
    }
    std::vector<uint32_t> starts;
    for (const CueTrack& track : sheet.tracks) {
        if (track.startFrame >= fileFrames[track.file]) {
            error =
                cuePath + std::string(kTrackText) + std::to_string(track.number) + std::string(kStartOutsideFileText);
            return nullptr;
        }
        starts.push_back(static_cast<uint32_t>(fileStart[track.file] + track.startFrame));
    }
    std::vector<DiscImage::FilePiece> pieces;
    for (size_t i = 0; i < files.size(); ++i) pieces.push_back({files[i]->ReleaseDescriptor(), fileFrames[i]});
    return DiscImage::FromFiles(pieces, std::move(starts));
}

}  // namespace kvt::cd
