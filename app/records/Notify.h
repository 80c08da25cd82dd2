#pragma once

#include "records/NotifyText.h"

#include <QDBusAbstractInterface>
#include <QIcon>
#include <QObject>
#include <QPointer>

struct Reminders;
class QWidget;

// The freedesktop notification service as far as Brolt uses it.  Its D-Bus
// signals arrive as the Qt signals below (QDBusAbstractInterface relays every
// signal whose name and arguments match), so they connect like any other.
class NotificationsProxy : public QDBusAbstractInterface {
    Q_OBJECT

public:
    explicit NotificationsProxy(const QDBusConnection& connection, QObject* parent = nullptr);

Q_SIGNALS:
    void ActionInvoked(uint id, const QString& actionKey);
    void NotificationClosed(uint id, uint reason);
};

// One desktop notification and what clicking it does.  Everything goes over
// the session bus asynchronously with a short timeout: without a bus or a
// notification service the program carries on as if nothing was asked.
class DesktopNotifier : public QObject {
    Q_OBJECT

public:
    explicit DesktopNotifier(QObject* parent = nullptr);

    // Sends `note`; clicking the notification raises `window`.  False, at
    // once, when there is no session bus; otherwise shown() or failed() follows.
    bool show(const DesktopNote& note, QWidget* window);
    uint notificationId() const { return m_id; }

    // Test seam: how long a call to the service may take (3000 ms by default).
    static void setCallTimeoutForTest(int milliseconds);

Q_SIGNALS:
    void shown(uint id);
    void failed(const QString& why);
    void activated();

private:
    void capabilitiesKnown(const QStringList& capabilities);
    void actionInvoked(uint id, const QString& actionKey);
    void fail(const QString& why);

    NotificationsProxy* m_proxy = nullptr;
    DesktopNote m_note;
    QPointer<QWidget> m_window;
    uint m_id = 0;
};

// Notifies the lines of the first composition that fall on today or
// tomorrow, once a run: only in automatic mode and with "Meldingen op het
// bureaublad" on.  Clicking the notification raises `mainWindow`, which also
// owns the notifier.  Returns at once; the answer of the service is awaited
// in the event loop.
void NotifyDueReminders(const Reminders& reminders, const QString& dataFolder, QWidget* mainWindow);

// The program's icon from the program folder (48 and 256 pixels), the icon
// theme's "nl.brolt.Brolt" when those files are missing.
QIcon ProgramIcon();

// Tells the desktop which entry the windows belong to (the Wayland app id)
// and gives every window the program's icon.  Call once, after QApplication.
void SetUpDesktopIdentity();
