// Feeds arbitrary bytes, cut into pieces the data chooses, to the reader of
// the network printer's transfer replies.
#include "transferreplies.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TransferReplies replies;
    size_t at = 0;
    while (at < size) {
        // The first byte of each piece gives its length.
        const size_t length = 1 + data[at] % 64;
        const size_t end = at + 1 + length < size ? at + 1 + length : size;
        const QByteArray piece(reinterpret_cast<const char*>(data) + at + 1, int(end > at + 1 ? end - at - 1 : 0));
        (void)replies.feed(piece);
        if (replies.buffered() > TransferReplies::kMaxMessageBytes + 1024)
            __builtin_trap();  // the buffer must stay small whatever comes
        at = end;
    }
    return 0;
}
