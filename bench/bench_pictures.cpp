// Times the picture work: importing a 4000 x 3000 camera photo (decode,
// shrink to width 200, encode at quality 75) and showing a picture scaled for
// the main window's picture panel.  Prints the median of many runs.
#include "Median.h"
#include "lists/Resize.h"
#include "lists/ShowPicture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// A photo-like picture: smooth gradients with some texture, so the encoder
// and decoder do realistic work.
Bitmap24 photo(int width, int height) {
    Bitmap24 b(width, height);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = b.row(y);
        for (int x = 0; x < width; ++x, p += 3) {
            p[0] = std::uint8_t(x * 255 / width);
            p[1] = std::uint8_t(y * 255 / height);
            p[2] = std::uint8_t(((x / 7) ^ (y / 5)) * 3);
        }
    }
    return b;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const int runs =
        qEnvironmentVariableIntValue("BENCH_RUNS") > 0 ? qEnvironmentVariableIntValue("BENCH_RUNS") : 21;
    QTemporaryDir dir;
    const QString folder = dir.path() + "/";
    const QString camera = folder + "camera.jpg";
    {
        QFile f(camera);
        if (!f.open(QIODevice::WriteOnly) || f.write(EncodeJpeg(photo(4000, 3000), 92)) <= 0)
            return 1;
    }
    QFile::copy(camera, folder + "Blanc.jpg");

    const double import = MedianMs(runs, [&] { ImportPicture(camera, folder + "Anna.jpg", 200); });
    std::printf("import 4000 x 3000 JPEG to width 200:    %7.1f ms\n", import);

    QWidget window;
    window.resize(1000, 430);
    QWidget panel(&window);
    TPictureImage image(&panel);
    // Alternate two files so every run decodes afresh.
    QFile::copy(folder + "Anna.jpg", folder + "Kees.jpg");
    int turn = 0;
    const double imported = MedianMs(
        runs, [&] { ShowPictureMain(&image, &panel, 350, folder, ++turn % 2 ? "Anna.jpg" : "Kees.jpg"); });
    std::printf("show an imported picture, main window:   %7.1f ms\n", imported);
    QFile::copy(camera, folder + "Groot.jpg");
    const double large = MedianMs(
        runs, [&] { ShowPictureMain(&image, &panel, 350, folder, ++turn % 2 ? "camera.jpg" : "Groot.jpg"); });
    std::printf("show a 4000 x 3000 photo, main window:   %7.1f ms\n", large);
    const double same = MedianMs(runs, [&] { ShowPictureMain(&image, &panel, 350, folder, "Anna.jpg"); });
    std::printf("show the same picture again (layout):    %7.1f ms\n", same);
    return 0;
}
