#pragma once

#include "maintenance/BackupForm.h"

#include <QStringList>

class QListWidget;

// Making a backup: the folder browser picks where, the window (not modal)
// shows the dated target folder, and "OK" copies the newer data files,
// pictures and logs there with a report and the listing "Brolt.lst".
// Created hidden once; StartBackup() runs the menu item "&Maak Backup".
class TSchrijfBackupForm : public TBackupForm {
    Q_OBJECT
public:
    explicit TSchrijfBackupForm(DataFile& data, QWidget* parent = nullptr);

    // Lets the user choose the backup location; on success shows the window.
    // False when the browser was cancelled.
    bool StartBackup();
    // The target folder of the backup being made.
    QString target() const { return m_target; }
    QListWidget* messList() const { return m_messList; }
    // The source paths the last copy step copied.
    const QStringList& copiedFiles() const { return m_copied; }

public Q_SLOTS:
    void BtnOKClick();
    void BtnCancelClick();

private:
    void SchrijfBackup();

    QListWidget* m_messList;
    QString m_target;
    QStringList m_copied;
};
