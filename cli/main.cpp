// kvt-convert: the headless front end of the conversion job.

#include <cstdio>
#include <string>
#include <vector>

#include "cli/convert_command.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return kvt::cli::RunConvertCommand(arguments, stdout, stderr, true);
}
