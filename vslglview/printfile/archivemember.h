#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

class QuaZip;
class QuaZipFile;

// Largest layer or preview image taken from an archive, per side and in
// pixels; an archive claiming more is refused before anything is allocated.
constexpr int kMaxArchiveImageSide = 16384;
constexpr qint64 kMaxArchiveImagePixels = qint64(8192) * 8192;
// Largest decoded image, in bytes of pixels (a 16-bit RGBA picture takes 8
// bytes a pixel).
constexpr qint64 kMaxArchiveDecodedBytes = qint64(512) << 20;
// Largest compressed image member read into memory.
constexpr qint64 kMaxArchiveMemberBytes = qint64(64) << 20;

enum class MemberRead { Ok, Missing, Unreadable, TooLarge };

// The first name two members of the open archive share; empty when none do.
QString RepeatedMemberName(QuaZip& zip);

// Reads the member `name` of the open archive whole through `file` (bound to
// `zip`), at most `maxBytes`. The member's checksum is verified.
MemberRead ReadArchiveMember(QuaZip& zip, QuaZipFile& file, const QString& name, qint64 maxBytes,
                             QByteArray& bytes);

// Largest colour profile handed to the decoder, in bytes as it states
// itself unpacked; a larger one is left out (the PNG reader refuses larger
// ones too). The decoder gets the first profile only, as a picture names
// one.
constexpr qint64 kMaxPngProfileBytes = 8000000;

// What the image header (IHDR) of a PNG states, and what its other chunks
// cost the decoder.
struct PngHeader
{
    QSize size;
    int bitDepth = 0;
    int colorType = 0;
    // A transparency chunk before the pixel data: grey and colour images
    // then decode with an alpha channel too.
    bool transparency = false;
    // Bytes of the copy the decoder reads when chunks are left out of it
    // (text, metadata); 0 when it reads the data itself.
    qint64 copyBytes = 0;
    // The unpacked size the colour profile handed to the decoder states; 0
    // without one.
    qint64 profileBytes = 0;
};

// Reads the signature and image header of PNG data without decoding a
// pixel, and walks its chunks up to the end chunk, each length checked
// against the data. False with a reason in `error` when the data is no PNG
// (naming what it looks like instead: gzip, SVG, JPEG, GIF...), its header
// is damaged, a chunk runs past the data or the end chunk is missing.
bool ReadPngHeader(const QByteArray& bytes, PngHeader& header, QString& error);
// Upper bound of the bytes Qt's PNG reader allocates for the image's pixels.
qint64 PngDecodedBytes(const PngHeader& header);
// Upper bound of all the decoding holds beside the data: the pixels, the
// copy without the chunks left out, and the colour profile with its copies.
qint64 PngReaderBytes(const PngHeader& header);
// What the decoder is given of PNG data that ReadPngHeader accepted: the
// chunks the pixels, their transparency and their colour space depend on,
// and nothing else. Text (tEXt, zTXt, iTXt) and other metadata would be
// unpacked and copied whatever their number; they are left out. The data
// itself, unless a chunk is left out.
QByteArray PngDecoderInput(const QByteArray& bytes);
// Whether the decoded image can carry an alpha channel.
bool PngHasAlpha(const PngHeader& header);

// The size a PNG's header states; invalid when the data is no PNG.
QSize ArchiveImageSize(const QByteArray& bytes);
// Why an image of `size` is not taken (no image, too large); empty when it is.
QString ArchiveImageSizeProblem(const QSize& size);

// Decodes PNG data, and PNG only: archive members are named ".png", and
// handing them to whichever image plugin claims the data would let a
// drawing or any other format run. The header is checked (signature, size
// against the limits above, and PngReaderBytes against `maxDecodedBytes`)
// before anything is allocated, and the decoder gets PngDecoderInput only.
// False with a reason in `error` when the data is not a complete PNG or too
// large.
bool DecodeArchiveImage(const QByteArray& bytes, QImage& image, QString& error,
                        qint64 maxDecodedBytes = kMaxArchiveDecodedBytes);
