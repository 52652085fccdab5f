// Child program for the process tests. It writes its process id and its arguments to the
// file named by KVT_ARGV_OUT (the id and a newline, then each argument followed by a NUL,
// so no byte of an argument is ambiguous), then sleeps KVT_SLEEP_MS milliseconds and
// exits with KVT_EXIT_CODE.
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

int main(int argc, char** argv) {
    if (const char* out = std::getenv("KVT_ARGV_OUT")) {
        std::FILE* file = std::fopen(out, "wb");
        if (!file) return 99;
        std::fprintf(file, "%ld\n", static_cast<long>(getpid()));
        for (int i = 1; i < argc; ++i) std::fwrite(argv[i], 1, std::strlen(argv[i]) + 1, file);
        std::fclose(file);
    }
    if (const char* sleep = std::getenv("KVT_SLEEP_MS"))
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(sleep)));
    const char* code = std::getenv("KVT_EXIT_CODE");
    return code ? std::atoi(code) : 0;
}
