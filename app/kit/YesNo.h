#pragma once

#include <QDialog>
#include <QRect>

#include <optional>

class QFrame;
class QTextEdit;
class TClrBtn;

// The program's question: a modal window with "Ja", "Nee" and an optional
// third button, sized to its text.  Created once and reused for every
// question; within one run it never becomes narrower than it was before.
class TYesNoDlg : public QDialog {
    Q_OBJECT

public:
    enum class Answer { Yes, No, Cancel };

    explicit TYesNoDlg(QWidget* parent = nullptr);

    // Asks `message` (pieces separated by CR, CR LF or LF are lines) centred
    // on `caller`.  The third button shows when `cancel` is true on entry;
    // afterwards `cancel` is true exactly when it was pressed.  Returns true
    // for the yes button.  An empty `noCaption` hides "Nee": a message.
    bool AskYesNo(const QRect& caller, bool& cancel, bool defaultAnswer, const QString& yesCaption,
                  const QString& noCaption, const QString& cancelCaption, const QString& message,
                  const QString& title);

    // For unattended runs: the next time the window shows, it presses this
    // button itself.
    void answerNext(Answer answer) { m_nextAnswer = answer; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormPaint();
    void BtnYesClick();
    void BtnNoClick();
    void BtnCancelClick();
    void reject() override;

    QFrame* m_panel;
    QTextEdit* m_memo;
    TClrBtn* m_btnYes;
    TClrBtn* m_btnNo;
    TClrBtn* m_btnCancel;
    bool m_answer = false;
    bool m_cancelState = false;
    bool m_defaultAnswer = false;
    bool m_firstPaintDone = false;
    QRect m_caller;
    std::optional<Answer> m_nextAnswer;
};
