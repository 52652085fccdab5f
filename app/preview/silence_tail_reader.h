#pragma once
// A read-only QIODevice that reads its source to the end and then gives silence (zero
// bytes) for a while. A sound server starts a stream only once its buffer is full and
// pauses it when the buffer runs dry, so a range shorter than the buffer, and the last
// buffer's worth of any range, would stay unheard; the silence behind it pushes the
// range's last sample out to the speaker.

#include <QIODevice>

namespace kvt {

class SilenceTailReader : public QIODevice {
public:
    SilenceTailReader(QIODevice& source, qint64 silenceBytes);

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    // The source and all of the silence have been read.
    bool atEnd() const override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QIODevice& source_;
    qint64 silenceLeft_;
};

}  // namespace kvt
