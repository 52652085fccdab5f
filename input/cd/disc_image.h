#pragma once
// An audio disc as raw 2352-byte frames plus the frame where each track starts, kept in
// memory or read from image files on demand.

#include <cstdint>
#include <memory>
#include <vector>

namespace kvt::cd {

inline constexpr int kMaxTracks = 99;

class DiscImage {
public:
    // `audio` holds whole frames; tracks start at the given frames, in rising order, the
    // first at frame 0 or later.
    static std::shared_ptr<DiscImage> FromMemory(std::vector<uint8_t> audio, std::vector<uint32_t> trackStarts);

    // One piece of the disc kept in a file (a BIN file of a cue sheet): its open descriptor,
    // which the disc takes over, and its whole frames.
    struct FilePiece {
        int fd = -1;
        uint64_t frames = 0;
    };
    // The pieces follow one another on the disc.
    static std::shared_ptr<DiscImage> FromFiles(const std::vector<FilePiece>& pieces,
                                                std::vector<uint32_t> trackStarts);

    ~DiscImage();
    DiscImage(const DiscImage&) = delete;
    DiscImage& operator=(const DiscImage&) = delete;

    uint32_t LeadOut() const { return frames_; }  // frames on the disc
    const std::vector<uint32_t>& TrackStarts() const { return trackStarts_; }

    // `count` bytes from disc byte `offset`; bytes before the disc or past its end read as
    // zero. False when a file read fails.
    bool ReadBytes(int64_t offset, uint32_t count, uint8_t* out) const;

    // The READ TOC (format 0) answer: header, one descriptor per track and the lead-out.
    std::vector<uint8_t> Toc(bool msf) const;

private:
    struct Piece {
        int64_t discOffset = 0;
        int64_t bytes = 0;
        int fd = -1;
    };
    DiscImage() = default;

    std::vector<uint8_t> memory_;
    std::vector<Piece> pieces_;
    uint32_t frames_ = 0;
    std::vector<uint32_t> trackStarts_;
};

}  // namespace kvt::cd
