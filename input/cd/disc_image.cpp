#include "input/cd/disc_image.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "input/cd/track_buffer.h"

namespace kvt::cd {
namespace {

constexpr uint8_t kLeadOutTrack = 0xAA;
constexpr uint8_t kAudioTrackControl = 0x10;  // ADR 1 (position), control 0 (two-channel audio)
constexpr uint32_t kPregapFrames = 150;       // the 2 s before LBA 0, counted in MSF addresses

void PutBe32(uint8_t* out, uint32_t value) {
    out[0] = static_cast<uint8_t>(value >> 24);
    out[1] = static_cast<uint8_t>(value >> 16);
    out[2] = static_cast<uint8_t>(value >> 8);
    out[3] = static_cast<uint8_t>(value);
}

uint32_t MsfAddress(uint32_t lba) {
    uint32_t frames = lba + kPregapFrames;
    return (frames / (75 * 60)) << 16 | (frames / 75 % 60) << 8 | frames % 75;
}

}  // namespace

std::shared_ptr<DiscImage> DiscImage::FromMemory(std::vector<uint8_t> audio, std::vector<uint32_t> trackStarts) {
    auto disc = std::shared_ptr<DiscImage>(new DiscImage);
    disc->frames_ = static_cast<uint32_t>(audio.size() / kFrameBytes);
    audio.resize(size_t{disc->frames_} * kFrameBytes);
    disc->memory_ = std::move(audio);
    disc->pieces_.push_back({0, static_cast<int64_t>(disc->memory_.size()), -1});
    disc->trackStarts_ = std::move(trackStarts);
    return disc;
}

std::shared_ptr<DiscImage> DiscImage::FromFiles(const std::vector<FilePiece>& pieces,
                                                std::vector<uint32_t> trackStarts) {
    auto disc = std::shared_ptr<DiscImage>(new DiscImage);
    int64_t offset = 0;
    for (const FilePiece& piece : pieces) {
        int64_t bytes = static_cast<int64_t>(piece.frames) * kFrameBytes;
        disc->pieces_.push_back({offset, bytes, piece.fd});
        offset += bytes;
    }
    disc->frames_ = static_cast<uint32_t>(offset / kFrameBytes);
    disc->trackStarts_ = std::move(trackStarts);
    return disc;
}

DiscImage::~DiscImage() {
    for (const Piece& piece : pieces_)
        if (piece.fd >= 0) close(piece.fd);
}

bool DiscImage::ReadBytes(int64_t offset, uint32_t count, uint8_t* out) const {
    std::memset(out, 0, count);
    const int64_t end = offset + count;
    for (const Piece& piece : pieces_) {
        const int64_t from = std::max(offset, piece.discOffset);
        const int64_t to = std::min(end, piece.discOffset + piece.bytes);
        if (from >= to) continue;
        uint8_t* destination = out + (from - offset);
        const int64_t inPiece = from - piece.discOffset;
        if (piece.fd < 0) {
            std::memcpy(destination, memory_.data() + inPiece, static_cast<size_t>(to - from));
            continue;
        }
        int64_t done = 0;
        while (done < to - from) {
            ssize_t got = pread(piece.fd, destination + done, static_cast<size_t>(to - from - done), inPiece + done);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return false;
            done += got;
        }
    }
    return true;
}

std::vector<uint8_t> DiscImage::Toc(bool msf) const {
    const size_t tracks = trackStarts_.size();
    std::vector<uint8_t> toc(4 + 8 * (tracks + 1), 0);
    const size_t dataLength = toc.size() - 2;
    toc[0] = static_cast<uint8_t>(dataLength >> 8);
    toc[1] = static_cast<uint8_t>(dataLength);
    toc[2] = tracks ? 1 : 0;                // first track
    toc[3] = static_cast<uint8_t>(tracks);  // last track
    for (size_t k = 0; k <= tracks; ++k) {
        uint8_t* descriptor = toc.data() + 4 + 8 * k;
        const uint32_t start = k < tracks ? trackStarts_[k] : frames_;
        descriptor[1] = kAudioTrackControl;
        descriptor[2] = k < tracks ? static_cast<uint8_t>(k + 1) : kLeadOutTrack;
        PutBe32(descriptor + 4, msf ? MsfAddress(start) : start);
    }
    return toc;
}

}  // namespace kvt::cd
