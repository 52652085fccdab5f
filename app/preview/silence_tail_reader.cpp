#include "app/preview/silence_tail_reader.h"

#include <algorithm>
#include <cstring>

namespace kvt {

SilenceTailReader::SilenceTailReader(QIODevice& source, qint64 silenceBytes)
    : source_(source), silenceLeft_(std::max<qint64>(silenceBytes, 0)) {}

qint64 SilenceTailReader::bytesAvailable() const {
    const qint64 fromSource = source_.atEnd() ? 0 : source_.bytesAvailable();
    return fromSource + silenceLeft_ + QIODevice::bytesAvailable();
}

bool SilenceTailReader::atEnd() const {
    return source_.atEnd() && silenceLeft_ == 0;
}

qint64 SilenceTailReader::readData(char* data, qint64 maxSize) {
    qint64 count = source_.atEnd() ? 0 : source_.read(data, maxSize);
    if (count < 0) return -1;
    if (count < maxSize && source_.atEnd()) {
        const qint64 silence = std::min(maxSize - count, silenceLeft_);
        std::memset(data + count, 0, static_cast<size_t>(silence));
        silenceLeft_ -= silence;
        count += silence;
    }
    return count;
}

}  // namespace kvt
