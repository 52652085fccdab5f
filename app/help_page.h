#pragma once
// Where the help page is: the installed copy, or the source tree's when the program runs
// from its build folder.

#include <QUrl>

namespace kvt {

QUrl HelpPageUrl();

}  // namespace kvt
