#pragma once

#include <QRect>
#include <QSize>
#include <QString>

#include <cstdint>
#include <vector>

// Record pictures without any window: decoding and encoding JPEG files with
// libjpeg, shrinking them with our own bilinear resampler, and the arithmetic
// that fits a picture into the box of each window that shows one.

// A 24-bit picture: blue, green, red bytes per pixel.  Rows are reached through
// row(); the distance between rows (`stride`) may be negative, so a bottom-up
// bitmap fits as well as a top-down one.
class Bitmap24 {
public:
    Bitmap24() = default;
    Bitmap24(int width, int height) { setSize(width, height); }

    // Allocates a top-down bitmap of this size; the pixels are black.
    void setSize(int width, int height);
    // Lays the same pixels out bottom-up (row 0 stored last).
    void flipStorage();

    int width() const { return m_width; }
    int height() const { return m_height; }
    bool isEmpty() const { return m_width <= 0 || m_height <= 0; }
    std::ptrdiff_t stride() const { return m_stride; }

    std::uint8_t* row(int y) { return m_data.data() + m_first + y * m_stride; }
    const std::uint8_t* row(int y) const { return m_data.data() + m_first + y * m_stride; }

    // Same size and the same bytes in every row.
    bool samePixels(const Bitmap24& other) const;

private:
    int m_width = 0;
    int m_height = 0;
    std::ptrdiff_t m_stride = 0;
    std::vector<std::uint8_t> m_data;
    std::ptrdiff_t m_first = 0; // offset of row 0, so copies stay valid
};

// Decodes a JPEG file; false when it is not a JPEG file, cannot be read or
// ends early.  Greyscale and CMYK pictures are converted to colour.
bool LoadJpeg(const QString& path, Bitmap24& bitmap);
bool DecodeJpeg(const QByteArray& bytes, Bitmap24& bitmap);
// The same, shrunk by 2, 4 or 8 while decoding as far as the width stays at
// least `minWidth` (a picture narrower than that comes out whole).  With
// `maxWholeComponents`, a picture that libjpeg must hold whole while decoding
// (progressive, multi-scan) is refused when width x height x components
// exceeds it, and so is one that would need more memory; `tooLarge` tells.
bool DecodeJpegForWidth(const QByteArray& bytes, int minWidth, Bitmap24& bitmap,
                        quint64 maxWholeComponents = 0, bool* tooLarge = nullptr);
// Encodes at `quality` (1..100) and writes the file in one go; false on failure.
bool SaveJpeg(const QString& path, const Bitmap24& bitmap, int quality);
QByteArray EncodeJpeg(const Bitmap24& bitmap, int quality);

// Fills `target` (its size already set) from `source` by bilinear
// interpolation in 16.16 fixed point.  Equal sizes copy the pixels.
void ResampleBilinear(const Bitmap24& source, Bitmap24& target);

// The height of a picture shrunk to `targetWidth`: rounded, never below 1.
int ScaledHeight(int sourceWidth, int sourceHeight, int targetWidth);

// What ImportPicture did.
enum class ImportResult {
    Nothing, // no file name, or not a JPEG file: nothing happened, nothing was reported
    Shrunk,  // written at the maximum width as a JPEG of quality 75
    Copied,  // not wider than the maximum: copied unchanged
    Failed   // shrinking, saving or copying failed; the user was told
};

// Writes `picture` shrunk to `width` (the height in proportion) as a JPEG of
// quality 75, as every imported picture wider than its maximum is written.
bool SaveShrunkJpeg(const Bitmap24& picture, int width, const QString& target);

// A card photo decoded whole may hold this many components (a 4 600 x 4 600
// colour photo, 128 MB while decoding): more than any phone camera writes.
inline constexpr quint64 MaxCardPhotoComponents = 64'000'000;
enum class CardPhoto { Ok, NotJpeg, TooLarge };
// An address card's photo as the picture import makes it: a JPEG wider than
// `maxWidth` shrunk to that width at quality 75, a narrower one as it is.
CardPhoto MakeCardPhoto(const QByteArray& jpeg, int maxWidth, QByteArray& out);

// Writes `bytes` as a new file at `path`: never through a link, never over
// anything that exists.  False with the Dutch reason in `why`.
bool WriteNewFile(const QString& path, const QByteArray& bytes, QString& why);

// Converts the picture `source` into `target`: a JPEG wider than `maxWidth` is
// shrunk to that width, a narrower one copied unchanged.  A failure shows
// "is geen geldig .jpg-bestand" for 5000 ms centred on `caller`.
ImportResult ImportPicture(const QString& source, const QString& target, int maxWidth,
                           const QRect& caller = {});

// The file name an imported picture gets: the record's name followed by the
// lower-case extension of the picked file.  Characters that could lead out of
// the data folder ("/", "\", ":", "..", control characters) become "_".
QString PictureFileName(const QString& recordName, const QString& pickedFile);

// The file a record's picture is shown from: the data folder followed by the
// picture name, or "Blanc.jpg" there when the name is empty or names no file.
QString PictureFilePath(const QString& dataFolder, const QString& pictureName);

// Rounds numerator / denominator (both positive) to the nearest integer, halves to even.
int RoundHalfEven(qint64 numerator, qint64 denominator);

// Where a picture of `picture` size goes in each window.  `image` is the
// image's rectangle within its parent; empty when the picture has no size.
struct MainPictureFit {
    QSize panel; // the picture panel, made square
    QRect image;
};
// The main window: the panel becomes a square as high as the reminder text.
MainPictureFit FitMainPicture(QSize picture, int memoHeight);

struct EditPictureFit {
    QSize panel; // the panel afterwards, as high as the grid
    QRect image;
};
// The edit window's picture panel is never narrower than this.
inline constexpr int EditPicturePanelFloor = 200;
// The edit window: a wide picture is fitted into the width of the panel the
// previous picture left (at least the floor) and keeps that width; a tall one
// into the grid's height, and the panel takes its width.  Fitting a picture
// into the panel its own fit left gives the same fit again.
EditPictureFit FitEditPicture(QSize picture, QSize panel, int gridHeight);

// The properties window: a 170 x 170 box.
QRect FitPropsPicture(QSize picture);
