#pragma once

#include <QDialog>
#include <QStringList>

class QFrame;
class QLabel;
class QPlainTextEdit;
class TClrBtn;

// The information window: program name, version, what the program is for,
// and the ways to reach the maker (mail, home page).
class TAboutForm : public QDialog {
    Q_OBJECT

public:
    static constexpr int ClientWidth = 425;
    static constexpr int ClientHeight = 285;

    // `mainWindow`: the window this one is centred on and whose caption it borrows.
    explicit TAboutForm(QWidget* mainWindow = nullptr);

    // The main window's "Over Brolt...": caption "Brolt - Informatie", shown
    // modally, centred on the main window.
    void AboutClick();

    // The maker's home page.
    static QString HomePageUrl();
    // The lines of the mail to the maker.
    QStringList mailLines() const;

public Q_SLOTS:
    void BtnMailClick();
    void BtnHomeClick();
    void BtnOKClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString mainCaption() const;

    QWidget* m_panelMain;
    QLabel* m_labelProgNam;
    QLabel* m_labelVersion;
    QFrame* m_bevel2;
    QLabel* m_label1;
    QLabel* m_label2;
    QPlainTextEdit* m_memoMail;
    TClrBtn* m_btnMail;
    TClrBtn* m_btnHome;
    TClrBtn* m_btnOK;
};
