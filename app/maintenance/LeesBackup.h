#pragma once

#include "records/DataFile.h"

#include <QDialog>
#include <QStringList>

#include <functional>

class QLabel;
class TClrBtn;

// Restoring files from a backup: the browser picks files (several at once),
// the window (not modal) shows their folder, and "OK" copies them over the
// data folder's files, reports them and has the data file read again.
// Created hidden once; StartRestore() runs the menu item "&Lees Backup".
class TLeesBackupForm : public QDialog {
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

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QRect callerRect() const;

    DataFile& m_data;
    QLabel* m_label1;
    QLabel* m_labelPath;
    TClrBtn* m_btnOK;
    TClrBtn* m_btnCancel;
    QStringList m_files;
    bool m_restored = false;
};
