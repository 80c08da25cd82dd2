#include "maintenance/SchrijfBackup.h"

#include "Ui.h"
#include "kit/Clock.h"
#include "kit/ClrBtn.h"
#include "kit/Log.h"
#include "maintenance/Backups.h"
#include "settings/Store.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QScreen>

namespace {

QString storedTarget() {
    QString target =
        QFileInfo(Backups::StoredLocation(Store::readText(Keys::BackupPathRead))).absoluteFilePath();
    if (!target.endsWith(u'/'))
        target += u'/';
    return target;
}

} // namespace

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

TSchrijfBackupForm::TSchrijfBackupForm(DataFile& data, QWidget* parent) : QDialog(parent), m_data(data) {
    setObjectName(QStringLiteral("SchrijfBackupForm"));
    setWindowTitle(Backups::ProgramName + QStringLiteral(" - Maken van Backup"));
    setModal(false);
    SetKitBackground(this, KitColor::Window);
    resize(500, 180);

    m_label1 = new QLabel(QStringLiteral("De backup wordt in de volgende map geschreven:"), this);
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
    m_btnCancel = new TClrBtn(this);
    m_btnCancel->setObjectName(QStringLiteral("BtnCancel"));
    m_btnCancel->setText(QStringLiteral("Annuleren"));
    m_btnCancel->setGeometry(260, 120, 100, 30);
    for (TClrBtn* button : {m_btnOK, m_btnCancel})
        button->useKitColors();
    m_messList = new QListWidget(this);
    m_messList->setObjectName(QStringLiteral("MessList"));
    m_messList->hide();

    connect(m_btnOK, &QPushButton::clicked, this, &TSchrijfBackupForm::BtnOKClick);
    connect(m_btnCancel, &QPushButton::clicked, this, &TSchrijfBackupForm::BtnCancelClick);
}

QRect TSchrijfBackupForm::callerRect() const {
    if (mainRect)
        return mainRect();
    return parentWidget() ? parentWidget()->frameGeometry() : QRect();
}

void TSchrijfBackupForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    PlaceBackupWindow(this, callerRect(), m_labelPath, m_btnOK, m_btnCancel);
    raise();
}

void TSchrijfBackupForm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    PlaceBackupWindow(this, callerRect(), m_labelPath, m_btnOK, m_btnCancel);
}

bool TSchrijfBackupForm::StartBackup() {
    LogScope log("SchrijfBackupForm", "StartBackup");
    // The date folder is always named year-month-day; the program's own date
    // notation is never touched for it.
    const QString start = Backups::BrowseStartFolder(Store::readText(Keys::BackupPathRead));
    m_labelPath->setText(start);
    Ui::BrowseRequest request;
    request.startPath = start;
    request.caption = Backups::ProgramName + QStringLiteral(" - Maak backup");
    request.heading = QStringLiteral("Selecteer de map en klik op OK,\nde huidige Datum wordt toegevoegd.");
    QString chosen;
    if (!Ui::instance().browse(request, chosen) || chosen.trimmed().isEmpty())
        return false;
    m_target = Backups::MakeTargetFolder(QDir::cleanPath(QFileInfo(chosen).absoluteFilePath()) + u'/',
                                         Clock::today());
    m_labelPath->setText(m_target);
    Store::writeText(QString::fromLatin1(Keys::BackupPathWrite.name), m_target);
    show();
    raise();
    activateWindow();
    return true;
}

void TSchrijfBackupForm::BtnOKClick() {
    LogScope log("SchrijfBackupForm", "BtnOKClick");
    SchrijfBackup();
    hide();
}

void TSchrijfBackupForm::BtnCancelClick() {
    LogScope log("SchrijfBackupForm", "BtnCancelClick");
    Ui::instance().showTimedMessage(10000, QStringLiteral("Er is geen backup gemaakt."), QString(),
                                    callerRect());
    hide();
}

void TSchrijfBackupForm::SchrijfBackup() {
    LogScope log("SchrijfBackupForm", "SchrijfBackup");
    m_messList->clear();
    m_copied.clear();
    m_target = storedTarget();
    const QString source = Backups::SourceFolder(Store::readText(Keys::NameOfFile), m_data.dataFolder);
    QStringList report;
    Backups::CopyBackupFiles(source, m_target, report, m_copied);
    m_messList->addItems(report);

    const Backups::Report text = Backups::BackupReport(report, m_target);
    Ui::instance().showTimedMessage(10000, text.heading, text.body, callerRect());

    if (m_copied.isEmpty())
        return;
    if (!Backups::WriteListing(m_target, m_copied)) {
        if (LogOn)
            WriteLog(QStringLiteral("SchrijfBackupForm.SchrijfBackup - Line 332"));
        if (!Backups::WriteListing(m_target, m_copied))
            Ui::instance().showTimedMessage(10000, QStringLiteral("I/O error"),
                                            m_target + Backups::ProgramName + QStringLiteral(".lst"),
                                            callerRect());
    }
}
