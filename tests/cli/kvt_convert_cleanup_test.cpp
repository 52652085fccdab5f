// kvt-convert leaves nothing behind and nothing running: interrupted while an external
// decoder or encoder runs, or between writing an output and giving it its name; stopped by
// a file-size limit or by a closed pipe.

#include <fcntl.h>
#include <sys/file.h>
#include <cstring>
#include <fstream>

#include "kvt_convert_fixture.h"

namespace kvt::testing {
namespace {

using namespace std::chrono_literals;

// A process that is still running (an exited one that nobody reaped is a zombie, 'Z').
bool Running(long pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return false;
    auto close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

bool EndsWithin(long pid, std::chrono::milliseconds limit) {
    for (auto waited = 0ms; waited < limit; waited += 20ms) {
        if (!Running(pid)) return true;
        std::this_thread::sleep_for(20ms);
    }
    return !Running(pid);
}

template <typename Ready>
bool WaitFor(Ready ready) {
    for (int i = 0; i < 1500 && !ready(); ++i) std::this_thread::sleep_for(10ms);
    return ready();
}

class KvtConvertCleanUp : public KvtConvert {
protected:
    // A program that starts a helper in its own process group, notes both process ids and
    // waits forever: an external decoder or encoder that hangs.
    std::string HangingProgram() const {
        std::string pids = folder / "pids";
        std::string script =
            folder.Write("hang.sh", "#!/bin/sh\nsleep 300 &\necho $$ $! > " + Quote(pids + ".part") + "\nmv " +
                                        Quote(pids + ".part") + " " + Quote(pids) + "\nwait\n");
        chmod(script.c_str(), 0755);
        return script;
    }
    std::vector<long> ProgramPids() const {
        std::ifstream in(folder / "pids");
        std::vector<long> pids;
        for (long pid; in >> pid;) pids.push_back(pid);
        return pids;
    }

    void ExpectNothingLeft(const RunResult& run) const {
        EXPECT_TRUE(OutFiles().empty()) << "stray file in the saving directory: " << OutFiles().front();
        EXPECT_TRUE(TmpIsEmpty()) << "stray file in the temporary folder: " << FilesIn(tmp()).front();
        EXPECT_TRUE(std::filesystem::is_empty(cwd()));
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
};

TEST_F(KvtConvertCleanUp, InterruptedAtEachStageLeavesNoFileAndNoProgram) {
    std::string wav = MakeSample("song.wav", "1");
    std::string mp3 = folder.Write("tune.mp3", "not looked at by the fake decoder");
    std::string hang = HangingProgram();
    struct Stage {
        const char* name;
        std::vector<std::string> arguments;
        std::string prefix;
        int signal;
        bool programRuns;
    };
    const Stage stages[] = {
        {"decoding", {"--mmf", "--mp3-decoder", hang, "-o", out(), mp3}, "", SIGINT, true},
        {"coding", {"--3gp", "--external", hang, "-o", out(), wav}, "", SIGTERM, true},
        {"renaming", {"--mmf", "-o", out(), wav}, "export KVT_PAUSE_AT='rename song.mmf';", SIGTERM, false},
        {"hang-up while coding", {"--3gp", "--external", hang, "-o", out(), wav}, "", SIGHUP, true},
    };
    for (const Stage& stage : stages) {
        SCOPED_TRACE(stage.name);
        std::filesystem::remove(folder / "pids");
        pid_t pid = Start(stage.arguments, stage.prefix);
        ASSERT_GT(pid, 0);
        if (stage.programRuns) {
            ASSERT_TRUE(WaitFor([&] { return ProgramPids().size() == 2; })) << ReadWholeFile(folder / "stderr");
        } else {
            ASSERT_TRUE(WaitFor([&] {
                return ReadWholeFile(folder / "stderr").find("paused at rename song.mmf") != std::string::npos;
            }));
            // The paused output is complete under its temporary name.
            std::vector<std::string> pending = OutFiles();
            ASSERT_EQ(pending.size(), 1u);
            EXPECT_EQ(pending[0].rfind(".kvt-write-", 0), 0u) << pending[0];
        }
        kill(pid, stage.signal);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        RunResult run = Collect(status);
        EXPECT_EQ(run.exitCode, 128 + stage.signal) << run.err;
        ExpectNothingLeft(run);
        for (long program : ProgramPids())
            EXPECT_TRUE(EndsWithin(program, 3000ms)) << "process " << program << " left running";
    }
}

// A wrapper script as users write them around a real decoder or encoder: it runs the
// program in the foreground and waits. After each signal every process of the run is
// ended and reaped before kvt-convert exits: none is left, not even an exited one.
TEST_F(KvtConvertCleanUp, EverySignalEndsAndReapsAWrappedProgramAndWhatItStarted) {
    const std::string wav = MakeSample("song.wav", "1");
    const std::string mp3 = folder.Write("tune.mp3", "not looked at by the wrapper");
    const std::string pids = folder / "pids";
    const std::string wrapper = folder.Write(
        "wrapper.sh", "#!/bin/sh\necho $$ > " + Quote(pids + ".part") + "\nsh -c 'echo $$ >> " + Quote(pids + ".part") +
                          "; mv " + Quote(pids + ".part") + " " + Quote(pids) + "; exec sleep 30'\n");
    chmod(wrapper.c_str(), 0755);
    const std::vector<std::string> decoding = {"--mmf", "--mp3-decoder", wrapper, "-o", out(), mp3};
    const std::vector<std::string> coding = {"--3gp", "--external", wrapper, "-o", out(), wav};
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        for (const auto* arguments : {&decoding, &coding}) {
            SCOPED_TRACE(std::string(strsignal(signal)) + (arguments == &decoding ? ", decoder" : ", encoder"));
            std::filesystem::remove(pids);
            pid_t pid = Start(*arguments);
            ASSERT_GT(pid, 0);
            ASSERT_TRUE(WaitFor([&] { return ProgramPids().size() == 2; })) << ReadWholeFile(folder / "stderr");
            kill(pid, signal);
            int status = 0;
            ASSERT_EQ(waitpid(pid, &status, 0), pid);
            EXPECT_EQ(StatusCode(status), 128 + signal);
            for (long program : ProgramPids())
                EXPECT_FALSE(std::filesystem::exists("/proc/" + std::to_string(program)))
                    << "process " << program << " left";
            EXPECT_TRUE(TmpIsEmpty());
        }
    }
}

// A run killed with SIGKILL leaves its folders; the next run removes those that nobody
// holds and that are not being made just now, and nothing else.
TEST_F(KvtConvertCleanUp, StartRemovesOnlyTheAbandonedFoldersOfKilledRuns) {
    const std::string wav = MakeSample("song.wav", "1");
    struct Entry {
        const char* name;
        bool folder, old, held, removed;
    };
    const Entry entries[] = {
        {"kvt-convert-a1B2c3", true, true, false, true}, {"kvt-cd-x9Y8z7", true, true, false, true},
        {"kvt-convert-held00", true, true, true, false}, {"kvt-convert-new000", true, false, false, false},
        {"kvt-cd-file00", false, true, false, false},    {"kvt-convert-longer000", true, true, false, false},
        {"other-a1B2c3", true, true, false, false},
    };
    std::vector<int> locks;
    for (const Entry& entry : entries) {
        const std::string path = tmp() + "/" + entry.name;
        if (entry.folder) std::filesystem::create_directory(path);
        folder.Write(std::string("tmp/") + entry.name + (entry.folder ? "/tempkvt.wav" : ""), "x");
        if (entry.held) {
            locks.push_back(open(path.c_str(), O_RDONLY | O_DIRECTORY));
            ASSERT_EQ(flock(locks.back(), LOCK_EX), 0);
        }
        if (entry.old) {
            const auto hourAgo = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
            std::filesystem::last_write_time(path, hourAgo);
        }
    }
    RunResult run = Convert({"--mmf", "-o", out(), wav});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    for (const Entry& entry : entries)
        EXPECT_EQ(std::filesystem::exists(tmp() + "/" + entry.name), !entry.removed) << entry.name;
    for (int lock : locks) close(lock);
}

TEST_F(KvtConvertCleanUp, HangingProgramIsEndedWithItsGroupWhenTheWaitEnds) {
    // The wait for an external encoder is long; a program that ends by itself but leaves a
    // helper running shows the same clean-up without waiting for the time-out.
    std::string pids = folder / "pids";
    std::string script = folder.Write("leave.sh", "#!/bin/sh\nsleep 300 &\necho $$ $! > " + Quote(pids) + "\nexit 1\n");
    chmod(script.c_str(), 0755);
    RunResult run = Convert({"--3gp", "--external", script, "-o", out(), MakeSample("song.wav", "1")});
    EXPECT_EQ(run.exitCode, 0) << "the internal encoder takes over: " << run.err;
    EXPECT_TRUE(run.ErrHas("song.wav: song.3gp: 外部エンコーダでの変換に失敗しました。")) << run.err;
    std::vector<long> started = ProgramPids();
    ASSERT_EQ(started.size(), 2u);
    EXPECT_TRUE(EndsWithin(started[1], 3000ms)) << "the program's helper was left running";
    EXPECT_TRUE(TmpIsEmpty());
}

TEST_F(KvtConvertCleanUp, FileSizeLimitIsAnErrorNamingTheCause) {
    std::string input = MakeSample("song.wav", "2", "22050", "1");
    // 60 KB: too small for the 88 KB scratch copy of the input that the external encoder's
    // path needs.
    RunResult run =
        Convert({"--mmf", "--3gp", "--external", KVT_FAKE_AAC_ENCODER, "-o", out(), input}, "ulimit -f 60;");
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_TRUE(run.ErrHas("song.wav: ファイルが開けませんでした。")) << run.err;
    EXPECT_TRUE(run.ErrHas("File too large")) << run.err;
    ExpectNothingLeft(run);

    // 12 KB (dash counts 512-byte blocks): the 8 KB scratch copy of a second at 4000 Hz
    // fits, its 16 KB MLD file at 32000 Hz does not.
    std::string clip = MakeSample("clip.wav", "1", "4000", "1");
    run = Convert({"--mld", "n2", "--mld-rate", "32000", "--mld-limit", "100", "-o", out(), clip}, "ulimit -f 24;");
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_TRUE(run.ErrHas("clip.wav: clip_n2.mld: ")) << run.err;
    EXPECT_TRUE(run.ErrHas("File too large")) << run.err;
    EXPECT_FALSE(run.ErrHas("にファイルを保存しました。")) << "nothing was saved";
    ExpectNothingLeft(run);
}

TEST_F(KvtConvertCleanUp, ClosedOutputPipeIsAnErrorAndStopsTheRun) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    std::string command = CommandLine({"--mmf", "-o", out(), MakeSample("a.wav", "1"), MakeSample("b.wav", "1")});
    command.replace(command.find(" >" + Quote(folder / "stdout")), Quote(folder / "stdout").size() + 2,
                    " >&" + std::to_string(ends[1]));
    RunResult run = Collect(std::system(("(" + command + ")").c_str()));
    close(ends[1]);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_TRUE(run.ErrHas("cannot write to standard output: Broken pipe")) << run.err;
    EXPECT_EQ(OutFiles(), std::vector<std::string>{"a.mmf"}) << "the run stops after the first input";
    EXPECT_TRUE(TmpIsEmpty());
}

}  // namespace
}  // namespace kvt::testing
