#pragma once
// The application object: starts Qt, installs the dialog back ends, creates the main
// window, runs it and ends when it closes.

namespace kvt {

int RunDesktopProgram(int argc, char** argv);

}  // namespace kvt
