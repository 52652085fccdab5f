// Allocation failures during loading and during a job. This executable replaces the global
// operator new so that, once armed, any request above a size throws std::bad_alloc the
// way a full address space would.

#include <gtest/gtest.h>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>

#include "convert/conversion_job.h"
#include "convert/input_loader.h"
#include "platform/message.h"
#include "platform/temp_folder.h"
#include "wav_bytes.h"

namespace {

std::atomic<size_t> failAbove{0};  // 0: never fail

void* Allocate(size_t size) {
    size_t limit = failAbove.load();
    if (limit != 0 && size > limit) throw std::bad_alloc();
    if (void* block = std::malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}

// Fails every allocation above `bytes` while it lives.
struct FailLargeAllocations {
    explicit FailLargeAllocations(size_t bytes) { failAbove = bytes; }
    ~FailLargeAllocations() { failAbove = 0; }
};

}  // namespace

void* operator new(size_t size) {
    return Allocate(size);
}
void* operator new[](size_t size) {
    return Allocate(size);
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete[](void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, size_t) noexcept {
    std::free(block);
}
void operator delete[](void* block, size_t) noexcept {
    std::free(block);
}

namespace kvt {
namespace {

constexpr size_t kLimit = 1 << 20;
const char* const kOutOfMemory = "メモリの割り当てに失敗しました。ファイルが大きすぎる可能性があります。";

class AllocationFailure : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(folder / "out");
        std::filesystem::create_directory(folder / "work");
        host.settings.savingDirectory = folder / "out";
        host.settings.workFolder = folder / "work";
        for (const MldHandset& handset : MldHandsets()) host.settings.grid.At(kMldPage, handset.cell) = kCellOn;
        host.settings.grid.At(kMmfPage, kMmfOutputCell) = kCellOn;
        host.settings.grid.At(k3gpPage, k3gpOutputCell) = kCellOn;
        // 6 s of 44.1 kHz stereo: about 1 MB of samples, above the limit.
        path = folder.Write("song.wav", testing::WavBytes({1, 2, 44100, 16}, testing::SineData(6 * 44100, 2, 44100)));
    }

    testing::TempFolder folder;
    testing::TestHost host;
    std::string path;
};

TEST_F(AllocationFailure, ClipThatCannotBeAllocatedEndsTheJobWithoutOutput) {
    ASSERT_TRUE(LoadInputFile(path, host.input, host.settings));
    MessageRecorder messages;
    JobReport report;
    {
        FailLargeAllocations fail(kLimit);
        report = OnConvert(host);
    }
    EXPECT_EQ(report.outcome, JobOutcome::OutOfMemory);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{kOutOfMemory});
    EXPECT_TRUE(report.outputs.empty());
    EXPECT_TRUE(host.resets.empty());
    EXPECT_TRUE(std::filesystem::is_empty(folder / "out"));
    EXPECT_TRUE(host.input.isLoaded) << "the window keeps its input";
}

TEST_F(AllocationFailure, InputThatCannotBeHeldIsNotLoaded) {
    MessageRecorder messages;
    bool loaded = true;
    {
        FailLargeAllocations fail(kLimit);
        loaded = LoadInputFile(path, host.input, host.settings);
    }
    EXPECT_FALSE(loaded);
    // The reader reports it in its own words; whichever step fails says so once.
    EXPECT_EQ(messages.Texts().size(), 1u);
    EXPECT_FALSE(host.input.isLoaded);
    EXPECT_EQ(host.input.totalFrames, 0u);
}

}  // namespace
}  // namespace kvt
