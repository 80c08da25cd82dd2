#include "maintenance/BackupForm.h"

#include "kit/ClrBtn.h"
#include "kit/Desktop.h"

#include <QLabel>
#include <QScreen>

void PlaceBackupWindow(QWidget* window, const QRect& over, QWidget* label, QWidget* ok, QWidget* cancel) {
    const int w = window->width(), h = window->height();
    const QScreen* s = window->screen();
    const QRect screen = s ? s->availableGeometry() : QRect(0, 0, 1920, 1080);
    int left = window->x(), top = window->y();
    if (over.isValid()) {
        left = over.left() + over.width() / 2 - w / 2;
        top = over.top() + over.height() / 2 - h / 2;
    }
    if (top + h > screen.height())
        top = screen.height() - h - 35;
    top = qMax(0, top);
    const int middle = w / 2;
    ok->move(middle - 10 - ok->width(), ok->y());
    cancel->move(middle + 10, cancel->y());
    label->setGeometry(0, label->y(), w, label->height());
    left = qMin(left, screen.right() + 1 - w);
    top = qMin(top, screen.bottom() + 1 - h);
    window->move(qMax(0, left), qMax(0, top));
}

TBackupForm::TBackupForm(DataFile& data, const QString& objectName, const QString& title,
                         const QString& heading, QWidget* parent)
    : QDialog(parent), m_data(data) {
    setObjectName(objectName);
    setWindowTitle(title);
    setModal(false);
    SetKitBackground(this, KitColor::Window);
    resize(500, 180);

    m_label1 = new QLabel(heading, this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setGeometry(0, 15, 500, 20);
    m_label1->setAlignment(Qt::AlignHCenter);
    m_labelPath = new QLabel(this);
    m_labelPath->setObjectName(QStringLiteral("LabelPath"));
    m_labelPath->setGeometry(0, 45, 500, 40);
    m_labelPath->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_labelPath->setWordWrap(true);
    m_btnOK = new TClrBtn(QStringLiteral("OK"), this);
    m_btnOK->setObjectName(QStringLiteral("BtnOK"));
    m_btnOK->setGeometry(140, 120, 100, 30);
    m_btnOK->setDefault(true);
    m_btnCancel = new TClrBtn(QStringLiteral("Annuleren"), this);
    m_btnCancel->setObjectName(QStringLiteral("BtnCancel"));
    m_btnCancel->setGeometry(260, 120, 100, 30);
    for (TClrBtn* button : {m_btnOK, m_btnCancel})
        button->useKitColors();
    ScaleFixedLayout(this);
}

QRect TBackupForm::callerRect() const {
    if (mainRect)
        return mainRect();
    return parentWidget() ? parentWidget()->frameGeometry() : QRect();
}

void TBackupForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    PlaceBackupWindow(this, callerRect(), m_labelPath, m_btnOK, m_btnCancel);
    raise();
}

void TBackupForm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    PlaceBackupWindow(this, callerRect(), m_labelPath, m_btnOK, m_btnCancel);
}
