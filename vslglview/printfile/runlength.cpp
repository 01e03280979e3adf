#include "printfile/runlength.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Index of the first pixel in [from, end) whose masked value differs from
// `level`, or `end`. Long runs dominate a layer, so compare 16 bytes at a time.
inline int findLevelChange(const uchar* row, int from, int end, uchar mask, uchar level)
{
    int x = from;
#if defined(__SSE2__)
    const __m128i maskV = _mm_set1_epi8(static_cast<char>(mask));
    const __m128i levelV = _mm_set1_epi8(static_cast<char>(level));
    while (x + 32 <= end) {
        const __m128i a = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x)), maskV);
        const __m128i b = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x + 16)), maskV);
        const unsigned eqA = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, levelV)));
        const unsigned eqB = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(b, levelV)));
        const unsigned diff = ~(eqA | (eqB << 16));
        if (diff != 0)
            return x + __builtin_ctz(diff);
        x += 32;
    }
#endif
    const quint64 mask8 = 0x0101010101010101ull * mask;
    const quint64 level8 = 0x0101010101010101ull * level;
    while (x + 8 <= end) {
        quint64 word;
        std::memcpy(&word, row + x, 8);
        const quint64 diff = (word & mask8) ^ level8;
        if (diff != 0) {
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
            return x + (__builtin_ctzll(diff) >> 3);
#else
            return x + (__builtin_clzll(diff) >> 3);
#endif
        }
        x += 8;
    }
    while (x < end && (row[x] & mask) == level)
        ++x;
    return x;
}

// Appends runs to a raw buffer, growing the vector geometrically.
class RunWriter
{
public:
    RunWriter(QVector<unsigned char>& out, int digitBits)
        : m_out(out), m_digitBits(digitBits), m_digitMask((1u << digitBits) - 1)
    {
        // Sizes grow with what is written, so zero-filling on resize stays in
        // proportion to the code; the capacity of earlier layers is reused.
        m_out.clear();
        m_out.resize(4096);
        m_data = m_out.data();
    }

    void write(uchar level, quint64 count)
    {
        uchar digits[64];
        int n = 0;
        do {
            digits[n++] = static_cast<uchar>(count & m_digitMask);
            count >>= m_digitBits;
        } while (count != 0);
        if (m_used + n > m_out.size()) {
            m_out.resize(qMax(m_out.size() * 2, m_used + 64));
            m_data = m_out.data();
        }
        uchar* dst = m_data + m_used;
        for (int i = n - 1; i >= 0; --i)
            *dst++ = static_cast<uchar>(level | digits[i]);
        m_used += n;
    }

    void finish() { m_out.resize(m_used); }

private:
    QVector<unsigned char>& m_out;
    const int m_digitBits;
    const quint64 m_digitMask;
    uchar* m_data = nullptr;
    int m_used = 0;
};

} // namespace

bool EncodeRunLength(const QImage& grey8, int bitsPerPixel, QVector<unsigned char>& out)
{
    return EncodeRunLength(grey8, bitsPerPixel, out, grey8.rect());
}

bool EncodeRunLength(const QImage& grey8, int bitsPerPixel, QVector<unsigned char>& out, const QRect& litBox)
{
    out.clear();
    if (bitsPerPixel < 1 || bitsPerPixel > 7 || grey8.format() != QImage::Format_Grayscale8 || grey8.isNull())
        return false;
    const int width = grey8.width();
    const int height = grey8.height();
    if (width <= 0 || height <= 0)
        return false;

    const int digitBits = 8 - bitsPerPixel;
    const uchar mask = static_cast<uchar>(0xFFu << digitBits);
    RunWriter writer(out, digitBits);

    const QRect box = litBox & grey8.rect();
    uchar level = box.contains(0, 0) ? grey8.constScanLine(0)[0] & mask : 0;
    quint64 count = 0;
    // Black pixels not stored in the box: they extend a black run or start one.
    auto addBlack = [&](quint64 n) {
        if (n == 0)
            return;
        if (level != 0) {
            writer.write(level, count);
            level = 0;
            count = 0;
        }
        count += n;
    };

    if (box.isEmpty()) {
        addBlack(quint64(width) * quint64(height));
    } else {
        const int left = box.left();
        const int end = box.right() + 1;
        addBlack(quint64(box.top()) * quint64(width));
        for (int y = box.top(); y <= box.bottom(); ++y) {
            const uchar* row = grey8.constScanLine(y);
            addBlack(quint64(left));
            int x = left;
            for (;;) {
                const int change = findLevelChange(row, x, end, mask, level);
                count += static_cast<quint64>(change - x);
                if (change == end)
                    break;
                writer.write(level, count);
                level = row[change] & mask;
                count = 1;
                x = change + 1;
            }
            addBlack(quint64(width - end));
        }
        addBlack(quint64(height - 1 - box.bottom()) * quint64(width));
    }
    writer.write(level, count);
    writer.finish();
    return true;
}

quint64 RunLengthPixelCount(const uchar* code, qint64 bytes, int bitsPerPixel, quint64 limit)
{
    if (bitsPerPixel < 1 || bitsPerPixel > 7)
        return 0;
    const int digitBits = 8 - bitsPerPixel;
    const uchar mask = static_cast<uchar>(0xFFu << digitBits);
    quint64 total = 0;
    quint64 run = 0;
    int level = -1;
    for (qint64 i = 0; i < bytes; ++i) {
        const uchar b = code[i];
        if ((b & mask) != level) {
            total += run;
            if (total > limit)
                return total;
            run = 0;
            level = b & mask;
        }
        run = (run << digitBits) | (b & ~mask & 0xFFu);
        if (run > limit)
            return limit + 1;
    }
    return total + run;
}

bool RunLengthLightsAnyPixel(const uchar* code, qint64 bytes, int bitsPerPixel)
{
    if (bitsPerPixel < 1 || bitsPerPixel > 7)
        return false;
    const uchar mask = static_cast<uchar>(0xFFu << (8 - bitsPerPixel));
    // A run's length is above 0 exactly when one of its digits is.
    for (qint64 i = 0; i < bytes; ++i)
        if ((code[i] & mask) && (code[i] & ~mask & 0xFFu))
            return true;
    return false;
}

bool RunLengthHasEmptyRun(const uchar* code, qint64 bytes, int bitsPerPixel)
{
    if (bitsPerPixel < 1 || bitsPerPixel > 7)
        return false;
    const uchar mask = static_cast<uchar>(0xFFu << (8 - bitsPerPixel));
    bool counted = true; // no run open yet
    int level = -1;
    for (qint64 i = 0; i < bytes; ++i) {
        const uchar b = code[i];
        if ((b & mask) != level) {
            if (!counted)
                return true;
            level = b & mask;
            counted = false;
        }
        counted = counted || (b & ~mask & 0xFFu) != 0;
    }
    return !counted;
}
