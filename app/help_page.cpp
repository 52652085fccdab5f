#include "app/help_page.h"

#include <QFileInfo>

namespace kvt {

QUrl HelpPageUrl() {
    const QString installed = QStringLiteral(KVT_WINDOW_HELP_DIR "/top.htm");
    const QString source = QStringLiteral(KVT_WINDOW_SOURCE_HELP_DIR "/top.htm");
    if (!QFileInfo::exists(installed) && QFileInfo::exists(source)) return QUrl::fromLocalFile(source);
    return QUrl::fromLocalFile(installed);
}

}  // namespace kvt
