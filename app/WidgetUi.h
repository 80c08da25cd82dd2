#pragma once

#include "Ui.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class TAskDlg;
class TBrowseForm;
class TMessageForm;
class TYesNoDlg;

// The windows' side of the Ui seam: questions and notes go to the program's
// own dialogs, each created once and kept for the whole run.
class WidgetUi : public Ui {
public:
    WidgetUi();
    ~WidgetUi() override;

    // The window whose rectangle a call without one centres on.
    void setMainWindow(QWidget* window) { m_mainWindow = window; }
    QWidget* mainWindow() const { return m_mainWindow; }

    bool askYesNo(bool& cancel, bool defaultAnswer, const QString& yesCaption, const QString& noCaption,
                  const QString& cancelCaption, const QString& message, const QString& title,
                  const QRect& caller = {}) override;
    bool askPassword(QString& text, const QString& prompt, const QString& title,
                     const QRect& caller = {}) override;
    bool askText(QString& text, const QString& prompt, const QString& title,
                 const QRect& caller = {}) override;
    void showTimedMessage(int durationMs, const QString& firstLine, const QString& secondLine,
                          const QRect& caller = {}) override;
    void closeTimedMessage() override;
    bool browse(const BrowseRequest& request, QString& path, QStringList* files = nullptr) override;
    void playSystemSound() override;
    bool playMelody(const QString& file) override;
    void tone(int hertz, int milliseconds) override;
    bool openUrl(const QString& url) override;
    void processEvents() override;
    void setBusy(bool busy) override;

    TYesNoDlg* yesNoDlg() const { return m_yesNo.get(); }
    TAskDlg* askDlg() const { return m_ask.get(); }
    TMessageForm* messageForm() const { return m_message.get(); }
    // The folder and file browser, made on first use.
    TBrowseForm* browseForm();

    // The rectangle a dialog centres on: `given`, or the main window's when
    // `given` is empty, or the screen's when there is no main window.
    QRect callerRect(const QRect& given) const;

private:
    std::unique_ptr<TYesNoDlg> m_yesNo;
    std::unique_ptr<TAskDlg> m_ask;
    std::unique_ptr<TMessageForm> m_message;
    std::unique_ptr<TBrowseForm> m_browse;
    QPointer<QWidget> m_mainWindow;
};
