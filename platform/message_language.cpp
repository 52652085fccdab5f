#include "platform/message_language.h"

#include <algorithm>
#include <cstdlib>
#include <regex>
#include <vector>

namespace kvt {
namespace {

// Every text the conversion core, the CD layer, the general library and the ringtone
// player show, with its English. A new message text needs its row here (a test looks for
// every message text of those folders in this table).
constexpr MessageRendition kRenditions[] = {
    // General library error codes
    {"メモリが不足しています。", "Not enough memory."},
    {"パフォーマンスが低下しています。一旦終了して、再起動してください。",
     "The program has slowed down. Quit it and start it again."},
    {"ファイルが見つかりませんでした。", "The file was not found."},
    {"16進数のデータの記述に誤りがあります。", "The hexadecimal data is written wrongly."},
    {"ファイルが開けませんでした。ファイルリストを絶対パスで記述してみてください。\n"
     "あるいは、出力フォルダや作業フォルダの設定などを確認してください。",
     "The file could not be opened. Try absolute paths in the file list,\n"
     "or check the output folder and the work folder."},
    {"データが大きすぎます。", "The data is too large."},
    {"パラメータに誤りがあります。", "A parameter is wrong."},
    {"カレントディレクトリが取得できませんでした。", "The current directory could not be found."},
    {"ファイルサイズにエラーがあります。", "The file size is wrong."},
    {"拍子にエラーがあります。", "The time signature is wrong."},
    {"自動編曲中にエラーが発生しました。(1)", "An error occurred in the automatic arrangement. (1)"},
    {"楽曲解析中にエラーが発生しました。", "An error occurred while the music was analysed."},
    {"自動編曲中にエラーが発生しました。(2)", "An error occurred in the automatic arrangement. (2)"},
    {"BPM変換でエラーが発生しました。", "An error occurred in the BPM conversion."},
    {"テンポ変換でエラーが発生しました。", "An error occurred in the tempo conversion."},
    {"汎用処理でエラーが発生しました。", "An error occurred in a general routine."},

    // WAV reading and writing
    {"不明なタグが検出されました。", "An unknown tag was found."},
    {"不明なタグが検出されました。処理は継続可能です。", "An unknown tag was found. The work can go on."},
    {"ファイルが開けませんでした。", "The file could not be opened."},
    {"フォーマットが違う音声ファイルを処理しようとしました。", "The sound file is not of a format that can be read."},
    {"ビット数を変更しました。", "The bit depth was changed."},
    {"対応していないビット数のWAVファイルです。", "The WAV file has a bit depth that is not supported."},
    {"対応していないサンプリング周波数のWAVファイルです。", "The WAV file has a sampling rate that is not supported."},
    {"ファイルが途中で切れています。ヘッダーでは%.1f秒ですが、読み込めたのは%.1f秒です。",
     "The file is cut short: its header says %.1f s, but only %.1f s could be read."},
    {"ファイルはオープン済みです。", "The file is open already."},
    {"ファイル名がありません。", "There is no file name."},
    {"ファイルの作成に失敗しました。", "The file could not be created."},
    {"リフチャンクの作成に失敗しました。", "The RIFF chunk could not be created."},
    {"フォーマットチャンクの作成に失敗しました。", "The format chunk could not be created."},
    {"フォーマットチャンクの書き込みに失敗しました。", "The format chunk could not be written."},
    {"データチャンクの作成に失敗しました。", "The data chunk could not be created."},
    {"データの書き込みに失敗しました。", "The data could not be written."},
    {"ファイルのクローズに失敗しました。", "The file could not be closed."},
    {"RIFF", "RIFF: the file is not a RIFF file.", "RIFF（RIFFファイルではありません）"},
    {"WAVE", "WAVE: the file is not a WAVE file.", "WAVE（WAVEファイルではありません）"},
    {"fmt", "fmt: the file has no usable fmt chunk.", "fmt（使えるfmtチャンクがありません）"},
    {"data", "data: the file has no usable data chunk.", "data（使えるdataチャンクがありません）"},

    // Decoding and loading the input
    {"変換中にエラーが発生しました。\nWMAファイルの場合は、著作権情報が入っている可能性があります。\n"
     "ＣＤからＷＡＶとして抽出して変換してください。",
     "An error occurred in the conversion.\nA WMA file may carry copyright protection.\n"
     "Rip the CD to WAV and convert that."},
    {"エンコーダが見つかりませんでした。", "The encoder program was not found."},
    {"このファイルは変換できません。", "This file cannot be converted."},
    {"MP3をWAVファイルに変換するための外部プログラムを指定してください。",
     "Choose the external program that turns MP3 into WAV files."},
    {"指定されたファイルが存在しません。", "The file given does not exist."},
    {"MP3の変換に失敗しました。MP3のエンコーダの指定をクリアしますか？",
     "The MP3 conversion failed. Clear the choice of MP3 decoder?"},
    {"ファイルが異常です。CDからの抽出の場合は、CDをトレイに入れなおして再試行してください。",
     "The file is damaged. If it was ripped from a CD, put the CD in the tray again and retry."},
    {"error", "error: the sound cannot be handled in this form.", "error（この形の音声は扱えません）"},

    // The conversion job
    {"ファイルを選択してください。", "Choose a file."},
    {"メモリの割り当てに失敗しました。ファイルが大きすぎる可能性があります。",
     "Memory could not be allocated. The file may be too large."},
    {"CMFCzorvikDlg::ErrorMsg", "CMFCzorvikDlg::ErrorMsg: an error of unknown cause.",
     "CMFCzorvikDlg::ErrorMsg（原因の分からないエラーです）"},
    {"選択範囲が長いため、MLDファイルには先頭の%.1f秒だけを保存しました。",
     "The range is long: the MLD files keep only its first %.1f s."},
    {"変換するファイルの種類を決めてください。", "Choose the kinds of file to convert to."},
    {"変換できませんでした。", "Not converted"},
    {"外部エンコーダを指定してください。", "Choose the external encoder."},
    {"内部エンコーダーを使用します。", "The internal encoder is used."},
    {"3G2ファイルへの変換に外部エンコーダリンク機能は使用できません。内部エンコーダで変換を行います。",
     "The external encoder cannot make 3G2 files. The internal encoder makes them."},
    {"%sにファイルを保存しました。", "Files saved in %s."},
    {"%sに次のファイルを保存しました。", "These files are saved in %s:"},
    {"残りのファイルの変換は中止しました。", "The rest of the files were not made: the conversion was stopped."},
    {"変換を中止しました。保存したファイルはありません。", "The conversion was stopped. No file was saved."},
    {"変換した着信音の保存先フォルダを選んでください。あとで設定から変更できます。",
     "Choose the folder to save the ringtones in. The settings can change it later."},
    {"ファイルサイズの制限", "File size limit"},
    {"%s: %d KB に収めるため %.1f 秒に短くしました。", "%s: to fit in %d KB, shortened to %.1f s."},
    {"次のファイルは %d KB に収まりません。", "These files do not fit in %d KB:"},
    {"%s: %.1f 秒に短くすれば収まります。", "%s: fits when shortened to %.1f s."},
    {"短くして保存しますか？", "Shorten them and save?"},
    {"次からは聞かずに同じようにする", "Do the same from now on without asking"},
    {"%s: shortened to %.1f s to fit in %d KB", "%s: shortened to %.1f s to fit in %d KB"},

    // The engine and the MLD and MMF writers
    {"no memory", "no memory: there is not enough memory for the sound.", "no memory（メモリが足りません）"},
    {"filesize", "filesize: the file's size does not match what it holds.",
     "filesize（ファイルのサイズが中身と合いません）"},
    {"This is not pcm data.", "This is not PCM data."},
    {"Error", "Error: the handset's row has no MLD layout.", "Error（この機種の行にMLDのレイアウトがありません）"},
    {"error2", "error2: the handset's row has no MLD layout.", "error2（この機種の行にMLDのレイアウトがありません）"},
    {"error3", "error3: the handset's row has no MLD layout.", "error3（この機種の行にMLDのレイアウトがありません）"},
    {"error5", "error5: the handset's row has no MLD layout.", "error5（この機種の行にMLDのレイアウトがありません）"},
    {"対応していないビット数です。", "The bit depth is not supported."},
    {"ファイルのサイズが大きすぎます。", "The file is too large."},
    {"ファイルが書き込めませんでした。", "The file could not be written."},
    {"file is not found", "The file is not found."},
    {"no macfile", "no macfile: there is no file chunk to add to.",
     "no macfile（追加先のファイルチャンクがありません）"},
    {"未定義のエラー", "Undefined error: the sampling rate has no MLD code."},
    {"fmt_num", "fmt_num: there is no such MLD preset.", "fmt_num（そのMLDプリセットはありません）"},
    {"normalize", "normalize: the level to normalise to lies outside 0 to 500 %.",
     "normalize（正規化のレベルが0～500%の外です）"},
    {"samplerate:4000,8000,16000,32000",
     "samplerate:4000,8000,16000,32000: MLD files take 4000, 8000, 16000 or 32000 Hz only.",
     "samplerate:4000,8000,16000,32000（MLDファイルは4000、8000、16000、32000Hzだけです）"},
    {"samplerate_f04:%s", "samplerate_f04:%s: the handset's preset does not take 4000 Hz.",
     "samplerate_f04:%s（この機種のプリセットは4000Hzに対応していません）"},
    {"samplerate_f08:%s", "samplerate_f08:%s: the handset's preset does not take 8000 Hz.",
     "samplerate_f08:%s（この機種のプリセットは8000Hzに対応していません）"},
    {"samplerate_f16:%s", "samplerate_f16:%s: the handset's preset does not take 16000 Hz.",
     "samplerate_f16:%s（この機種のプリセットは16000Hzに対応していません）"},
    {"samplerate_f32:%s", "samplerate_f32:%s: the handset's preset does not take 32000 Hz.",
     "samplerate_f32:%s（この機種のプリセットは32000Hzに対応していません）"},
    {"samplerate 32kはモノラルのみ", "samplerate 32k is for mono only."},
    {"zorvikを保存できませんでした。", "The MLD file could not be saved."},
    {"ステレオに対応していません。", "Stereo is not supported."},
    {"指定されたファイルサイズの制限を越えています。", "The file is larger than the size limit chosen."},
    {"未対応レート", "The rate is not supported."},
    {"4000Hz Stereoの変換は出来ません。", "4000 Hz stereo cannot be converted."},
    {"samplerate:24000", "samplerate:24000: MMF files take at most 24000 Hz.",
     "samplerate:24000（MMFファイルは24000Hzまでです）"},
    {"tarrow function", "tarrow function: the MMF file could not be built.",
     "tarrow function（MMFファイルを組み立てられませんでした）"},
    {"MMFに変換できるのは262秒までです。範囲を短くしてください。",
     "An MMF file holds at most 262 seconds. Choose a shorter range."},

    // 3GP and 3G2
    {"外部エンコーダでの変換に失敗しました。内部エンコーダを使用します。",
     "The external encoder failed. The internal encoder is used."},
    {"samplerate:44100", "samplerate:44100: 3GP and 3G2 files take at most 44100 Hz.",
     "samplerate:44100（3GP/3G2ファイルは44100Hzまでです）"},
    {"ファイル名に日本語が含まれています。", "The file name contains Japanese characters."},
    {"音声が長すぎます。3GP/3G2ファイルに入るのは65531フレーム（44100Hzで約25分）までです。",
     "The sound is too long. A 3GP/3G2 file holds at most 65531 frames (about 25 minutes at 44100 Hz)."},
    {"File_3gp::ErrorMsg", "File_3gp::ErrorMsg: the external encoder's file lacks a box the 3GP file needs.",
     "File_3gp::ErrorMsg（外部エンコーダのファイルに3GPファイルに要るボックスがありません）"},
    {"aacエンコーダを開けませんでした。(%d Hz, %dチャンネル)",
     "The AAC encoder could not be opened. (%d Hz, %d channels)"},
    {"error channel", "error channel: only mono and stereo can be coded.",
     "error channel（モノラルとステレオのほかは符号化できません）"},
    {"aac変換が異常です。", "The AAC conversion is abnormal."},
    {"元データが壊れているか、aac変換のパラメータが間違っています。",
     "The source data is damaged, or the AAC conversion's parameters are wrong."},
    {"aac変換中にエラーが発生しました。ファイルは作成されません。",
     "An error occurred in the AAC conversion. No file is made."},
    {"出力ファイル開けませんでした。", "The output file could not be opened."},
    {"読み込みエラー。", "Read error."},
    {"エラー。", "Error."},
    {"Converting to 3GP file...", "Converting to 3GP file..."},

    // CD drives, rips and cue sheets
    {"（このユーザーが cdrom グループに入っていない可能性があります）", " (this user may not be in the cdrom group)"},
    {": デバイスは使用中です", ": the device is busy"},
    {": Permission denied", ": Permission denied"},
    {": INQUIRY に応答がありません", ": no answer to INQUIRY"},
    {"リッピングは異常終了しました。", "The rip ended abnormally."},
    {"CD-ROMドライブではありません。", "This is not a CD-ROM drive."},
    {"CDがセットされていません。", "There is no CD in the drive."},
    {"WAVファイルの作成に失敗しました。", "The WAV file could not be created."},
    {"ファイル名が指定されていません。", "No file name was given."},
    {"WAVファイルのクローズに失敗しました。", "The WAV file could not be closed."},
    {"CDのトラックの指定が正しくありません。\n「D:\\Track01.cda」の形で指定してください。",
     "The CD track is not given correctly.\nGive it as \"D:\\Track01.cda\"."},
    {"FILE にファイル名と種類がありません", "FILE has no file name and type"},
    {"BINARY 以外のファイルは読めません: ", "only BINARY files can be read, not "},
    {"INDEX 01 のないトラックがあります", "a track has no INDEX 01"},
    {"TRACK の番号が正しくありません", "the TRACK number is wrong"},
    {"FILE より前に TRACK があります", "a TRACK comes before any FILE"},
    {"音声トラックではありません: ", "not an audio track: "},
    {"トラック番号が 1 から順に並んでいません", "the track numbers do not run from 1 in order"},
    {"INDEX が正しくありません", "the INDEX is wrong"},
    {"TRACK より前に INDEX があります", "an INDEX comes before any TRACK"},
    {"INDEX 01 がトラックと別のファイルにあります", "INDEX 01 lies in another file than its track"},
    {"トラックの開始位置が前のトラックより前にあります", "a track starts before the track before it"},
    {"トラックがありません", "there are no tracks"},
    {"%d 行目: ", "line %d: "},
    {": 開けません", ": cannot be opened"},
    {": 通常のファイルではありません", ": not a regular file"},
    {": キューシートが大きすぎます", ": the cue sheet is too large"},
    {": イメージが大きすぎます", ": the image is too large"},
    {": トラック %d の開始位置がファイルの外にあります", ": track %d starts outside its file"},

    // Playing a sound
    {"着信音ファイルの音を読み出せませんでした。", "The sound of the ringtone file could not be read."},
    {"試聴用の一時ファイルを作れませんでした。", "The temporary file for hearing the result could not be made."},
    {"このファイルの再生はできません。変換は可能かもしれません。", "This file cannot be played. It may still convert."},
    {"WAV再生のヘッダー処理でエラーが発生しました。他のアプリケーションを全部閉じてやりなおしてみてください。",
     "An error occurred in preparing the playback. Close all other applications and try again."},
    {"WAV再生の書き出し処理でエラーが発生しました。他のアプリケーションを全部閉じてやりなおしてみてください。",
     "An error occurred in writing the playback. Close all other applications and try again."},
    {"（音を出す装置が見つかりません。サウンドサーバーが動いているか確かめてください）",
     "(No sound device was found: check that the sound server is running.)"},
    {"（サウンドサーバーが止まりました。サーバーを起動してからもう一度再生してください）",
     "(The sound server stopped: start it and play again.)"},
};

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// A printf conversion at `at` ("%d", "%.1f", "%s"): its length, 0 when there is none.
size_t ConversionLength(std::string_view text, size_t at) {
    for (std::string_view conversion : {"%d", "%.1f", "%s"})
        if (text.substr(at, conversion.size()) == conversion) return conversion.size();
    return 0;
}

std::string PatternOf(std::string_view text, bool whole) {
    std::string pattern = whole ? "^" : "";
    for (size_t at = 0; at < text.size();) {
        if (const size_t length = ConversionLength(text, at)) {
            const std::string_view conversion = text.substr(at, length);
            pattern += conversion == "%d" ? "(-?[0-9]+)" : conversion == "%.1f" ? "(-?[0-9]+(?:\\.[0-9]+)?)" : "(.*?)";
            at += length;
            continue;
        }
        const char c = text[at++];
        if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos) pattern += '\\';
        pattern += c;
    }
    return whole ? pattern + "$" : pattern;
}

// `rendition` as a replacement: its conversions take the captured values in order.
std::string ReplacementOf(std::string_view rendition) {
    std::string replacement;
    int group = 0;
    for (size_t at = 0; at < rendition.size();) {
        if (const size_t length = ConversionLength(rendition, at)) {
            replacement += "$" + std::to_string(++group);
            at += length;
            continue;
        }
        if (rendition[at] == '$') replacement += '$';
        replacement += rendition[at++];
    }
    return replacement;
}

struct CompiledRendition {
    std::regex pattern;
    std::string english;
    std::string japanese;  // empty: the Japanese text stays as it is
};

const std::vector<CompiledRendition>& Compiled() {
    static const std::vector<CompiledRendition> compiled = [] {
        std::vector<const MessageRendition*> rows;
        for (const MessageRendition& row : kRenditions) rows.push_back(&row);
        // A longer text first, so that a text that holds a shorter one is taken whole.
        std::stable_sort(rows.begin(), rows.end(), [](auto* a, auto* b) { return a->text.size() > b->text.size(); });
        std::vector<CompiledRendition> out;
        for (const MessageRendition* row : rows)
            out.push_back({std::regex(PatternOf(row->text, IsAscii(row->text))), ReplacementOf(row->english),
                           row->japanese.empty() ? std::string() : ReplacementOf(row->japanese)});
        return out;
    }();
    return compiled;
}

}  // namespace

std::span<const MessageRendition> MessageRenditions() {
    return kRenditions;
}

bool MessagesInJapanese() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return std::string_view(value).starts_with("ja");
    }
    return false;
}

std::string LocalizedMessage(std::string_view text, bool japanese) {
    std::string out(text);
    for (const CompiledRendition& row : Compiled()) {
        if (japanese && row.japanese.empty()) continue;
        out = std::regex_replace(out, row.pattern, japanese ? row.japanese : row.english);
    }
    return out;
}

}  // namespace kvt
