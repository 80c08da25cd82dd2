#include "lists/Resize.h"

#include "Ui.h"
#include "kit/Support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <jerror.h>
#include <jpeglib.h>
#include <unistd.h>

// ------------------------------------------------------------------ Bitmap24

void Bitmap24::setSize(int width, int height) {
    m_width = std::max(width, 0);
    m_height = std::max(height, 0);
    m_stride = std::ptrdiff_t(m_width) * 3;
    m_data.assign(size_t(m_stride) * size_t(m_height), 0);
    m_first = 0;
}

void Bitmap24::flipStorage() {
    if (isEmpty())
        return;
    std::vector<std::uint8_t> flipped(m_data.size());
    const size_t rowBytes = size_t(m_width) * 3;
    for (int y = 0; y < m_height; ++y)
        std::memcpy(flipped.data() + size_t(m_height - 1 - y) * rowBytes, row(y), rowBytes);
    m_data.swap(flipped);
    if (m_stride > 0) {
        m_stride = -std::ptrdiff_t(rowBytes);
        m_first = std::ptrdiff_t(m_height - 1) * std::ptrdiff_t(rowBytes);
    } else {
        m_stride = std::ptrdiff_t(rowBytes);
        m_first = 0;
    }
}

bool Bitmap24::samePixels(const Bitmap24& other) const {
    if (m_width != other.m_width || m_height != other.m_height)
        return false;
    for (int y = 0; y < m_height; ++y)
        if (std::memcmp(row(y), other.row(y), size_t(m_width) * 3) != 0)
            return false;
    return true;
}

// ------------------------------------------------------------------ libjpeg

namespace {

// libjpeg reports fatal errors through error_exit, which must not return:
// jump back to the caller's set-up point instead.
struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    bool truncated = false;
};

void jpegErrorExit(j_common_ptr info) {
    auto* error = reinterpret_cast<JpegError*>(info->err);
    std::longjmp(error->jump, 1);
}

// A file that ends early decodes as grey below the break; we refuse it
// rather than import half a picture.
void jpegMessage(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF)
        reinterpret_cast<JpegError*>(info->err)->truncated = true;
}

void cmykToBgr(const std::uint8_t* cmyk, std::uint8_t* bgr, int width, bool inverted) {
    for (int x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
        int c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        // Adobe writes the inks inverted: 255 is no ink.
        bgr[0] = std::uint8_t(y * k / 255);
        bgr[1] = std::uint8_t(m * k / 255);
        bgr[2] = std::uint8_t(c * k / 255);
    }
}

constexpr quint64 MaxJpegPixels = 250'000'000;

// Kept apart from anything with a destructor: longjmp skips destructors.
bool decodeInto(const unsigned char* data, unsigned long size, Bitmap24& bitmap,
                std::vector<std::uint8_t>& cmykRow, int minWidth, quint64 maxWholeComponents,
                bool& tooLarge) {
    jpeg_decompress_struct info;
    JpegError error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = jpegErrorExit;
    error.manager.emit_message = jpegMessage;
    if (setjmp(error.jump)) {
        const int code = info.err->msg_code;
        tooLarge = code == JERR_OUT_OF_MEMORY || code == JERR_NO_BACKING_STORE;
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    // A little beyond the whole-picture buffer allowed below, libjpeg gives
    // up instead of taking more (it has no backing store on this system).
    if (maxWholeComponents > 0)
        info.mem->max_memory_to_use = long(std::min<quint64>(maxWholeComponents / 2 * 5, LONG_MAX));
    jpeg_mem_src(&info, data, size);
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
    // A header may claim any size; refuse what no photo needs rather than run out of memory.
    // A progressive picture is held whole (two bytes per component) while it
    // is decoded, however small the result: its size counts, not the result's.
    const quint64 components = quint64(info.image_width) * info.image_height * quint64(info.num_components);
    if (quint64(info.image_width) * info.image_height > MaxJpegPixels ||
        (maxWholeComponents > 0 && jpeg_has_multiple_scans(&info) && components > maxWholeComponents)) {
        tooLarge = true;
        jpeg_destroy_decompress(&info);
        return false;
    }
    // The decoder shrinks by 2, 4 or 8 almost for free while it decodes.
    if (minWidth > 0) {
        info.scale_num = 1;
        for (unsigned denom = 8; denom > 1; denom /= 2)
            if ((info.image_width + denom - 1) / denom >= unsigned(minWidth)) {
                info.scale_denom = denom;
                break;
            }
    }
    jpeg_start_decompress(&info);
    bitmap.setSize(int(info.output_width), int(info.output_height));
    if (cmyk)
        cmykRow.resize(size_t(info.output_width) * 4);
    while (info.output_scanline < info.output_height) {
        const int y = int(info.output_scanline);
        if (cmyk) {
            JSAMPROW rows[1] = {cmykRow.data()};
            jpeg_read_scanlines(&info, rows, 1);
            cmykToBgr(cmykRow.data(), bitmap.row(y), bitmap.width(), info.saw_Adobe_marker);
        } else {
            JSAMPROW rows[1] = {bitmap.row(y)};
            jpeg_read_scanlines(&info, rows, 1);
        }
        if (error.truncated)
            break;
    }
    if (!error.truncated)
        jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return !error.truncated && !bitmap.isEmpty();
}

bool encodeInto(const Bitmap24& bitmap, int quality, unsigned char** buffer, unsigned long* size) {
    jpeg_compress_struct info;
    JpegError error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = jpegErrorExit;
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, buffer, size);
    info.image_width = JDIMENSION(bitmap.width());
    info.image_height = JDIMENSION(bitmap.height());
    info.input_components = 3;
    info.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = {const_cast<JSAMPLE*>(bitmap.row(int(info.next_scanline)))};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

} // namespace

