#pragma once
// What became of one output file, as an encoder tells the conversion job. The encoders'
// int results (1 accepted, 0 refused) are derived from it at their outer calls.

namespace kvt {

enum class OutputResult {
    Written,      // the new file is in place
    Refused,      // the request was turned away before anything was built (message shown)
    WriteFailed,  // the request was accepted but no file came of it (message shown)
    Stopped,      // the caller asked to stop before the file was made (nothing shown)
};

}  // namespace kvt
