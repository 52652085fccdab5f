#pragma once
// Runs the built kvt-convert in a folder of its own (no setup.ini unless a test writes
// one), with its own temporary folder, and reads what it printed and left behind.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/command_output.h"
#include "platform/temp_folder.h"

namespace kvt::testing {

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;

    std::vector<std::string> OutLines() const {
        std::vector<std::string> lines;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    bool ErrHas(const std::string& text) const { return err.find(text) != std::string::npos; }
};

inline int StatusCode(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// A written file's bytes; in a 3GP or 3G2 file the creation and modification times of every
// mvhd, tkhd and mdhd box (the clock) are blanked.
inline std::string OutputBytesWithoutClock(const std::filesystem::path& path) {
    std::string bytes = ReadWholeFile(path);
    if (path.extension() != ".3gp" && path.extension() != ".3g2") return bytes;
    for (const char* tag : {"mvhd", "tkhd", "mdhd"}) {
        for (size_t at = bytes.find(tag); at != std::string::npos; at = bytes.find(tag, at + 4)) {
            // After the tag come version and flags, then two times of 4 bytes (8 in version 1).
            const size_t timeBytes = at + 4 < bytes.size() && bytes[at + 4] == 1 ? 16 : 8;
            for (size_t i = at + 8; i < at + 8 + timeBytes && i < bytes.size(); ++i) bytes[i] = 0;
        }
    }
    return bytes;
}

class KvtConvert : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(cwd());
        std::filesystem::create_directory(out());
        std::filesystem::create_directory(tmp());
    }
    std::string cwd() const { return folder / "cwd"; }
    std::string out() const { return folder / "out"; }
    std::string tmp() const { return folder / "tmp"; }

    // The shell command that runs kvt-convert in cwd() with its own temporary folder, in
    // `locale` unless `prefix` exports another; `prefix` holds shell commands run first
    // ("ulimit -f 40;", "export NAME=value;").
    std::string CommandLine(const std::vector<std::string>& arguments, const std::string& prefix = "") const {
        std::string command = "cd " + Quote(cwd()) + " && export LC_ALL=" + Quote(locale) + "; " + prefix +
                              " exec env TMPDIR=" + Quote(tmp()) + " " + Quote(KVT_CONVERT_BINARY);
        for (const auto& argument : arguments) command += " " + Quote(argument);
        return command + " >" + Quote(folder / "stdout") + " 2>" + Quote(folder / "stderr") + " </dev/null";
    }

    RunResult Convert(const std::vector<std::string>& arguments, const std::string& prefix = "") const {
        return Collect(std::system(("(" + CommandLine(arguments, prefix) + ")").c_str()));
    }

    RunResult Collect(int status) const {
        RunResult run;
        run.exitCode = StatusCode(status);
        run.out = ReadWholeFile(folder / "stdout");
        run.err = ReadWholeFile(folder / "stderr");
        return run;
    }

    // Starts kvt-convert without waiting; the shell execs it, so the pid is the program's.
    pid_t Start(const std::vector<std::string>& arguments, const std::string& prefix = "") const {
        std::string command = CommandLine(arguments, prefix);
        const char* argv[] = {"sh", "-c", command.c_str(), nullptr};
        pid_t pid = -1;
        posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char* const*>(argv), environ);
        return pid;
    }

    std::string MakeSample(const std::string& name, const std::string& seconds = "2", const std::string& rate = "22050",
                           const std::string& channels = "2") const {
        std::string path = folder / name;
        std::string command =
            Quote(KVT_MAKE_SAMPLE_BINARY) + " " + Quote(path) + " " + seconds + " " + rate + " " + channels;
        EXPECT_EQ(std::system(command.c_str()), 0);
        return path;
    }

    std::vector<std::string> FilesIn(const std::string& where) const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(where)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::vector<std::string> OutFiles() const { return FilesIn(out()); }
    bool TmpIsEmpty() const { return std::filesystem::is_empty(tmp()); }

    TempFolder folder;
    // The locale of messages: the core's texts as they are, unless a test asks for another.
    std::string locale = "ja_JP.UTF-8";
};

}  // namespace kvt::testing
