#include "TestKit.h"
#include "lists/Resize.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include <jpeglib.h>

Q_DECLARE_METATYPE(Bitmap24)

namespace {

// A picture with a smooth colour ramp, so shrinking has something to average.
Bitmap24 ramp(int width, int height) {
    Bitmap24 b(width, height);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = b.row(y);
        for (int x = 0; x < width; ++x, p += 3) {
            p[0] = std::uint8_t(x * 255 / std::max(width - 1, 1));
            p[1] = std::uint8_t(y * 255 / std::max(height - 1, 1));
            p[2] = std::uint8_t((x + y) * 255 / std::max(width + height - 2, 1));
        }
    }
    return b;
}

void writeJpeg(const QString& path, const Bitmap24& b, int quality = 90) {
    const QByteArray bytes = EncodeJpeg(b, quality);
    QVERIFY(!bytes.isEmpty());
    WriteFileForTest(path, bytes);
}

// Encodes `components` samples per pixel of one solid colour in `space`,
// written by libjpeg directly so the file does not come from the code under test.
QByteArray solidJpeg(int width, int height, J_COLOR_SPACE space, int components,
                     std::vector<JSAMPLE> colour) {
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = components;
    info.in_color_space = space;
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, space);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(size_t(width) * components);
    for (int x = 0; x < width; ++x)
        for (int c = 0; c < components; ++c)
            row[size_t(x) * components + c] = colour[size_t(c)];
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray bytes(reinterpret_cast<const char*>(buffer), qsizetype(size));
    std::free(buffer);
    return bytes;
}

struct JpegFacts {
    int width = 0, height = 0, components = 0;
    std::vector<int> lumaTable; // quantisation table 0 in natural order
};

JpegFacts readFacts(const QString& path) {
    JpegFacts facts;
    const QByteArray bytes = ReadFileForTest(path);
    jpeg_decompress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    facts.width = int(info.image_width);
    facts.height = int(info.image_height);
    facts.components = info.num_components;
    if (info.quant_tbl_ptrs[0])
        facts.lumaTable.assign(info.quant_tbl_ptrs[0]->quantval, info.quant_tbl_ptrs[0]->quantval + DCTSIZE2);
    jpeg_destroy_decompress(&info);
    return facts;
}

// The luminance table libjpeg makes for `quality`, from its standard tables.
std::vector<int> lumaTableFor(int quality) {
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    info.in_color_space = JCS_RGB;
    info.input_components = 3;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    std::vector<int> table(info.quant_tbl_ptrs[0]->quantval, info.quant_tbl_ptrs[0]->quantval + DCTSIZE2);
    jpeg_destroy_compress(&info);
    return table;
}

Bitmap24 pixelsOf(std::initializer_list<std::initializer_list<int>> rows) {
    const int height = int(rows.size());
    const int width = int(rows.begin()->size()) / 3;
    Bitmap24 b(width, height);
    int y = 0;
    for (const auto& r : rows) {
        int i = 0;
        for (int v : r)
            b.row(y)[i++] = std::uint8_t(v);
        ++y;
    }
    return b;
}

QList<int> bytesOf(const Bitmap24& b) {
    QList<int> out;
    for (int y = 0; y < b.height(); ++y)
        for (int i = 0; i < b.width() * 3; ++i)
            out << b.row(y)[i];
    return out;
}

} // namespace

class TestResize : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_folder;

