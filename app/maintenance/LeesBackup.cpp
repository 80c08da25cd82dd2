#include "maintenance/LeesBackup.h"

#include "Ui.h"
#include "kit/ClrBtn.h"
#include "kit/Log.h"
#include "kit/Store.h"
#include "maintenance/Backups.h"
#include "records/CardLinks.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>

TLeesBackupForm::TLeesBackupForm(DataFile& data, QWidget* parent)
    : TBackupForm(data, QStringLiteral("LeesBackupForm"),
                  Backups::ProgramName + QStringLiteral(" - Herstellen van Backup"),
                  QStringLiteral("De Backup wordt uit de volgende map gelezen:"), parent) {
    connect(m_btnOK, &QPushButton::clicked, this, &TLeesBackupForm::BtnOKClick);
    connect(m_btnCancel, &QPushButton::clicked, this, &TLeesBackupForm::BtnCancelClick);
}

bool TLeesBackupForm::StartRestore() {
    LogScope log("LeesBackupForm", "StartRestore");
    Ui::BrowseRequest request;
    request.startPath = Backups::StoredLocation(Store::readText(Keys::BackupPathRead));
    m_labelPath->setText(request.startPath);
    request.caption = Backups::ProgramName + QStringLiteral(" - Lees backup");
    request.heading = QStringLiteral("Selecteer de juiste bestanden en klik op OK.");
    request.mask = QStringLiteral("*.*");
    request.multiple = true;
    QString path;
    QStringList files;
    if (!Ui::instance().browse(request, path, &files))
        return false;
    m_files = files;
    // The browser answers with its folder, or with a file when one was picked.
    const QFileInfo info(path);
    m_labelPath->setText(info.isFile() ? info.absolutePath() + u'/' : path);
    show();
    raise();
    activateWindow();
    return true;
}

void TLeesBackupForm::BtnOKClick() {
    LogScope log("LeesBackupForm", "BtnOKClick");
    m_restored = false;
    const QString dataFile = m_data.defaultFilePath();
    const QString dataFileName = QFileInfo(dataFile).fileName();
    bool touchesData = false;
    for (const QString& file : std::as_const(m_files))
        touchesData = touchesData || QFileInfo(file).fileName() == dataFileName;
    // The edits in hand belong to the data file about to be replaced: they are
    // saved or dropped first, as the user says; "Annuleren" restores nothing.
    if (touchesData && m_data.askSaveChanges(true)) {
        BtnCancelClick();
        return;
    }
    QString report, kept;
    {
        const BusyCursor busy;
        // The data file in use is kept under a name of its own; Brolt!.dat
        // and Brolt!!.dat stay as they are.  A data file that cannot be kept
        // is not replaced.
        QStringList files = m_files;
        if (touchesData && QFileInfo::exists(dataFile)) {
            kept = m_data.keepBeforeRestore();
            if (kept.isEmpty())
                files.removeIf(
                    [&](const QString& file) { return QFileInfo(file).fileName() == dataFileName; });
        }
        report = Backups::RestoreFiles(files, m_data.dataFolder, m_restored);
    }
    const bool dataRestored = report.contains(QStringLiteral("- ") + dataFile + QStringLiteral(",\r\n"));
    if (!kept.isEmpty() && !dataRestored)
        QFile::remove(kept); // the data file was not replaced after all
    else if (!kept.isEmpty())
        report += QStringLiteral("Het vervangen bestand is bewaard als:\r\n- ") + kept;
    const QRect over = frameGeometry();
    hide();
    // Only a restored data file replaces the records; pictures leave the edits alone.
    if (dataRestored) {
        m_data.unsavedChanges = false;
        m_data.saveEnabled = false;
        {
            const BusyCursor busy;
            m_data.read(m_data.dataFolder, Backups::ProgramName, m_data.extension);
            ForgetCardLinksNotFound(m_data.table, m_data.dataFolder,
                                    CardLinksFile(m_data.dataFolder, Backups::ProgramName), m_data.utf8);
        }
        m_data.saveEnabled = false;
    }
    // After the reading, which closes any note: the report stays to be read.
    if (m_restored)
        Ui::instance().showTimedMessage(
            10000, QStringLiteral("De volgende bestanden zijn hersteld:\r\n") + report, QString(), over);
    else
        Ui::instance().showTimedMessage(10000, QStringLiteral("Er zijn geen bestanden hersteld"), QString(),
                                        over);
    if (m_restored && afterRestore)
        afterRestore();
}

void TLeesBackupForm::BtnCancelClick() {
    LogScope log("LeesBackupForm", "BtnCancelClick");
    Ui::instance().showTimedMessage(10000, QStringLiteral("Er zijn geen bestanden hersteld"), QString(),
                                    frameGeometry());
    m_restored = false;
    hide();
}