bool DecodeJpeg(const QByteArray& bytes, Bitmap24& bitmap) {
    return DecodeJpegForWidth(bytes, 0, bitmap);
}

bool DecodeJpegForWidth(const QByteArray& bytes, int minWidth, Bitmap24& bitmap, quint64 maxWholeComponents,
                        bool* tooLarge) {
    bitmap = Bitmap24();
    bool large = false;
    if (tooLarge)
        *tooLarge = false;
    if (bytes.size() < 4)
        return false;
    std::vector<std::uint8_t> cmykRow;
    const bool ok = decodeInto(reinterpret_cast<const unsigned char*>(bytes.constData()),
                               static_cast<unsigned long>(bytes.size()), bitmap, cmykRow, minWidth,
                               maxWholeComponents, large);
    if (!ok)
        bitmap = Bitmap24();
    if (tooLarge)
        *tooLarge = large;
    return ok;
}

bool LoadJpeg(const QString& path, Bitmap24& bitmap) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        bitmap = Bitmap24();
        return false;
    }
    return DecodeJpeg(file.readAll(), bitmap);
}

QByteArray EncodeJpeg(const Bitmap24& bitmap, int quality) {
    if (bitmap.isEmpty())
        return {};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const bool ok = encodeInto(bitmap, std::clamp(quality, 1, 100), &buffer, &size);
    QByteArray bytes;
    if (ok && buffer)
        bytes = QByteArray(reinterpret_cast<const char*>(buffer), qsizetype(size));
    std::free(buffer);
    return bytes;
}

bool SaveJpeg(const QString& path, const Bitmap24& bitmap, int quality) {
    const QByteArray bytes = EncodeJpeg(bitmap, quality);
    if (bytes.isEmpty())
        return false;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size())
        return false;
    return file.commit();
}

// ------------------------------------------------------------------ resampling

int RoundHalfEven(qint64 numerator, qint64 denominator) {
    if (denominator <= 0)
        return 0;
    qint64 quotient = numerator / denominator;
    const qint64 twice = 2 * (numerator % denominator);
    if (twice > denominator || (twice == denominator && (quotient & 1)))
        ++quotient;
    return int(quotient);
}

namespace {

// value / 65536 rounded to the nearest integer, halves to even.
inline std::uint32_t shiftRound(std::uint64_t value) {
    std::uint64_t q = value >> 16;
    const std::uint64_t rest = value & 0xFFFF;
    if (rest > 0x8000 || (rest == 0x8000 && (q & 1)))
        ++q;
    return std::uint32_t(q);
}

} // namespace

