#include "input/cd/cd_reader.h"

#include "input/cd/disc_image.h"

#include <algorithm>
#include <cstring>

namespace kvt::cd {

CdReader::~CdReader() {
    if (handle_ != 0) layer_.CloseCdDrive(handle_);
}

bool CdReader::Open(int driveIndex) {
    driveIndex_ = driveIndex;
    layer_.InitCdAccess();
    std::optional<ScsiAddress> address = layer_.FindDriveAddress(driveIndex);
    if (!address) return false;
    overlapFrames_ = kOverlapFrames;
    handle_ = layer_.OpenCdDrive(DriveOpenRequest::For(*address, 0, 1, static_cast<uint8_t>(overlapFrames_)));
    if (handle_ == 0) return false;
    layer_.SetCdOption(handle_, kOptionMsf, 0);
    std::memset(toc_, 0, sizeof toc_);
    // A failed read leaves the table empty, which SelectTrack then refuses.
    if (layer_.ReadToc(handle_, toc_) != kCdOk) std::memset(toc_, 0, sizeof toc_);
    framesPerRead_ = kFramesPerRead;
    readBuffer_ = NewTrackBuffer(kFramesPerRead + kOverlapFrames);
    overlapBuffer_ = NewTrackBuffer(kOverlapFrames);
    return readBuffer_ && overlapBuffer_;
}

bool CdReader::SelectTrack(int t) {
    const int first = toc_[2];
    const int last = toc_[3];
    if (t + 1 < first || t + 1 > last) return false;
    // An empty table (first = last = 0) would otherwise take track "0"; a table claiming
    // more tracks than it can hold would send the lookup past its end.
    if (t < 0 || t + 1 > kMaxTracks) return false;
    // Descriptor t is track t + 1; the one after it starts the next track or the lead-out.
    trackIndex_ = t;
    trackStart_ = static_cast<int>(ReadBigEndian32(toc_ + 8 + 8 * t));
    const int next = static_cast<int>(ReadBigEndian32(toc_ + 16 + 8 * t));
    trackLength_ = std::max(next - trackStart_, 0);
    position_ = lastPosition_ = 0;
    return true;
}

std::span<const uint8_t> CdReader::ReadNext() {
    if (!readBuffer_ || !overlapBuffer_) return {};
    TrackBuffer& read = *readBuffer_;
    if (position_ != lastPosition_) {
        const int a = std::max(position_ - framesPerRead_, 0);
        read.firstLba = static_cast<uint32_t>(trackStart_ + a);
        read.frameCount = static_cast<uint32_t>(std::max(std::min(framesPerRead_, trackLength_ - a), 0));
        if (layer_.ReadFramesChecked(handle_, read, *overlapBuffer_) == kCdOk)
            position_ = a + static_cast<int>(read.frameCount);
    }
    const int n = std::min(framesPerRead_, trackLength_ - position_);
    if (n <= 0) return {};
    read.firstLba = static_cast<uint32_t>(trackStart_ + position_);
    // A checked read of as many frames as it backs up would bring nothing new; fewer are
    // stretched by the back-up instead. So the last few frames go one or two at a time,
    // still checked, and a drive that misplaces its reads cannot spoil the track's end.
    read.frameCount = static_cast<uint32_t>(n > overlapFrames_ ? n : std::min(n, std::max(overlapFrames_ - 1, 1)));
    if (layer_.ReadFramesChecked(handle_, read, *overlapBuffer_) != kCdOk) return {};
    int end = static_cast<int>(read.firstLba + read.frameCount) - trackStart_;
    uint32_t bytes = read.validBytes;
    // A read that started late holds frames past the ones asked for; at the end of the
    // track those belong to the next track or the lead-out.
    if (end > trackLength_) {
        bytes -= static_cast<uint32_t>(end - trackLength_) * kFrameBytes;
        end = trackLength_;
    }
    position_ = lastPosition_ = end;
    return {read.Valid(), bytes};
}

void CdReader::Seek(int position) {
    position_ = position;
}

}  // namespace kvt::cd
