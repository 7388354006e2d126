#include "vst3/Vst3Support.h"

#include <algorithm>
#include <limits>

namespace tarnwick::vst3 {

void CopyText(char16* to, std::size_t size, const char* text) {
    if (size == 0) return;
    std::size_t n = 0;
    for (; text && text[n] && n + 1 < size; ++n) {
        const auto c = static_cast<unsigned char>(text[n]);
        to[n] = c < 0x80 ? char16(c) : char16(u'?');
    }
    to[n] = 0;
}

std::string Narrow(const char16* text, std::size_t maxChars) {
    std::string out;
    for (std::size_t i = 0; text && i < maxChars && text[i]; ++i)
        out += text[i] < 0x80 ? char(text[i]) : '?';
    return out;
}

void CopyText(char* to, std::size_t size, const char* text) {
    if (size == 0) return;
    std::size_t n = 0;
    for (; text && text[n] && n + 1 < size; ++n) to[n] = text[n];
    to[n] = 0;
}

bool ReadStream(IBStream* stream, std::size_t maxBytes, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    if (!stream) return false;
    const std::size_t limit = maxBytes + 1;
    bytes.resize(limit);
    std::size_t have = 0;
    while (have < limit) {
        int32 read = 0;
        const auto want = static_cast<int32>(
            std::min<std::size_t>(limit - have, std::numeric_limits<int32>::max()));
        // Some hosts' streams answer an error, not 0 bytes, at their end.
        if (stream->read(bytes.data() + have, want, &read) != kResultOk || read <= 0) break;
        have += static_cast<std::size_t>(std::min(read, want));
    }
    bytes.resize(have);
    return true;
}

tresult ReadState(IBStream* stream, driver::GateState& state) {
    std::vector<std::uint8_t> bytes;
    if (!ReadStream(stream, driver::kStateSize, bytes)) return kInvalidArgument;
    return driver::DecodeState(bytes, state) == driver::StateError::None ? kResultOk : kResultFalse;
}

bool WriteStream(IBStream* stream, std::span<const std::uint8_t> bytes) {
    if (!stream) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        int32 written = 0;
        const auto want = static_cast<int32>(
            std::min<std::size_t>(bytes.size() - done, std::numeric_limits<int32>::max()));
        if (stream->write(const_cast<std::uint8_t*>(bytes.data() + done), want, &written) !=
                kResultOk ||
            written <= 0)
            return false;
        done += static_cast<std::size_t>(std::min(written, want));
    }
    return true;
}

}  // namespace tarnwick::vst3
