#pragma once
// The main window's CD side: a ".cda" track opened in the window is ripped on the worker
// thread into a temporary WAV file (KVTxxxxxx.tmp in $TMPDIR or /tmp) while timer 5 draws
// the progress bar; the window loads the file when the rip has finished. Closing the
// window stops the rip after its current read and waits for it at most 1000 ms.

#include <string>

#include <QObject>
#include <QTimer>

#include "input/cd/rip_controller.h"

namespace kvt {

class CMFCzorvikDlg;

class CdRipping : public QObject {
public:
    // Becomes the window's ripper until it is destroyed.
    explicit CdRipping(CMFCzorvikDlg& window, cd::CdDeviceLayer& layer = cd::SystemCdAccess());
    ~CdRipping() override;

    // `chosen` is what the user opened: "D:\Track05.cda", or a path ending in it.
    void Start(const std::string& chosen);
    void StopAndWait();
    bool Ripping() const { return controller_.Running(); }

private:
    void Finished(int result);

    CMFCzorvikDlg& window_;
    cd::RipController controller_;
    QTimer timer5_;
};

}  // namespace kvt