void ResampleBilinear(const Bitmap24& source, Bitmap24& target) {
    if (source.isEmpty() || target.isEmpty())
        return;
    const int sw = source.width(), sh = source.height();
    const int tw = target.width(), th = target.height();
    if (sw == tw && sh == th) {
        for (int y = 0; y < sh; ++y)
            std::memcpy(target.row(y), source.row(y), size_t(sw) * 3);
        return;
    }
    const std::uint32_t sx = std::uint32_t(RoundHalfEven(qint64(sw - 1) * 65536, tw));
    const std::uint32_t sy = std::uint32_t(RoundHalfEven(qint64(sh - 1) * 65536, th));
    const int lastColumn = sw - 1;
    const int lastRow = sh - 1;

    std::uint64_t fy = 0;
    for (int ty = 0; ty < th; ++ty, fy += sy) {
        // The step sizes keep y0 and x0 + 1 inside the source; the clamps only
        // guard one-pixel-wide or one-pixel-high sources.
        const int y0 = std::min(int(fy >> 16), lastRow);
        const std::uint8_t* rowA = source.row(y0);
        const std::uint8_t* rowB = source.row(std::min(y0 + 1, lastRow));
        const std::uint32_t f = std::uint32_t(fy & 0xFFFF);
        const std::uint32_t weightA = 65536 - f;
        const std::uint32_t weightB = f + 1; // the two add up to 65537

        std::uint8_t* out = target.row(ty);
        std::uint64_t fx = 0;
        for (int tx = 0; tx < tw; ++tx, fx += sx, out += 3) {
            const int x0 = std::min(int(fx >> 16), lastColumn);
            const int x1 = std::min(x0 + 1, lastColumn);
            const std::uint64_t g = fx & 0xFFFF;
            const std::uint32_t a1 = shiftRound(g * weightA);
            const std::uint32_t a0 = weightA - a1;
            const std::uint32_t b1 = shiftRound(g * weightB);
            const std::uint32_t b0 = weightB - b1;
            const std::uint8_t* pa0 = rowA + x0 * 3;
            const std::uint8_t* pa1 = rowA + x1 * 3;
            const std::uint8_t* pb0 = rowB + x0 * 3;
            const std::uint8_t* pb1 = rowB + x1 * 3;
            for (int c = 0; c < 3; ++c) {
                const std::uint64_t sum = std::uint64_t(pa0[c]) * a0 + std::uint64_t(pa1[c]) * a1 +
                                          std::uint64_t(pb0[c]) * b0 + std::uint64_t(pb1[c]) * b1;
                out[c] = std::uint8_t(std::min<std::uint64_t>(sum >> 16, 255));
            }
        }
    }
}

int ScaledHeight(int sourceWidth, int sourceHeight, int targetWidth) {
    if (sourceWidth <= 0 || sourceHeight <= 0 || targetWidth <= 0)
        return 1;
    // A very wide strip would round to no rows at all, which no JPEG can hold.
    return std::max(1, RoundHalfEven(qint64(targetWidth) * sourceHeight, sourceWidth));
}

// ------------------------------------------------------------------ import

namespace {
// The quality of every picture Brolt shrinks.
constexpr int shrunkQuality = 75;

Bitmap24 shrunkTo(const Bitmap24& picture, int width) {
    Bitmap24 shrunk(width, ScaledHeight(picture.width(), picture.height(), width));
    ResampleBilinear(picture, shrunk);
    return shrunk;
}

QByteArray shrunkJpeg(const Bitmap24& picture, int width) {
    return EncodeJpeg(shrunkTo(picture, width), shrunkQuality);
}
} // namespace

bool SaveShrunkJpeg(const Bitmap24& picture, int width, const QString& target) {
    return SaveJpeg(target, shrunkTo(picture, width), shrunkQuality);
}

CardPhoto MakeCardPhoto(const QByteArray& jpeg, int maxWidth, QByteArray& out) {
    out.clear();
    Bitmap24 bitmap;
    bool tooLarge = false;
    // One pixel more than the width: only a picture that needs shrinking is
    // shrunk while decoding, and the narrower ones still show as such.
    if (!DecodeJpegForWidth(jpeg, maxWidth + 1, bitmap, MaxCardPhotoComponents, &tooLarge))
        return tooLarge ? CardPhoto::TooLarge : CardPhoto::NotJpeg;
    out = bitmap.width() <= maxWidth ? jpeg : shrunkJpeg(bitmap, maxWidth);
    return out.isEmpty() ? CardPhoto::NotJpeg : CardPhoto::Ok;
}

bool WriteNewFile(const QString& path, const QByteArray& bytes, QString& why) {
    // O_EXCL fails on anything at that name, a dangling link included, and
    // O_NOFOLLOW makes sure: nothing is ever written through a link.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    int error = fd < 0 ? errno : 0;
    if (fd >= 0) {
        error = WriteAll(fd, bytes);
        if (::close(fd) != 0 && error == 0)
            error = errno;
        if (error != 0)
            ::unlink(QFile::encodeName(path).constData()); // ours: O_EXCL made it
    }
    switch (error) {
    case 0:
        return true;
    case EEXIST:
    case ELOOP:
        why = QStringLiteral("er is al een bestand met die naam");
        break;
    case EACCES:
    case EPERM:
    case EROFS:
        why = QStringLiteral("de map is alleen-lezen");
        break;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        why = QStringLiteral("de schijf is vol");
        break;
    case ENAMETOOLONG:
        why = QStringLiteral("de naam is te lang");
        break;
    case ENOENT:
    case ENOTDIR:
        why = QStringLiteral("de map bestaat niet");
        break;
    default:
        why = QStringLiteral("systeemfout ") + QString::number(error);
    }
    return false;
}

