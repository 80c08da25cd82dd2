#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include <functional>

class QComboBox;
class QFrame;
class QLabel;
class QListWidget;
class QSplitter;
class QToolButton;
class TBoom;
class TClrBtn;

// The program's folder and file browser, one window reused by every caller:
// a drive list (the mount points), a folder tree, in file mode a file list
// with a count, the current path and a button that makes a new folder.
//
// Calling protocol: set BrowsePath, FileMode, the mask and the selection mode
// (SetMask, SetMultiple), the window title and Heading; clear Initialised;
// exec().  Accepted: BrowsePath holds the chosen folder (ending in "/") or
// folder + file name; rejected: BrowsePath is back at StartPath.
class TBrowseForm : public QDialog {
    Q_OBJECT

public:
    explicit TBrowseForm(QWidget* parent = nullptr);

    QString BrowsePath;
    QString StartPath;
    QString Heading;
    bool FileMode = false;
    bool Initialised = false;
    bool DoubleClicked = false;
    QString CurrentDrive; // the mount point of the tree
    int SplitterPos = 200;

    void SetMask(const QString& mask);
    QString Mask() const { return m_mask; }
    void SetMultiple(bool multiple);
    // The chosen files as full paths: the selected ones (several in a list
    // that allows it), in list order.
    QStringList SelectedFiles() const;

    TBoom* Boom() const { return m_boom; }

    // Where the platform message "Deze map bestaat reeds." goes (tests); an
    // empty function restores the message box.
    static void
    SetMessageBoxHandler(std::function<void(const QString& text, const QString& caption)> handler);

    void done(int result) override;

public Q_SLOTS:
    void FormPaint();
    void FormResize();
    void DriveComboBoxChange(int index);
    void DriveComboBoxDropDown();
    void BoomChange();
    void BoomMouseUp();
    void FileListBoxClick();
    void FileListBoxDblClick();
    void BtnOkClick();
    void BtnCancelClick();
    void SpeedNewClick();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void readGeometry();
    void writeGeometry();
    void layoutBoomPanel();
    void showFiles(const QString& folder);
    void refreshCount();
    void labelDrives(bool dropDown);
    void selectDrive(const QString& mountPoint);
    QString currentFileName() const;

    QFrame* m_panelTop;
    QLabel* m_labelHeading;
    QSplitter* m_splitter;
    QWidget* m_panelBoom;
    QComboBox* m_driveComboBox;
    QToolButton* m_speedNew;
    TBoom* m_boom;
    QListWidget* m_fileListBox;
    QFrame* m_panelBottom;
    QLabel* m_panelDirectory;
    QLabel* m_labelCount;
    TClrBtn* m_btnOk;
    TClrBtn* m_btnCancel;
    QString m_mask;
    bool m_multiple = false;
};
