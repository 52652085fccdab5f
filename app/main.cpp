// kvt: the desktop program.

#include "app/application.h"

int main(int argc, char** argv) {
    return kvt::RunDesktopProgram(argc, argv);
}
