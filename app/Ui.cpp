#include "Ui.h"

Ui::~Ui() = default;

bool Ui::askYesNo(bool& cancel, bool defaultAnswer, const QString&, const QString&, const QString&,
                  const QString&, const QString&, const QRect&) {
    cancel = false;
    return defaultAnswer;
}

bool Ui::askText(QString&, const QString&, const QString&, const QRect&) {
    return false;
}

bool Ui::askPassword(QString&, const QString&, const QString&, const QRect&) {
    return false;
}

void Ui::showMessage(const QString& message, const QString& title, const QRect& caller) {
    bool cancel = false;
    askYesNo(cancel, true, QStringLiteral("OK"), QString(), QString(), message, title, caller);
}

void Ui::showTimedMessage(int, const QString&, const QString&, const QRect&) {}

void Ui::closeTimedMessage() {}

bool Ui::browse(const BrowseRequest&, QString&, QStringList*) {
    return false;
}

void Ui::playSystemSound() {}

bool Ui::playMelody(const QString&) {
    return true;
}

void Ui::tone(int, int) {}

bool Ui::openUrl(const QString&) {
    return false;
}

void Ui::processEvents() {}

void Ui::setBusy(bool) {}

namespace {
Ui silentUi;
Ui* current = &silentUi;
} // namespace

Ui& Ui::instance() {
    return *current;
}

void Ui::install(Ui* ui) {
    current = ui ? ui : &silentUi;
}
