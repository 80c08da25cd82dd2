#include "maintenance/SchrijfBackup.h"

#include "Ui.h"
#include "kit/Clock.h"
#include "kit/ClrBtn.h"
#include "kit/Log.h"
#include "kit/Store.h"
#include "maintenance/Backups.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>

namespace {

QString storedTarget() {
    QString target =
        QFileInfo(Backups::StoredLocation(Store::readText(Keys::BackupPathRead))).absoluteFilePath();
    if (!target.endsWith(u'/'))
        target += u'/';
    return target;
}

} // namespace

TSchrijfBackupForm::TSchrijfBackupForm(DataFile& data, QWidget* parent)
    : TBackupForm(data, QStringLiteral("SchrijfBackupForm"),
                  Backups::ProgramName + QStringLiteral(" - Maken van Backup"),
                  QStringLiteral("De backup wordt in de volgende map geschreven:"), parent) {
    m_messList = new QListWidget(this);
    m_messList->setObjectName(QStringLiteral("MessList"));
    m_messList->hide();

    connect(m_btnOK, &QPushButton::clicked, this, &TSchrijfBackupForm::BtnOKClick);
    connect(m_btnCancel, &QPushButton::clicked, this, &TSchrijfBackupForm::BtnCancelClick);
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
    {
        const BusyCursor busy;
        SchrijfBackup();
    }
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
