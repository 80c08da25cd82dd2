#pragma once

#include <QDateTime>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QWidget>

// The image control of the windows that show a record's picture.  It keeps
// the picture's own size for the fitting and draws the picture stretched to
// its own size, as the windows expect.  Pictures are decoded no larger than
// they are drawn, so a photo straight from a camera shows as fast as an
// imported one.
class TPictureImage : public QWidget {
    Q_OBJECT

public:
    explicit TPictureImage(QWidget* parent = nullptr);

    // The picture's own width and height; empty before a picture was loaded.
    QSize pictureSize() const { return m_pictureSize; }
    // The file the present picture came from.
    QString pictureFile() const { return m_file; }
    // The pixels as drawn (already at or near the image's size).
    const QPixmap& pixmap() const { return m_pixmap; }

    // The size `file` has, read from its header; invalid when it cannot be read.
    static QSize readPictureSize(const QString& file);
    // Loads `file` for drawing at `drawSize`.  On failure the present picture stays and false is returned.
    bool loadPicture(const QString& file, QSize drawSize);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_pixmap;
    QSize m_pictureSize;
    QString m_file;
    QDateTime m_fileTime;
    qint64 m_fileBytes = -1;
};

// Each window fits the picture of `pictureName` (relative to `dataFolder`,
// "Blanc.jpg" when empty or missing) in its own way.  A picture that cannot be
// shown writes "EditForm.ShowPicture - LoadFromFile" to the log and shows the
// file and "is geen geldig .jpg-bestand" for 5000 ms over the image; the
// previous picture then stays.  Each returns false in that case.

// Main window: `panel` becomes a square as high as the reminder text
// (`memoHeight`) and the image is centred in it.
bool ShowPictureMain(TPictureImage* image, QWidget* panel, int memoHeight, const QString& dataFolder,
                     const QString& pictureName);
// Edit window: fitted in the panel the previous picture left (FitEditPicture);
// the panel becomes as high as the grid.  The image's top centres it on the grid.
bool ShowPictureEdit(TPictureImage* image, QWidget* panel, int gridHeight, const QString& dataFolder,
                     const QString& pictureName);
// Properties window: a 170 x 170 box; the image stays visible throughout.
bool ShowPictureProps(TPictureImage* image, const QString& dataFolder, const QString& pictureName);
