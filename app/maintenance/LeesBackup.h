#pragma once

#include "maintenance/BackupForm.h"

#include <QStringList>

#include <functional>

// Restoring files from a backup: the browser picks files (several at once),
// the window (not modal) shows their folder, and "OK" copies them over the
// data folder's files, reports them and has the data file read again.
// Created hidden once; StartRestore() runs the menu item "&Lees Backup".
class TLeesBackupForm : public TBackupForm {
    Q_OBJECT
public:
    explicit TLeesBackupForm(DataFile& data, QWidget* parent = nullptr);

    // Lets the user choose the files; on success shows the window.  False
    // when the browser was cancelled.
    bool StartRestore();
    bool restored() const { return m_restored; }
    const QStringList& chosenFiles() const { return m_files; }

    // After a restore that copied something the data file has been read
    // again; the main window re-lays itself out, disables its save button and
    // sets its update timer by the update-check preference.
    std::function<void()> afterRestore;

public Q_SLOTS:
    void BtnOKClick();
    void BtnCancelClick();

private:
    QStringList m_files;
    bool m_restored = false;
};
