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
// Largest compressed image member read into memory.
constexpr qint64 kMaxArchiveMemberBytes = qint64(64) << 20;

enum class MemberRead { Ok, Missing, Unreadable, TooLarge };

// The first name two members of the open archive share; empty when none do.
QString RepeatedMemberName(QuaZip& zip);

// Reads the member `name` of the open archive whole through `file` (bound to
// `zip`), at most `maxBytes`. The member's checksum is verified.
MemberRead ReadArchiveMember(QuaZip& zip, QuaZipFile& file, const QString& name, qint64 maxBytes,
                             QByteArray& bytes);

// The size an image's header states, format taken from the data; invalid
// when the data is no image.
QSize ArchiveImageSize(const QByteArray& bytes);
// Why an image of `size` is not taken (no image, too large); empty when it is.
QString ArchiveImageSizeProblem(const QSize& size);

// Decodes an image, format taken from the data. Its size is read from the
// image header and checked against the limits above before the pixels are
// allocated. False with a reason in `error` when the data is not a complete
// image or too large.
bool DecodeArchiveImage(const QByteArray& bytes, QImage& image, QString& error);
