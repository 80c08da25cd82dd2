#include "TestKit.h"
#include "kit/Log.h"
#include "lists/ShowPicture.h"

#include <QImage>
#include <QTest>

#include <memory>

namespace {

void writePicture(const QString& path, int width, int height, const char* format = "JPG",
                  QColor colour = QColor(200, 40, 40)) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QVERIFY(image.save(path, format));
}

} // namespace

class TestShowPicture : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_folder;
    std::unique_ptr<QWidget> m_window;
    TPictureImage* m_image = nullptr;
    QWidget* m_panel = nullptr;

private Q_SLOTS:
    void initTestCase() { m_home = std::make_unique<TempHome>(); }

    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_folder = m_dir->path() + "/";
        writePicture(m_folder + "Blanc.jpg", 120, 160, "JPG", Qt::white);
        m_window = std::make_unique<QWidget>();
        m_window->resize(800, 600);
        m_panel = new QWidget(m_window.get());
        m_image = new TPictureImage(m_panel);
        m_window->show();
    }

    void cleanup() {
        m_window.reset();
        LogOn = false;
    }

    void missingOrEmptyNameShowsBlanc_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing file") << "Piet.jpg";
        QTest::newRow("empty name") << "";
    }

    void missingOrEmptyNameShowsBlanc() {
        QFETCH(QString, name);
        FakeUi ui;
        QVERIFY(ShowPictureProps(m_image, m_folder, name));
        QCOMPARE(m_image->pictureFile(), m_folder + "Blanc.jpg");
        QCOMPARE(m_image->pictureSize(), QSize(120, 160));
        QVERIFY(ui.notes.isEmpty());
    }

    void bitmapAndPngPicturesShow_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("format");
        QTest::newRow("bmp") << "Kees.bmp" << QByteArray("BMP");
        QTest::newRow("png") << "Kees.png" << QByteArray("PNG");
    }

    void bitmapAndPngPicturesShow() {
        QFETCH(QString, name);
        QFETCH(QByteArray, format);
        FakeUi ui;
        writePicture(m_folder + name, 340, 170, format.constData(), QColor(0, 0, 255));
        QVERIFY(ShowPictureProps(m_image, m_folder, name));
        QCOMPARE(m_image->geometry(), QRect(4, 107, 169, 85));
        QCOMPARE(m_image->pixmap().toImage().pixelColor(80, 40), QColor(0, 0, 255));
    }

    void unreadablePictureKeepsThePreviousOne() {
        FakeUi ui;
        ResetLog(m_folder);
        LogOn = true;
        writePicture(m_folder + "Anna.jpg", 200, 100);
        QVERIFY(ShowPictureProps(m_image, m_folder, "Anna.jpg"));
        WriteFileForTest(m_folder + "Piet.jpg", "geen plaatje");
        m_image->hide();
        m_panel->setGeometry(10, 20, 300, 300);

        QVERIFY(!ShowPictureMain(m_image, m_panel, 300, m_folder, "Piet.jpg"));
        QCOMPARE(ui.notes.size(), 1);
        QCOMPARE(ui.notes[0].durationMs, 5000);
        QCOMPARE(ui.notes[0].first, m_folder + "Piet.jpg");
        QCOMPARE(ui.notes[0].second, QString("is geen geldig .jpg-bestand"));
        QVERIFY(ReadFileForTest(m_folder + "Log.txt").contains("EditForm.ShowPicture - LoadFromFile\r\n"));
        // The previous picture is fitted into the main window's box and shown again.
        QCOMPARE(m_image->pictureFile(), m_folder + "Anna.jpg");
        QCOMPARE(m_image->geometry(), QRect(6, 78, 289, 145));
        QVERIFY(m_image->isVisible());
    }

    void missingBlancLeavesAnEmptyImage() {
        FakeUi ui;
        QFile::remove(m_folder + "Blanc.jpg");
        QVERIFY(!ShowPictureMain(m_image, m_panel, 200, m_folder, ""));
        QVERIFY(m_image->pixmap().isNull());
        QVERIFY(!m_image->isVisible());
        QCOMPARE(ui.notes.size(), 1);
        QCOMPARE(ui.notes[0].first, m_folder + "Blanc.jpg");
        QVERIFY(!ShowPictureProps(m_image, m_folder, "Anna.jpg"));
        QVERIFY(!ShowPictureEdit(m_image, m_panel, 300, m_folder, ""));
    }

    void mainWindowMakesThePanelSquare() {
        FakeUi ui;
        writePicture(m_folder + "Anna.jpg", 200, 150);
        m_panel->setGeometry(500, 0, 201, 300);
        QVERIFY(ShowPictureMain(m_image, m_panel, 300, m_folder, "Anna.jpg"));
        QCOMPARE(m_panel->size(), QSize(300, 300));
        QCOMPARE(m_image->geometry(), QRect(6, 41, 289, 218));
        QVERIFY(m_image->isVisible());
    }

    void editWindowPanelTakesThePictureSize() {
        FakeUi ui;
        writePicture(m_folder + "Anna.jpg", 200, 150);
        writePicture(m_folder + "Kees.jpg", 150, 200);
        m_panel->setGeometry(500, 0, 210, 300);
        QVERIFY(ShowPictureEdit(m_image, m_panel, 400, m_folder, "Anna.jpg"));
        QCOMPARE(m_image->geometry(), QRect(7, 128, 199, 149));
        QCOMPARE(m_panel->size(), QSize(210, 400));
        QVERIFY(ShowPictureEdit(m_image, m_panel, 400, m_folder, "Kees.jpg"));
        QCOMPARE(m_image->geometry(), QRect(5, 8, 291, 389));
        QCOMPARE(m_panel->size(), QSize(299, 400));
    }

    void largePhotoIsDecodedAtTheDrawnSize() {
        FakeUi ui;
        writePicture(m_folder + "Groot.jpg", 4000, 3000);
        QVERIFY(ShowPictureMain(m_image, m_panel, 300, m_folder, "Groot.jpg"));
        QCOMPARE(m_image->pictureSize(), QSize(4000, 3000));
        QCOMPARE(m_image->pixmap().size(), m_image->size());
        QCOMPARE(m_image->pixmap().toImage().pixelColor(100, 100).red(), 200);
    }

    void changedFileIsReadAgain() {
        FakeUi ui;
        writePicture(m_folder + "Anna.jpg", 200, 100, "PNG", Qt::red);
        QVERIFY(ShowPictureProps(m_image, m_folder, "Anna.jpg"));
        writePicture(m_folder + "Anna.jpg", 100, 200, "PNG", Qt::green);
        QVERIFY(ShowPictureProps(m_image, m_folder, "Anna.jpg"));
        QCOMPARE(m_image->geometry(), QRect(47, 65, 84, 170));
        QCOMPARE(m_image->pixmap().toImage().pixelColor(40, 80), QColor(Qt::green));
    }
};

QTEST_MAIN(TestShowPicture)
#include "tst_showpicture.moc"
