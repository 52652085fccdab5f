#include "platform/codepage.h"

#include <iconv.h>
#include <langinfo.h>
#include <atomic>
#include <cerrno>
#include <cstring>

namespace kvt {
namespace {

// iconv in both directions; an input sequence that cannot be converted is replaced by '?'
// and the conversion goes on from the next byte (or character, for UTF-8 input).
std::string Convert(std::string_view input, const char* to, const char* from, bool fromUtf8) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(input);
    std::string out;
    out.reserve(input.size() * 2);
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    char buffer[256];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, outPtr - buffer);
        if (result != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL: skip one character of input.
        size_t skip = 1;
        if (fromUtf8) {
            auto lead = static_cast<unsigned char>(*in);
            size_t length = lead >= 0xF8 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
            bool whole = length <= inLeft;
            for (size_t i = 1; whole && i < length; ++i) whole = (static_cast<unsigned char>(in[i]) & 0xC0) == 0x80;
            skip = whole ? length : 1;
        }
        in += skip;
        inLeft -= skip;
        out.push_back('?');
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer, outPtr - buffer);
    iconv_close(cd);
    return out;
}

// Well-formed UTF-8: no stray continuation bytes, no overlong forms, no surrogates, nothing
// beyond U+10FFFF.
bool IsUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t length = lead < 0x80                    ? 1
                        : lead >= 0xC2 && lead <= 0xDF ? 2
                        : lead >= 0xE0 && lead <= 0xEF ? 3
                        : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                       : 0;
        if (length == 0 || i + length > text.size()) return false;
        for (size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        const auto second = length > 1 ? static_cast<unsigned char>(text[i + 1]) : 0;
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) || (lead == 0xF0 && second < 0x90) ||
            (lead == 0xF4 && second > 0x8F))
            return false;
        i += length;
    }
    return true;
}

std::atomic<LeadByteTable> leadByteTable{LeadByteTable::FromLocale};

bool LocaleIsCp932() {
    const char* codeset = nl_langinfo(CODESET);
    if (!codeset) return false;
    return strcasecmp(codeset, "CP932") == 0 || strcasecmp(codeset, "SHIFT_JIS") == 0 ||
           strcasecmp(codeset, "SJIS") == 0 || strcasecmp(codeset, "SHIFT-JIS") == 0;
}

}  // namespace

std::string Utf8ToCp932(std::string_view utf8) {
    // Text that is not UTF-8 (a file name from an old CP932 archive or disk) is read as the
    // CP932 it most likely is, rather than turned into a row of '?'.
    if (!IsUtf8(utf8)) return Convert(Cp932ToUtf8(utf8), "CP932", "UTF-8", true);
    return Convert(utf8, "CP932", "UTF-8", true);
}

std::string Cp932ToUtf8(std::string_view cp932) {
    return Convert(cp932, "UTF-8", "CP932", false);
}

bool IsCp932LeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

std::string CutCp932(std::string_view cp932, size_t limit) {
    size_t end = 0;
    while (end < cp932.size()) {
        const size_t width = IsCp932LeadByte(static_cast<unsigned char>(cp932[end])) ? 2 : 1;
        if (end + width > limit || end + width > cp932.size()) break;
        end += width;
    }
    return std::string(cp932.substr(0, end));
}

bool IsDbcsLeadByte(unsigned char byte) {
    switch (leadByteTable.load()) {
    case LeadByteTable::Cp932: return IsCp932LeadByte(byte);
    case LeadByteTable::None: return false;
    case LeadByteTable::FromLocale: return LocaleIsCp932() && IsCp932LeadByte(byte);
    }
    return false;
}

void SetLeadByteTable(LeadByteTable table) {
    leadByteTable = table;
}

}  // namespace kvt
