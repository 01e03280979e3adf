// Feeds arbitrary bytes, cut into pieces the data chooses, to the reader of
// the network printer search's HTTP replies.
#include "httpreplyreader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A small body bound, so the body's limits are reached often.
    constexpr qint64 kBody = 512;
    HttpReplyReader reader(kBody);
    size_t at = 0;
    while (at < size) {
        // The first byte of each piece gives its length.
        const size_t length = 1 + data[at] % 64;
        const size_t end = at + 1 + length < size ? at + 1 + length : size;
        reader.feed(reinterpret_cast<const char*>(data) + at + 1, qint64(end > at + 1 ? end - at - 1 : 0));
        // Whatever comes, the reader stays within its bounds.
        if (reader.body().size() > kBody || reader.bytesRead() > reader.readBudget()
            || reader.held() > kBody * 2 + 4 * HttpReplyReader::kMaxHeadBytes)
            __builtin_trap();
        if (reader.state() == HttpReplyReader::State::Refused && (reader.held() != 0 || reader.refusal().isEmpty()))
            __builtin_trap();
        at = end;
    }
    reader.closed();
    if (!reader.ended())
        __builtin_trap();
    return 0;
}
