#include "WidgetUi.h"

#include "kit/Ask.h"
#include "kit/Browse.h"
#include "kit/MessForm.h"
#include "kit/PlayMusic.h"
#include "kit/YesNo.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QUrl>

WidgetUi::WidgetUi()
    : m_yesNo(std::make_unique<TYesNoDlg>()), m_ask(std::make_unique<TAskDlg>()),
      m_message(std::make_unique<TMessageForm>()) {}

WidgetUi::~WidgetUi() = default;

namespace {
// A question asked during busy work shows the normal cursor: the user has
// to point and click.
class NormalCursorWhileAsking {
public:
    NormalCursorWhileAsking() : m_busy(QGuiApplication::overrideCursor() != nullptr) {
        if (m_busy)
            QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ~NormalCursorWhileAsking() {
        if (m_busy)
            QGuiApplication::restoreOverrideCursor();
    }
    NormalCursorWhileAsking(const NormalCursorWhileAsking&) = delete;
    NormalCursorWhileAsking& operator=(const NormalCursorWhileAsking&) = delete;

private:
    bool m_busy;
};
} // namespace

QRect WidgetUi::callerRect(const QRect& given) const {
    if (!given.isEmpty())
        return given;
    if (m_mainWindow)
        return m_mainWindow->frameGeometry();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        return screen->geometry();
    return {};
}

bool WidgetUi::askYesNo(bool& cancel, bool defaultAnswer, const QString& yesCaption, const QString& noCaption,
                        const QString& cancelCaption, const QString& message, const QString& title,
                        const QRect& caller) {
    const NormalCursorWhileAsking normal;
    return m_yesNo->AskYesNo(callerRect(caller), cancel, defaultAnswer, yesCaption, noCaption, cancelCaption,
                             message, title);
}

bool WidgetUi::askText(QString& text, const QString& prompt, const QString& title, const QRect& caller) {
    const NormalCursorWhileAsking normal;
    return m_ask->AskText(callerRect(caller), text, prompt, title);
}

bool WidgetUi::askPassword(QString& text, const QString& prompt, const QString& title, const QRect& caller) {
    const NormalCursorWhileAsking normal;
    return m_ask->AskText(callerRect(caller), text, prompt, title, QLineEdit::Password);
}

void WidgetUi::showTimedMessage(int durationMs, const QString& firstLine, const QString& secondLine,
                                const QRect& caller) {
    m_message->ShowTimedMessage(callerRect(caller), durationMs, firstLine, secondLine);
}

void WidgetUi::closeTimedMessage() {
    m_message->CloseMessage();
}

TBrowseForm* WidgetUi::browseForm() {
    if (!m_browse)
        m_browse = std::make_unique<TBrowseForm>();
    return m_browse.get();
}

bool WidgetUi::browse(const BrowseRequest& request, QString& path, QStringList* files) {
    const NormalCursorWhileAsking normal;
    TBrowseForm* form = browseForm();
    form->setWindowTitle(request.caption);
    form->Heading = request.heading;
    form->FileMode = !request.mask.isEmpty();
    form->SetMask(request.mask);
    form->SetMultiple(request.multiple);
    form->BrowsePath = request.startPath;
    form->Initialised = false;
    const bool ok = form->exec() != QDialog::Rejected;
    path = form->BrowsePath;
    if (!ok)
        return false;
    if (files)
        *files = form->SelectedFiles();
    // A caller that wants one file gets no folder instead: "Ok" on an empty
    // file list would otherwise hand it a folder to open as a file.
    if (form->FileMode && !request.multiple && !QFileInfo(path).isFile())
        return false;
    return true;
}

void WidgetUi::playSystemSound() {
    PlaySystemSound();
}

bool WidgetUi::playMelody(const QString& file) {
    return PlayMelodyFile(file);
}

void WidgetUi::tone(int hertz, int milliseconds) {
    PlayTone(hertz, milliseconds);
}

bool WidgetUi::openUrl(const QString& url) {
    QUrl target(url);
    if (target.scheme().isEmpty())
        target = QUrl::fromLocalFile(url); // a bare path is a file to open
    return QDesktopServices::openUrl(target);
}

void WidgetUi::processEvents() {
    QCoreApplication::processEvents();
}

void WidgetUi::setBusy(bool busy) {
    if (busy)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QGuiApplication::restoreOverrideCursor();
}