ImportResult ImportPicture(const QString& source, const QString& target, int maxWidth, const QRect& caller) {
    const QFileInfo sourceInfo(source);
    if (sourceInfo.fileName().isEmpty())
        return ImportResult::Nothing;
    Bitmap24 picture;
    if (!LoadJpeg(source, picture))
        return ImportResult::Nothing;

    maxWidth = std::max(maxWidth, 1);
    bool ok = false;
    ImportResult done = ImportResult::Failed;
    if (picture.width() > maxWidth) {
        ok = SaveShrunkJpeg(picture, maxWidth, target);
        done = ImportResult::Shrunk;
    } else {
        // Picking the picture that is already in place must not copy it onto
        // itself: a copy that first empties its target would lose it.
        const QFileInfo targetInfo(target);
        if (targetInfo.exists() && targetInfo.canonicalFilePath() == sourceInfo.canonicalFilePath())
            ok = true;
        else
            ok = CopyFileMakePath(source, target);
        done = ImportResult::Copied;
    }
    if (ok)
        return done;
    Ui::instance().showTimedMessage(5000, source, QStringLiteral("is geen geldig .jpg-bestand"), caller);
    return ImportResult::Failed;
}

QString PictureFileName(const QString& recordName, const QString& pickedFile) {
    QString name = recordName;
    for (QChar& c : name)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') || c.unicode() < 0x20)
            c = QLatin1Char('_');
    name.replace(QStringLiteral(".."), QStringLiteral("__"));
    const QString suffix = QFileInfo(pickedFile).suffix().toLower();
    if (!suffix.isEmpty())
        name += QLatin1Char('.') + suffix;
    // A name of dots alone would be the folder itself or its parent.
    if (name.isEmpty() || name == QLatin1String("."))
        name = QStringLiteral("_") + name;
    return name;
}

QString PictureFilePath(const QString& dataFolder, const QString& pictureName) {
    if (!pictureName.isEmpty()) {
        const QString file = dataFolder + pictureName;
        if (QFileInfo(file).isFile())
            return file;
    }
    return dataFolder + QStringLiteral("Blanc.jpg");
}

// ------------------------------------------------------------------ fitting

namespace {

int atLeastOne(int n) {
    return std::max(n, 1);
}

} // namespace

MainPictureFit FitMainPicture(QSize picture, int memoHeight) {
    MainPictureFit fit;
    const int side = std::max(memoHeight, 0);
    fit.panel = QSize(side, side);
    const int w = picture.width(), h = picture.height();
    if (w <= 0 || h <= 0)
        return fit;
    const int r = w > h ? w : h;
    const int b = atLeastOne(side - 10);
    const int width = atLeastOne(RoundHalfEven(qint64(w) * b, r) - 1);
    const int height = atLeastOne(RoundHalfEven(qint64(h) * b, r));
    fit.image = QRect((side - 5 - width) / 2 + 3, (side - 5 - height) / 2 + 3, width, height);
    return fit;
}

EditPictureFit FitEditPicture(QSize picture, QSize panel, int gridHeight) {
    EditPictureFit fit;
    // A panel left narrow by a tall picture would make every wide picture after it smaller still.
    const int boxWidth = std::max(panel.width(), EditPicturePanelFloor);
    fit.panel = QSize(boxWidth, gridHeight);
    const int w = picture.width(), h = picture.height();
    if (w <= 0 || h <= 0)
        return fit;
    const bool wide = w > h;
    const int r = wide ? w : h;
    const int b = atLeastOne((wide ? boxWidth : gridHeight) - 10);
    const int width = atLeastOne(RoundHalfEven(qint64(w) * b, r) - 1);
    const int height = atLeastOne(RoundHalfEven(qint64(h) * b, r) - 1);
    // A wide picture leaves the panel as wide as it was: taking the picture's
    // width + 8 would narrow it by 3 pixels on every showing.
    fit.panel = QSize(wide ? boxWidth : width + 8, gridHeight);
    fit.image = QRect((fit.panel.width() - width - 5) / 2 + 4, (gridHeight - height) / 2 + 3, width, height);
    return fit;
}

QRect FitPropsPicture(QSize picture) {
    const int w = picture.width(), h = picture.height();
    if (w <= 0 || h <= 0)
        return {};
    // q is the larger of w / 170 and h / 170, so w / q is w * 170 / max(w, h).
    const int largest = std::max(w, h);
    const int width = atLeastOne(RoundHalfEven(qint64(w) * 170, largest) - 1);
    const int height = atLeastOne(RoundHalfEven(qint64(h) * 170, largest));
    return QRect((170 - width) / 2 + 4, (170 - height) / 2 + 65, width, height);
}
