#include "lists/ShowPicture.h"

#include "Ui.h"
#include "kit/Desktop.h"
#include "kit/Log.h"
#include "lists/Resize.h"

#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QPainter>

TPictureImage::TPictureImage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Image"));
    // A screen reader says what it is, a picture; its file tells whose.
    setAccessibleName(QStringLiteral("Foto"));
}

QSize TPictureImage::readPictureSize(const QString& file) {
    QImageReader reader(file);
    return reader.size();
}

bool TPictureImage::loadPicture(const QString& file, QSize drawSize) {
    const QFileInfo info(file);
    if (!info.isFile())
        return false;
    // The same file, unchanged, drawn at the same size: nothing to decode.
    if (file == m_file && info.lastModified() == m_fileTime && info.size() == m_fileBytes &&
        m_pixmap.size() == drawSize && !m_pixmap.isNull())
        return true;

    QImageReader reader(file);
    QSize own = reader.size();
    if (own.isValid() && drawSize.isValid() && drawSize.width() < own.width() &&
        drawSize.height() < own.height())
        reader.setScaledSize(drawSize); // decodes at a reduced scale where the format allows
    QImage picture = reader.read();
    if (picture.isNull())
        return false;
    if (!own.isValid())
        own = picture.size();
    if (drawSize.isValid() && !drawSize.isEmpty() && picture.size() != drawSize)
        picture = picture.scaled(drawSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    m_pixmap = QPixmap::fromImage(picture);
    m_pictureSize = own;
    m_file = file;
    m_fileTime = info.lastModified();
    m_fileBytes = info.size();
    update();
    return true;
}

void TPictureImage::paintEvent(QPaintEvent*) {
    if (m_pixmap.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect(), m_pixmap);
}

namespace {

// The file to show and its size, read from its header.
struct Loading {
    QString file;
    QSize size;
    bool readable = false;
};

Loading startLoading(const QString& dataFolder, const QString& pictureName) {
    Loading loading;
    loading.file = PictureFilePath(dataFolder, pictureName);
    loading.size = TPictureImage::readPictureSize(loading.file);
    loading.readable = loading.size.isValid() && !loading.size.isEmpty();
    return loading;
}

void reportFailure(TPictureImage* image, const QString& file) {
    WriteLog(QStringLiteral("EditForm.ShowPicture - LoadFromFile"));
    const QRect reference(image->parentWidget() ? image->parentWidget()->mapToGlobal(image->pos())
                                                : image->pos(),
                          image->size());
    Ui::instance().showTimedMessage(5000, file, QStringLiteral("is geen geldig .jpg-bestand"), reference);
}

// Loads the picture at its fitted size; on failure keeps the present one.
bool finishLoading(TPictureImage* image, const Loading& loading, QSize drawSize) {
    if (loading.readable && image->loadPicture(loading.file, drawSize))
        return true;
    reportFailure(image, loading.file);
    return false;
}

} // namespace

bool ShowPictureMain(TPictureImage* image, QWidget* panel, int memoHeight, const QString& dataFolder,
                     const QString& pictureName) {
    image->hide();
    const Loading loading = startLoading(dataFolder, pictureName);
    bool ok = false;
    if (loading.readable)
        ok = finishLoading(image, loading, FitMainPicture(loading.size, memoHeight).image.size());
    else
        reportFailure(image, loading.file);
    // On failure the present picture is fitted again, so the panel never stays empty.
    const MainPictureFit fit = FitMainPicture(image->pictureSize(), memoHeight);
    panel->resize(fit.panel);
    image->setGeometry(fit.image);
    if (!image->pixmap().isNull())
        image->show();
    return ok;
}

bool ShowPictureEdit(TPictureImage* image, QWidget* panel, int gridHeight, const QString& dataFolder,
                     const QString& pictureName) {
    image->hide();
    const Loading loading = startLoading(dataFolder, pictureName);
    const QSize panelBefore = panel->size();
    bool ok = false;
    if (loading.readable)
        ok =
            finishLoading(image, loading, FitEditPicture(loading.size, panelBefore, gridHeight).image.size());
    else
        reportFailure(image, loading.file);
    const EditPictureFit fit = FitEditPicture(image->pictureSize(), panelBefore, gridHeight);
    panel->resize(fit.panel);
    image->setGeometry(fit.image);
    if (!image->pixmap().isNull())
        image->show();
    return ok;
}

bool ShowPictureProps(TPictureImage* image, const QString& dataFolder, const QString& pictureName) {
    const Loading loading = startLoading(dataFolder, pictureName);
    bool ok = false;
    if (loading.readable)
        ok = finishLoading(image, loading, FitPropsPicture(loading.size).size());
    else
        reportFailure(image, loading.file);
    // The box keeps its size; it moves down with the labels above it when the
    // desktop font is larger than the design's.
    const QRect fit =
        FitPropsPicture(image->pictureSize()).translated(ScaledPixels(4) - 4, ScaledPixels(65) - 65);
    if (fit.isEmpty())
        image->setGeometry(image->x(), image->y(), 170, 170);
    else
        image->setGeometry(fit);
    return ok;
}
