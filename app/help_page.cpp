#include "app/help_page.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

namespace kvt {

QUrl HelpPageUrl() {
    // Beside the installed program wherever it was installed, then the configured prefix,
    // then the source tree (running from the build folder).
    const QStringList candidates = {
        QCoreApplication::applicationDirPath() + "/../share/kvt/help/top.htm",
        QStringLiteral(KVT_WINDOW_HELP_DIR "/top.htm"),
        QStringLiteral(KVT_WINDOW_SOURCE_HELP_DIR "/top.htm"),
    };
    for (const QString& path : candidates) {
        if (QFileInfo::exists(path)) return QUrl::fromLocalFile(QFileInfo(path).canonicalFilePath());
    }
    return QUrl::fromLocalFile(candidates[1]);
}

}  // namespace kvt