private Q_SLOTS:
    void initTestCase() { m_home = std::make_unique<TempHome>(); }

    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_folder = m_dir->path() + "/";
    }

    void importShrinksWidePictures_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("expectedHeight");
        QTest::newRow("400 x 300") << 400 << 300 << 150;
        QTest::newRow("1000 x 333: 66.6 rounds up") << 1000 << 333 << 67;
        QTest::newRow("10000 x 10 keeps one row") << 10000 << 10 << 1;
        QTest::newRow("201 x 1") << 201 << 1 << 1;
    }

    void importShrinksWidePictures() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, expectedHeight);
        FakeUi ui;
        const QString source = m_folder + "picked/Foto.jpg";
        const Bitmap24 picture = ramp(width, height);
        writeJpeg(source, picture);
        const QString target = m_folder + "data/sub/Anna.jpg";

        QCOMPARE(ImportPicture(source, target, 200), ImportResult::Shrunk);
        QVERIFY(ui.notes.isEmpty());
        const JpegFacts facts = readFacts(target);
        QCOMPARE(facts.width, 200);
        QCOMPARE(facts.height, expectedHeight);
        QCOMPARE(facts.components, 3);
        QVERIFY(facts.lumaTable == lumaTableFor(75));
        QVERIFY(facts.lumaTable != lumaTableFor(90));

        // The stored pixels are the resampled decoded source, within JPEG's loss.
        Bitmap24 decodedSource, expected(200, expectedHeight), stored;
        QVERIFY(LoadJpeg(source, decodedSource));
        ResampleBilinear(decodedSource, expected);
        QVERIFY(LoadJpeg(target, stored));
        long long error = 0;
        for (int y = 0; y < stored.height(); ++y)
            for (int i = 0; i < 600; ++i)
                error += std::abs(int(stored.row(y)[i]) - int(expected.row(y)[i]));
        QVERIFY2(error / (stored.height() * 600) <= 3, qPrintable(QString::number(error)));
    }

    void importCopiesNarrowPicturesUnchanged_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("150 x 300") << 150 << 300;
        QTest::newRow("exactly the maximum") << 200 << 50;
        QTest::newRow("1 x 1") << 1 << 1;
    }

    void importCopiesNarrowPicturesUnchanged() {
        QFETCH(int, width);
        QFETCH(int, height);
        FakeUi ui;
        const QString source = m_folder + "Foto.JPG";
        writeJpeg(source, ramp(width, height), 97);
        const QString target = m_folder + "new/folder/Kees.jpg";
        QCOMPARE(ImportPicture(source, target, 200), ImportResult::Copied);
        QCOMPARE(ReadFileForTest(target), ReadFileForTest(source));
        QVERIFY(ui.notes.isEmpty());
    }

    void pickingThePictureInPlaceKeepsIt() {
        const QString file = m_folder + "Kees.jpg";
        writeJpeg(file, ramp(150, 100));
        const QByteArray before = ReadFileForTest(file);
        QCOMPARE(ImportPicture(file, file, 200), ImportResult::Copied);
        QCOMPARE(ReadFileForTest(file), before);
    }

    void importIgnoresWhatIsNoJpeg_data() {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray png = QByteArray::fromHex("89504e470d0a1a0a0000000d49484452");
        QTest::newRow("PNG") << png;
        QTest::newRow("text") << QByteArray("Anna;1990-05-12;\r\n");
        QTest::newRow("empty") << QByteArray();
        const QByteArray whole = EncodeJpeg(ramp(400, 300), 90);
        QTest::newRow("truncated JPEG") << whole.left(whole.size() / 2);
        QTest::newRow("JPEG header only") << whole.left(200);
    }

    void importIgnoresWhatIsNoJpeg() {
        QFETCH(QByteArray, bytes);
        FakeUi ui;
        const QString source = m_folder + "Foto.jpg";
        WriteFileForTest(source, bytes);
        const QString target = m_folder + "data/Anna.jpg";
        QCOMPARE(ImportPicture(source, target, 200), ImportResult::Nothing);
        QVERIFY(!QFileInfo::exists(target));
        QVERIFY(ui.notes.isEmpty());
    }

    void importWithoutFileNameDoesNothing() {
        FakeUi ui;
        QCOMPARE(ImportPicture(m_folder, m_folder + "x.jpg", 200), ImportResult::Nothing);
        QCOMPARE(ImportPicture(m_folder + "missing.jpg", m_folder + "x.jpg", 200), ImportResult::Nothing);
        QVERIFY(ui.notes.isEmpty());
    }

    void importFailureIsReported_data() {
        QTest::addColumn<int>("width");
        QTest::newRow("shrinking") << 400;
        QTest::newRow("copying") << 100;
    }

    void importFailureIsReported() {
        QFETCH(int, width);
        FakeUi ui;
        const QString source = m_folder + "Foto.jpg";
        writeJpeg(source, ramp(width, 50));
        WriteFileForTest(m_folder + "plain", "not a folder");
        QCOMPARE(ImportPicture(source, m_folder + "plain/Anna.jpg", 200), ImportResult::Failed);
        QCOMPARE(ui.notes.size(), 1);
        QCOMPARE(ui.notes[0].durationMs, 5000);
        QCOMPARE(ui.notes[0].first, source);
        QCOMPARE(ui.notes[0].second, QString("is geen geldig .jpg-bestand"));
    }

    void greyAndCmykPicturesImportInColour_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("blue");
        QTest::addColumn<int>("green");
        QTest::addColumn<int>("red");
        QTest::newRow("grey") << solidJpeg(400, 300, JCS_GRAYSCALE, 1, {128}) << 128 << 128 << 128;
        // libjpeg marks CMYK files as Adobe's, whose inks are inverted: 255 is no ink.
        QTest::newRow("CMYK red") << solidJpeg(400, 300, JCS_CMYK, 4, {255, 0, 0, 255}) << 0 << 0 << 255;
        QTest::newRow("CMYK black") << solidJpeg(240, 16, JCS_CMYK, 4, {255, 255, 255, 0}) << 0 << 0 << 0;
    }

    void greyAndCmykPicturesImportInColour() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, blue);
        QFETCH(int, green);
        QFETCH(int, red);
        const QString source = m_folder + "Foto.jpg";
        WriteFileForTest(source, bytes);
        const QString target = m_folder + "Anna.jpg";
        QCOMPARE(ImportPicture(source, target, 200), ImportResult::Shrunk);
        QCOMPARE(readFacts(target).components, 3);
        Bitmap24 stored;
        QVERIFY(LoadJpeg(target, stored));
        const std::uint8_t* p = stored.row(stored.height() / 2) + 100 * 3;
        QVERIFY2(std::abs(p[0] - blue) <= 3 && std::abs(p[1] - green) <= 3 && std::abs(p[2] - red) <= 3,
                 qPrintable(QString("%1 %2 %3").arg(p[0]).arg(p[1]).arg(p[2])));
    }

    void pictureFileNameStaysInTheDataFolder_data() {
        QTest::addColumn<QString>("record");
        QTest::addColumn<QString>("picked");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "Anna"
                               << "/home/x/Foto.JPG"
                               << "Anna.jpg";
        QTest::newRow("spaces and jpeg") << "Jan de Vries"
                                         << "/p/kees.Jpeg"
                                         << "Jan de Vries.jpeg";
        QTest::newRow("parent folder") << "../x"
                                       << "/p/a.jpg"
                                       << "___x.jpg";
        QTest::newRow("backslash and colon") << "C:\\Users\\x"
                                             << "/p/a.jpg"
                                             << "C__Users_x.jpg";
        QTest::newRow("dots alone, no extension") << ".."
                                                  << "/p/foto"
                                                  << "__";
        QTest::newRow("one dot, no extension") << "."
                                               << "/p/foto"
                                               << "_.";
        QTest::newRow("control character") << QString("a\nb") << "/p/a.bmp"
                                           << "a_b.bmp";
        QTest::newRow("dots inside a name") << "J. Jansen"
                                            << "/p/a.jpg"
                                            << "J. Jansen.jpg";
    }

    void pictureFileNameStaysInTheDataFolder() {
        QFETCH(QString, record);
        QFETCH(QString, picked);
        QFETCH(QString, expected);
        QCOMPARE(PictureFileName(record, picked), expected);
    }

    void recordNamedParentImportsIntoTheDataFolder() {
        const QString data = m_folder + "data/";
        QDir().mkpath(data);
        const QString source = m_folder + "picked/Foto.jpg";
        writeJpeg(source, ramp(400, 300));
        QCOMPARE(ImportPicture(source, data + PictureFileName("../x", source), 200), ImportResult::Shrunk);
        QCOMPARE(QDir(data).entryList(QDir::Files), QStringList{"___x.jpg"});
        QVERIFY(!QFileInfo::exists(m_folder + "x.jpg"));
    }

    void resamplingToTheSameSizeCopies() {
        const Bitmap24 source = ramp(37, 23);
        Bitmap24 target(37, 23);
        ResampleBilinear(source, target);
        QVERIFY(target.samePixels(source));
    }

    void resampleHandComputed_data() {
        QTest::addColumn<Bitmap24>("source");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QList<int>>("expected");
        // sx = round(65536 / 3) = 21845; the weights of the second row add one
        // (65537 in all), so 255 * 21845 >> 16 gives 84, not the 85 of exact arithmetic.
        QTest::newRow("2 x 1 to 3 x 1") << pixelsOf({{0, 255, 100, 255, 0, 200}}) << 3 << 1
                                        << QList<int>{0, 255, 100, 84, 170, 133, 170, 85, 166};
        QTest::newRow("1 x 2 to 1 x 3") << pixelsOf({{0, 10, 255}, {255, 250, 0}}) << 1 << 3
                                        << QList<int>{0, 10, 255, 85, 90, 170, 170, 170, 85};
        // sx = sy = 65536: every target pixel lands on a source pixel, and row
        // B's weight of 1 is too small to show.
        QTest::newRow("3 x 3 to 2 x 2")
            << pixelsOf({{10, 20, 30, 40, 50, 60, 70, 80, 90},
                         {100, 110, 120, 130, 140, 150, 160, 170, 180},
                         {200, 210, 220, 230, 240, 250, 255, 255, 255}})
            << 2 << 2 << QList<int>{10, 20, 30, 40, 50, 60, 100, 110, 120, 130, 140, 150};
        QTest::newRow("1 x 1 to 2 x 2")
            << pixelsOf({{7, 8, 9}}) << 2 << 2 << QList<int>{7, 8, 9, 7, 8, 9, 7, 8, 9, 7, 8, 9};
    }

    void resampleHandComputed() {
        QFETCH(Bitmap24, source);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QList<int>, expected);
        Bitmap24 target(width, height);
        ResampleBilinear(source, target);
        QCOMPARE(bytesOf(target), expected);

        // Bottom-up bitmaps (negative row distance) give the same pixels.
        Bitmap24 flippedSource = source;
        flippedSource.flipStorage();
        QVERIFY(flippedSource.stride() < 0);
        Bitmap24 flippedTarget(width, height);
        flippedTarget.flipStorage();
        ResampleBilinear(flippedSource, flippedTarget);
        QCOMPARE(bytesOf(flippedTarget), expected);
    }

    void scaledHeight_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("target");
        QTest::addColumn<int>("expected");
        QTest::newRow("400 x 300") << 400 << 300 << 200 << 150;
        QTest::newRow("1000 x 333") << 1000 << 333 << 200 << 67;
        QTest::newRow("1.5 rounds to even 2") << 400 << 3 << 200 << 2;
        QTest::newRow("2.5 rounds to even 2") << 400 << 5 << 200 << 2;
        QTest::newRow("0.2 keeps one row") << 10000 << 10 << 200 << 1;
    }

    void scaledHeight() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, target);
        QFETCH(int, expected);
        QCOMPARE(ScaledHeight(width, height, target), expected);
    }

    void propertiesFit_data() {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("200 x 100") << QSize(200, 100) << QRect(4, 107, 169, 85);
        QTest::newRow("100 x 200") << QSize(100, 200) << QRect(47, 65, 84, 170);
        QTest::newRow("square") << QSize(500, 500) << QRect(4, 65, 169, 170);
        // 340 * 170 / 400 = 144.5, which rounds to even 144.
        QTest::newRow("half rounds to even") << QSize(400, 340) << QRect(4, 78, 169, 144);
        QTest::newRow("no picture") << QSize() << QRect();
    }

    void propertiesFit() {
        QFETCH(QSize, picture);
        QFETCH(QRect, expected);
        QCOMPARE(FitPropsPicture(picture), expected);
    }

    void mainWindowFit_data() {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<int>("memoHeight");
        QTest::addColumn<QRect>("expected");
        // box 290: 150 * 290 / 200 = 217.5 rounds to even 218.
        QTest::newRow("landscape") << QSize(200, 150) << 300 << QRect(6, 41, 289, 218);
        // 10 * 290 / 200 = 14.5 rounds to even 14.
        QTest::newRow("strip") << QSize(200, 10) << 300 << QRect(6, 143, 289, 14);
        QTest::newRow("portrait") << QSize(150, 200) << 210 << QRect(31, 5, 149, 200);
        QTest::newRow("tall strip keeps a column") << QSize(1, 10000) << 210 << QRect(105, 5, 1, 200);
    }

    void mainWindowFit() {
        QFETCH(QSize, picture);
        QFETCH(int, memoHeight);
        QFETCH(QRect, expected);
        const MainPictureFit fit = FitMainPicture(picture, memoHeight);
        QCOMPARE(fit.panel, QSize(memoHeight, memoHeight));
        QCOMPARE(fit.image, expected);
    }

    void editWindowFit_data() {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("panel");
        QTest::addColumn<int>("gridHeight");
        QTest::addColumn<QRect>("image");
        QTest::addColumn<QSize>("panelAfter");
        QTest::newRow("landscape uses the width and keeps it")
            << QSize(200, 150) << QSize(210, 300) << 400 << QRect(7, 128, 199, 149) << QSize(210, 400);
        // 150 * 390 / 200 = 292.5 rounds to even 292.
        QTest::newRow("portrait uses the grid's height and gives the width")
            << QSize(150, 200) << QSize(210, 300) << 400 << QRect(5, 8, 291, 389) << QSize(299, 400);
        // 150 * 190 / 200 = 142.5 rounds to even 142.
        QTest::newRow("a narrow panel widens to the floor")
            << QSize(200, 150) << QSize(116, 400) << 400 << QRect(7, 132, 189, 141) << QSize(200, 400);
        QTest::newRow("no picture") << QSize() << QSize(250, 300) << 400 << QRect() << QSize(250, 400);
    }

    void editWindowFit() {
        QFETCH(QSize, picture);
        QFETCH(QSize, panel);
        QFETCH(int, gridHeight);
        QFETCH(QRect, image);
        QFETCH(QSize, panelAfter);
        const EditPictureFit fit = FitEditPicture(picture, panel, gridHeight);
        QCOMPARE(fit.image, image);
        QCOMPARE(fit.panel, panelAfter);
        // Shown again in the panel it left, the picture stays where it is.
        const EditPictureFit again = FitEditPicture(picture, fit.panel, gridHeight);
        QCOMPARE(again.image, image);
        QCOMPARE(again.panel, panelAfter);
    }

    void pictureFilePath_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("existing") << "Anna.jpg"
                                  << "Anna.jpg";
        QTest::newRow("missing") << "Piet.jpg"
                                 << "Blanc.jpg";
        QTest::newRow("empty") << ""
                               << "Blanc.jpg";
        QTest::newRow("a folder") << "sub"
                                  << "Blanc.jpg";
    }

    void pictureFilePath() {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        WriteFileForTest(m_folder + "Anna.jpg", "x");
        QDir().mkpath(m_folder + "sub");
        QCOMPARE(PictureFilePath(m_folder, name), m_folder + expected);
    }
};

QTEST_GUILESS_MAIN(TestResize)
#include "tst_resize.moc"
