#pragma once

#include <QDialog>
#include <QStringList>

class QPlainTextEdit;
class TClrBtn;

// The log viewer: shows the activity log and hands it to the mail program,
// addressed to the maker.  Shown modally from the main window's "Toon Log"
// and the options window's "Toon".
class TToonLogForm : public QDialog {
    Q_OBJECT
public:
    explicit TToonLogForm(QWidget* parent = nullptr);

    QPlainTextEdit* richEdit() const { return m_richEdit; }
    // The lines of the text area, in order.
    QStringList lines() const;

public Q_SLOTS:
    void FormShow();
    void BtnMailClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QPlainTextEdit* m_richEdit;
    TClrBtn* m_btnMail;
    TClrBtn* m_btnOK;
};
