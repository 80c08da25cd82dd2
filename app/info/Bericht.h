#pragma once

#include <QDialog>
#include <QRect>

struct RtfDocument;
class QTextDocument;
class QTextEdit;
class TClrBtn;

// Fills `target` with the paragraphs and runs read from a rich-text file.
void RtfToDocument(const RtfDocument& source, QTextDocument* target);

// The news window: "Bericht.rtf" from the program folder, shown once after the
// program has been updated.  Creating it settles the "Versie" setting.
class TBerichtForm : public QDialog {
    Q_OBJECT

public:
    explicit TBerichtForm(QWidget* parent = nullptr);

    // The label the previous run stored ("versie 2.60d"), empty at the first start.
    QString storedVersionLabel() const { return m_storedLabel; }
    bool newsDue() const;

    // Shows the news modally, centred on `mainWindow`, when the previous run
    // was an older version.  Returns whether it was shown.
    bool ShowNewsIfDue(const QRect& mainWindow);
    // Shows the news modally, centred on `mainWindow`.
    void ShowNews(const QRect& mainWindow);

    // The file read at the first showing; by default "Bericht.rtf" in the program folder.
    void setFileName(const QString& path) { m_fileName = path; }
    QString fileName() const { return m_fileName; }
    // The pause after every attempt to read the file (100 ms); tests shorten it.
    static void setRetryPause(int milliseconds);
    // For unattended runs: the next time the window shows, it presses "OK" itself.
    void closeNextShow() { m_closeNextShow = true; }
    // How many attempts the last load took.
    int loadAttempts() const { return m_loadAttempts; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow(const QRect& mainWindow);
    bool LoadNews();
    void BtnOKClick();

    QTextEdit* m_richEdit;
    TClrBtn* m_btnOK;
    QString m_storedLabel;
    QString m_fileName;
    bool m_firstShowDone = false;
    bool m_closeNextShow = false;
    int m_loadAttempts = 0;
};
