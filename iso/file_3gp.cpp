#include "iso/file_3gp.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <limits>
#include <numeric>

#include "engine/byte_order.h"
#include "iso/aac_bit_rates.h"
#include "iso/box_buffer.h"
#include "iso/esds_bit_rates.h"
#include "iso/file_3gp_splice.h"
#include "iso/side_files.h"
#include "platform/codepage.h"
#include "platform/message.h"
#include "platform/paths.h"

namespace kvt {
namespace {

constexpr uint32_t kMovieTimescale = 90000;
// Seconds from 1904-01-01 (as the files of this system count them) to 1970-01-01.
constexpr uint32_t kTimeOffset = 2082902400;
constexpr uint32_t kMdatBlockBytes = 24;
constexpr uint16_t kDcmdPlaceholder = 153;
constexpr size_t kMaxDecoderInfoBytes = 104;  // keeps the ES descriptor length in one byte

constexpr std::array<uint32_t, 9> kUnityMatrix = {0x00010000, 0, 0, 0, 0x00010000, 0, 0, 0, 0x40000000};

struct Times {
    uint32_t now = 0;
    uint32_t mediaDur = 0;  // in samples of the track's rate
    uint32_t movieDur = 0;  // in 1/90000 s
};

// A full box: type plus version 0 and `flags`.
BoxBuffer FullBox(std::string_view type, uint32_t flags = 0, size_t capacity = BoxBuffer::kMinimumCapacity) {
    BoxBuffer box = BeginBox(capacity);
    box.PutTag(type);
    box.PutU32(flags);  // version 0, flags
    return box;
}

BoxBuffer ContainerBox(std::string_view type) {
    BoxBuffer box = BeginBox();
    box.PutTag(type);
    box.EndBox();
    return box;
}

void PutMatrix(BoxBuffer& box) {
    for (uint32_t value : kUnityMatrix) box.PutU32(value);
}

BoxBuffer BuildFtyp(int type, bool spliced) {
    BoxBuffer box = BeginBox();
    box.PutTag("ftyp");
    if (spliced) {
        box.PutTag("3gp5");  // major brand
        box.PutU32(10);      // minor version
        box.PutTag("3gp5");
        box.PutTag("3gp4");
    } else if (type == 1) {
        box.PutTag("mmp4");
        box.PutU32(1);
        box.PutTag("mmp4");
        box.PutTag("3gp5");
        box.PutTag("3gp4");
    } else {
        box.PutTag("3g2a");
        box.PutU32(0x200);
        box.PutTag("3g2a");
    }
    box.EndBox();
    return box;
}

// Opens a single top-level "mdat" covering itself and the payload; its last 16 bytes
// read like a "wide" box and an empty "mdat" to tools that look inside.
BoxBuffer BuildMdatBlock(uint32_t payloadBytes) {
    BoxBuffer block = BeginBox();
    block.PutTag("mdat");
    block.PutU32(8);
    block.PutTag("wide");
    block.PutU32(0);
    block.PutTag("mdat");
    block.EndBox();
    block.SetSizeWord(kMdatBlockBytes + payloadBytes);
    return block;
}

BoxBuffer BuildEsds(const AacTrack& track) {
    const auto infoBytes = static_cast<uint8_t>(track.decoderSpecificInfo.size());
    BoxBuffer box = FullBox("esds");
    box.PutU8(0x03);            // ES descriptor
    box.PutU8(23 + infoBytes);  // its length (25 for 2 bytes of info)
    box.PutU16(0);              // ES ID
    box.PutU8(0);               // flags
    box.PutU8(0x04);            // decoder config descriptor
    box.PutU8(15 + infoBytes);  // its length (17 for 2 bytes of info)
    box.PutU8(0x40);            // object type: MPEG-4 audio
    box.PutU8(0x15);            // stream type 5 (audio) << 2, reserved bit 1
    const AacBitRates rates = MeasureAacBitRates(track.frameSizes, static_cast<uint32_t>(track.sampleRate));
    const uint32_t bufferBytes = EsdsBufferBytes(rates);
    box.PutU8(static_cast<uint8_t>(bufferBytes >> 16));  // buffer size, 24 bits
    box.PutU16(static_cast<uint16_t>(bufferBytes));
    box.PutU32(rates.maximum);
    box.PutU32(rates.average);
    box.PutU8(0x05);  // decoder-specific info
    box.PutU8(infoBytes);
    box.PutBytes(track.decoderSpecificInfo);
    box.PutU8(0x06);  // SL config descriptor
    box.PutU8(0x01);  // length
    box.PutU8(0x02);  // predefined 2
    box.EndBox();
    return box;
}

BoxBuffer BuildStsd(const AacTrack& track) {
    BoxBuffer entry = BeginBox();
    entry.PutTag("mp4a");
    for (int i = 0; i < 6; ++i) entry.PutU8(0);  // reserved
    entry.PutU16(1);                             // data reference index
    for (int i = 0; i < 8; ++i) entry.PutU8(0);  // reserved
    entry.PutU16(static_cast<uint16_t>(track.channels));
    entry.PutU16(16);  // sample size
    entry.PutU32(0);   // pre-defined, reserved
    entry.PutU32(static_cast<uint32_t>(track.sampleRate) << 16);
    entry.EndBox();
    entry.AppendChild(BuildEsds(track));

    BoxBuffer box = FullBox("stsd");
    box.PutU32(1);  // entry count
    box.EndBox();
    box.AppendChild(entry);
    return box;
}

BoxBuffer BuildStts(uint32_t frameCount) {
    BoxBuffer box = FullBox("stts");
    box.PutU32(1);  // entry count
    box.PutU32(frameCount);
    box.PutU32(kAacSamplesPerFrame);  // sample delta
    box.EndBox();
    return box;
}

BoxBuffer BuildStsc() {
    BoxBuffer box = FullBox("stsc");
    box.PutU32(1);  // entry count
    box.PutU32(1);  // first chunk
    box.PutU32(1);  // samples per chunk
    box.PutU32(1);  // sample description index
    box.EndBox();
    return box;
}

BoxBuffer BuildStsz(std::span<const uint32_t> frameSizes) {
    BoxBuffer box = FullBox("stsz", 0, 20 + 4 * frameSizes.size());
    box.PutU32(0);  // sample size: each given below
    box.PutU32(static_cast<uint32_t>(frameSizes.size()));
    for (uint32_t size : frameSizes) box.PutU32(size);
    box.EndBox();
    return box;
}

// Every frame is its own chunk, the first at `first`.
BoxBuffer BuildStco(std::span<const uint32_t> frameSizes, uint32_t first) {
    BoxBuffer box = FullBox("stco", 0, 16 + 4 * frameSizes.size());
    box.PutU32(static_cast<uint32_t>(frameSizes.size()));
    uint32_t offset = first;
    for (uint32_t size : frameSizes) {
        box.PutU32(offset);
        offset += size;
    }
    box.EndBox();
    return box;
}

BoxBuffer BuildMvhd(const Times& times) {
    BoxBuffer box = FullBox("mvhd");
    box.PutU32(times.now);  // creation
    box.PutU32(times.now);  // modification
    box.PutU32(kMovieTimescale);
    box.PutU32(times.movieDur);
    box.PutU32(0x00010000);                     // rate 1.0
    box.PutU16(0x0100);                         // volume 1.0
    for (int i = 0; i < 10; ++i) box.PutU8(0);  // reserved
    PutMatrix(box);
    for (int i = 0; i < 6; ++i) box.PutU32(0);  // pre-defined
    box.PutU32(2);                              // next track ID
    box.EndBox();
    return box;
}

BoxBuffer BuildDrm(uint16_t dcmdValue) {
    BoxBuffer dcmd = BeginBox();
    dcmd.PutTag("dcmd");
    dcmd.PutU16(dcmdValue);
    dcmd.EndBox();
    BoxBuffer drm = ContainerBox("drm ");
    drm.AppendChild(dcmd);
    return drm;
}

BoxBuffer BuildTkhd(const Times& times) {
    BoxBuffer box = FullBox("tkhd", 0x0000000F);
    box.PutU32(times.now);  // creation
    box.PutU32(times.now);  // modification
    box.PutU32(1);          // track ID
    box.PutU32(0);          // reserved
    box.PutU32(times.movieDur);
    box.PutU32(0);  // reserved
    box.PutU32(0);
    box.PutU16(0);       // layer
    box.PutU16(0);       // alternate group
    box.PutU16(0x0100);  // volume 1.0
    box.PutU16(0);       // reserved
    PutMatrix(box);
    box.PutU32(0);  // width
    box.PutU32(0);  // height
    box.EndBox();
    return box;
}

BoxBuffer BuildEdts(const Times& times) {
    BoxBuffer elst = FullBox("elst");
    elst.PutU32(1);               // entry count
    elst.PutU32(times.movieDur);  // segment duration
    elst.PutU32(0);               // media time
    elst.PutU32(0x00010000);      // media rate 1.0
    elst.EndBox();
    BoxBuffer edts = ContainerBox("edts");
    edts.AppendChild(elst);
    return edts;
}

BoxBuffer BuildMdhd(const AacTrack& track, const Times& times) {
    BoxBuffer box = FullBox("mdhd");
    box.PutU32(times.now);                                // creation
    box.PutU32(times.now);                                // modification
    box.PutU32(static_cast<uint32_t>(track.sampleRate));  // timescale
    box.PutU32(times.mediaDur);
    box.PutU16(0x15C7);  // language "eng"
    box.PutU16(0);       // pre-defined
    box.EndBox();
    return box;
}

BoxBuffer BuildHdlr() {
    static constexpr std::string_view kHandlerName = "Sound Media Handler";  // no terminating zero
    BoxBuffer box = FullBox("hdlr");
    box.PutU32(0);  // pre-defined
    box.PutTag("soun");
    for (int i = 0; i < 3; ++i) box.PutU32(0);  // reserved
    box.PutBytes({reinterpret_cast<const uint8_t*>(kHandlerName.data()), kHandlerName.size()});
    box.EndBox();
    return box;
}

BoxBuffer BuildSmhd() {
    BoxBuffer box = FullBox("smhd");
    box.PutU16(0);  // balance
    box.PutU16(0);  // reserved
    box.EndBox();
    return box;
}

BoxBuffer BuildDinf() {
    BoxBuffer url = FullBox("url ", 0x00000001);  // self-contained, no location
    url.EndBox();
    BoxBuffer dref = FullBox("dref");
    dref.PutU32(1);  // entry count
    dref.EndBox();
    dref.AppendChild(url);
    BoxBuffer dinf = ContainerBox("dinf");
    dinf.AppendChild(dref);
    return dinf;
}

// "titl", "auth", "cprt", "dscp": Japanese language code and CP932 text with a zero.
BoxBuffer BuildTextBox(std::string_view type, const std::string& utf8) {
    const std::string text = Utf8ToCp932(utf8);
    BoxBuffer box = FullBox(type);
    box.PutU16(0x2A0E);  // language "jpn"
    box.PutBytes({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
    box.PutU8(0);
    box.EndBox();
    return box;
}

BoxBuffer BuildUdta(const File3gpOptions& options, const std::string& defaultTitle) {
    BoxBuffer udta = ContainerBox("udta");
    udta.AppendChild(BuildTextBox("titl", options.title.value_or(defaultTitle)));
    if (options.author) udta.AppendChild(BuildTextBox("auth", *options.author));
    if (options.copyright) udta.AppendChild(BuildTextBox("cprt", *options.copyright));
    if (options.description) udta.AppendChild(BuildTextBox("dscp", *options.description));
    return udta;
}

// The boxes of moov that do not depend on where the payload lands.
struct MovieBoxes {
    BoxBuffer mvhd, tkhd, edts, mdhd, hdlr, smhd, dinf, stsd, stts, stsc, stsz, udta;
};

BoxBuffer BuildMoov(int type, const MovieBoxes& boxes, const BoxBuffer& stco, uint16_t dcmdValue) {
    BoxBuffer stbl = ContainerBox("stbl");
    for (const BoxBuffer* child : {&boxes.stsd, &boxes.stts, &boxes.stsc, &boxes.stsz, &stco}) stbl.AppendChild(*child);
    BoxBuffer minf = ContainerBox("minf");
    minf.AppendChild(boxes.smhd);
    minf.AppendChild(boxes.dinf);
    minf.AppendChild(stbl);
    BoxBuffer mdia = ContainerBox("mdia");
    mdia.AppendChild(boxes.mdhd);
    mdia.AppendChild(boxes.hdlr);
    mdia.AppendChild(minf);
    BoxBuffer trak = ContainerBox("trak");
    trak.AppendChild(boxes.tkhd);
    if (type == 1) trak.AppendChild(boxes.edts);
    trak.AppendChild(mdia);

    BoxBuffer moov = ContainerBox("moov");
    moov.AppendChild(boxes.mvhd);
    if (type == 1) moov.AppendChild(BuildDrm(dcmdValue));
    moov.AppendChild(trak);
    if (type == 1) moov.AppendChild(boxes.udta);
    return moov;
}

// 8 or 12 for an even or odd file size, plus 2 when moov's size is odd.
uint16_t DcmdValue(uint64_t fileBytes, uint32_t moovBytes) {
    uint16_t value = fileBytes % 2 == 0 ? 8 : 12;
    if (moovBytes % 2 != 0) value += 2;
    return value;
}

uint32_t CurrentTime() {
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    return static_cast<uint32_t>(static_cast<uint64_t>(seconds) + kTimeOffset);
}

Times ComputeTimes(const AacTrack& track, uint32_t now) {
    Times times;
    times.now = now;
    const uint64_t frames = track.frameSizes.size();
    const uint64_t mediaDur = static_cast<uint64_t>(track.channels) * frames * 2048 / track.blockAlign;
    times.mediaDur = static_cast<uint32_t>(mediaDur);
    times.movieDur = static_cast<uint32_t>(mediaDur * kMovieTimescale / track.sampleRate);
    return times;
}

uint64_t FrameBytes(const AacTrack& track) {
    return std::accumulate(track.frameSizes.begin(), track.frameSizes.end(), uint64_t{0});
}

bool TrackIsValid(const AacTrack& track) {
    if (track.channels < 1 || track.channels > 2 || track.blockAlign < 1) return false;
    if (track.sampleRate < 1 || track.sampleRate > 44100) return false;
    if (track.decoderSpecificInfo.size() > kMaxDecoderInfoBytes) return false;
    return FrameBytes(track) <= track.payload.size();
}

void Append(std::vector<uint8_t>& image, std::span<const uint8_t> bytes) {
    image.insert(image.end(), bytes.begin(), bytes.end());
}

bool NameHasLeadByte(std::string_view utf8Name) {
    for (char c : Utf8ToCp932(utf8Name))
        if (IsCp932LeadByte(static_cast<unsigned char>(c))) return true;
    return false;
}

}  // namespace

std::string OutputBaseName(std::string_view outputPath) {
    const std::string_view name = FileNameOfPath(outputPath);
    return std::string(name.substr(0, name.find('.')));
}

File_3gp::File_3gp(std::string scratchWavPath) : scratchWavPath_(std::move(scratchWavPath)) {}

std::optional<std::vector<uint8_t>> File_3gp::BuildImage(const std::string& outputPath, const AacTrack& track,
                                                         const File3gpOptions& options) {
    if (options.type != 1 && options.type != 2) {
        ShowMessage(kBadFileTypeText);
        return std::nullopt;
    }
    if (track.frameSizes.size() > kMaxAacFrames) {
        ShowMessage(kTooManyFramesText);
        return std::nullopt;
    }
    if (!TrackIsValid(track)) {
        ShowMessage(kBadFileTypeText);
        return std::nullopt;
    }

    const std::string baseName = OutputBaseName(outputPath);
    if (NameHasLeadByte(baseName)) ShowMessage(kJapaneseFileNameText);

    std::optional<SplicedBoxes> spliced;
    if (options.spliced) spliced = LoadSplicedBoxes(scratchWavPath_);
    const SplicedSampleTables* tables = spliced && spliced->sampleTables ? &*spliced->sampleTables : nullptr;

    Times times = ComputeTimes(track, options.now.value_or(CurrentTime()));
    if (tables) {
        // The headers describe the program's frames: the media duration is its sample
        // table's, and the track and edit take its movie duration, in its movie timescale.
        const uint64_t movieDur =
            spliced->mvhd ? spliced->movieDuration : tables->mediaDuration * kMovieTimescale / track.sampleRate;
        times.mediaDur = static_cast<uint32_t>(std::min<uint64_t>(tables->mediaDuration, UINT32_MAX));
        times.movieDur = static_cast<uint32_t>(std::min<uint64_t>(movieDur, UINT32_MAX));
    }
    MovieBoxes boxes{BuildMvhd(times),
                     BuildTkhd(times),
                     BuildEdts(times),
                     BuildMdhd(track, times),
                     BuildHdlr(),
                     BuildSmhd(),
                     BuildDinf(),
                     BuildStsd(track),
                     BuildStts(static_cast<uint32_t>(track.frameSizes.size())),
                     BuildStsc(),
                     BuildStsz(track.frameSizes),
                     BuildUdta(options, baseName)};
    if (tables) {
        // The program's movie header and handler only go with its own tables and frames.
        if (spliced->mvhd) boxes.mvhd = std::move(*spliced->mvhd);
        if (spliced->hdlr) boxes.hdlr = std::move(*spliced->hdlr);
        boxes.stsd = tables->stsd;
        boxes.stts = tables->stts;
        boxes.stsc = tables->stsc;
        boxes.stsz = tables->stsz;
    }
    const std::span<const uint8_t> payload =
        tables ? std::span<const uint8_t>(tables->payload) : track.payload.first(FrameBytes(track));

    const BoxBuffer ftyp = BuildFtyp(options.type, tables != nullptr);
    const BoxBuffer free = ContainerBox("free");

    // moov's size does not depend on the chunk offsets or the dcmd value: build it once to
    // learn where the payload lands, then again with both filled in.
    const BoxBuffer emptyStco = tables ? RebasedStco(*tables, 0) : BuildStco(track.frameSizes, 0);
    const uint32_t moovBytes = BuildMoov(options.type, boxes, emptyStco, kDcmdPlaceholder).Size();
    const uint64_t headBytes =
        options.type == 1 ? uint64_t{ftyp.Size()} + moovBytes + 2 * free.Size() : uint64_t{ftyp.Size()};
    const uint64_t first = headBytes + kMdatBlockBytes;
    const uint64_t fileBytes = first + payload.size() + (options.type == 2 ? moovBytes : 0);
    if (fileBytes > std::numeric_limits<uint32_t>::max()) {  // offsets and sizes are 32-bit
        ShowMessage(kFileNotWritableText);
        return std::nullopt;
    }
    const BoxBuffer mdatBlock = BuildMdatBlock(static_cast<uint32_t>(payload.size()));

    const BoxBuffer stco = tables ? RebasedStco(*tables, static_cast<uint32_t>(first))
                                  : BuildStco(track.frameSizes, static_cast<uint32_t>(first));
    const uint16_t dcmdValue = options.patchDcmd ? DcmdValue(fileBytes, moovBytes) : kDcmdPlaceholder;
    const BoxBuffer moov = BuildMoov(options.type, boxes, stco, dcmdValue);

    std::vector<uint8_t> image;
    image.reserve(fileBytes);
    Append(image, ftyp.Bytes());
    if (options.type == 1) {
        Append(image, moov.Bytes());
        Append(image, free.Bytes());
        Append(image, free.Bytes());
    }
    Append(image, mdatBlock.Bytes());
    Append(image, payload);
    if (options.type == 2) Append(image, moov.Bytes());
    if (tables) {
        // The program's esds and btrt declare its own idea of the rates; the frames'
        // measured ones replace them in place.
        const std::vector<uint32_t> sizes = StszFrameSizes(tables->stsz.Bytes());
        const AacBitRates rates = MeasureAacBitRates(sizes, static_cast<uint32_t>(track.sampleRate));
        if (const auto at = FindEsdsBitRates(image); at && !sizes.empty())
            SetEsdsBitRates(std::span(image).subspan(*at, kEsdsBitRateBytes), rates);
        if (const auto at = FindBtrtBitRates(image); at && !sizes.empty())
            SetBtrtBitRates(std::span(image).subspan(*at, kBtrtBytes), rates);
    }
    return image;
}

bool File_3gp::Write(const std::string& outputPath, const AacTrack& track, const File3gpOptions& options) {
    std::optional<std::vector<uint8_t>> image = BuildImage(outputPath, track, options);
    if (options.spliced) DeleteSideFiles(scratchWavPath_);
    if (!image) return false;
    // The re-mux works on the written file before it takes the output's name, so a failed
    // one keeps whatever file was there, as a failed write does.
    bool remuxFailed = false;
    std::function<bool(const std::string&)> finish;
    if (options.type == 1 && options.remux) {
        finish = [&](const std::string& written) {
            remuxFailed = !options.remux(written);
            return !remuxFailed;
        };
    }
    if (!WriteFileAtomically(outputPath, {reinterpret_cast<const char*>(image->data()), image->size()}, finish)) {
        if (!remuxFailed) ShowMessage(kFileNotWritableText);  // a failed re-mux has said why
        return false;
    }
    return true;
}

}  // namespace kvt
