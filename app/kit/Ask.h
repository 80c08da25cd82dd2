#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QRect>

#include <optional>

class QLabel;
class TClrBtn;

// The program's one-line text question: a prompt, a field, "OK" and "Annuleren".
class TAskDlg : public QDialog {
    Q_OBJECT

public:
    explicit TAskDlg(QWidget* parent = nullptr);

    // Asks for a text centred on `caller`; `text` is the field's start and,
    // on return, its content whichever button ended the question.  Returns
    // true when "OK" was pressed.
    bool AskText(const QRect& caller, QString& text, const QString& prompt, const QString& title,
                 QLineEdit::EchoMode echo = QLineEdit::Normal);

    // For unattended runs: the next time the window shows, it puts `text` in
    // the field (when given) and presses "OK" (ok) or "Annuleren".
    void answerNext(bool ok, std::optional<QString> text = std::nullopt) {
        m_nextAnswer = Pending{ok, std::move(text)};
    }

    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BtnOKClick();
    void BtnCancelClick();

    struct Pending {
        bool ok;
        std::optional<QString> text;
    };
    QLabel* m_label;
    QLineEdit* m_edit;
    TClrBtn* m_btnOK;
    TClrBtn* m_btnCancel;
    bool m_okPressed = false;
    std::optional<Pending> m_nextAnswer;
};
