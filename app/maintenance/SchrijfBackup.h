#pragma once

#include "records/DataFile.h"

#include <QDialog>
#include <QStringList>

#include <functional>

class QLabel;
class QListWidget;
class TClrBtn;

// Making a backup: the folder browser picks where, the window (not modal)
// shows the dated target folder, and "OK" copies the newer data files,
// pictures and logs there with a report and the listing "Brolt.lst".
// Created hidden once; StartBackup() runs the menu item "&Maak Backup".
class TSchrijfBackupForm : public QDialog {
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

    // The main window's frame: the reports are shown over it.
    std::function<QRect()> mainRect;

public Q_SLOTS:
    void BtnOKClick();
    void BtnCancelClick();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void SchrijfBackup();
    QRect callerRect() const;

    DataFile& m_data;
    QLabel* m_label1;
    QLabel* m_labelPath;
    TClrBtn* m_btnOK;
    TClrBtn* m_btnCancel;
    QListWidget* m_messList;
    QString m_target;
    QStringList m_copied;
};

// Places a backup or restore window: centred over `over`, kept above the
// screen's bottom (35 pixels spare) and never above its top, "OK" ending 10
// pixels left of the middle and the cancel button starting 10 pixels right of it.
void PlaceBackupWindow(QWidget* window, const QRect& over, QWidget* label, QWidget* ok, QWidget* cancel);
