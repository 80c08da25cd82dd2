#pragma once

#include "records/DataFile.h"

#include <QDialog>

#include <functional>

class QLabel;
class TClrBtn;

// What the backup and the restore window share: a heading, the folder in
// question, "OK" and "Annuleren", not modal, placed over the main window.
class TBackupForm : public QDialog {
    Q_OBJECT
public:
    // The main window's frame: the window and its reports are shown over it
    // (the parent's frame when unset).
    std::function<QRect()> mainRect;

protected:
    TBackupForm(DataFile& data, const QString& objectName, const QString& title, const QString& heading,
                QWidget* parent);

    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    QRect callerRect() const;

    DataFile& m_data;
    QLabel* m_label1;
    QLabel* m_labelPath;
    TClrBtn* m_btnOK;
    TClrBtn* m_btnCancel;
};

// Places a backup or restore window: centred over `over`, kept above the
// screen's bottom (35 pixels spare) and never above its top, "OK" ending 10
// pixels left of the middle and the cancel button starting 10 pixels right of it.
void PlaceBackupWindow(QWidget* window, const QRect& over, QWidget* label, QWidget* ok, QWidget* cancel);
