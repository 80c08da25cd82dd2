#include "records/Notify.h"

#include "kit/Support.h"
#include "records/Reminders.h"
#include "settings/Working.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QUrl>
#include <QWidget>

namespace {
const QString desktopId = QStringLiteral("nl.brolt.Brolt");
const QString defaultAction = QStringLiteral("default");
int callTimeoutMs = 3000;
} // namespace

NotificationsProxy::NotificationsProxy(const QDBusConnection& connection, QObject* parent)
    : QDBusAbstractInterface(QStringLiteral("org.freedesktop.Notifications"),
                             QStringLiteral("/org/freedesktop/Notifications"),
                             "org.freedesktop.Notifications", connection, parent) {}

DesktopNotifier::DesktopNotifier(QObject* parent) : QObject(parent) {}

void DesktopNotifier::setCallTimeoutForTest(int milliseconds) {
    callTimeoutMs = milliseconds;
}

bool DesktopNotifier::show(const DesktopNote& note, QWidget* window) {
    m_note = note;
    m_window = window;
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        fail(QStringLiteral("geen sessiebus"));
        return false;
    }
    delete m_proxy;
    m_proxy = new NotificationsProxy(bus, this);
    m_proxy->setTimeout(callTimeoutMs);
    connect(m_proxy, &NotificationsProxy::ActionInvoked, this, &DesktopNotifier::actionInvoked);

    // The capabilities first: they say whether the body is read as markup,
    // and an answer at all says that there is a service to show the note.
    auto* watcher = new QDBusPendingCallWatcher(m_proxy->asyncCall(QStringLiteral("GetCapabilities")), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<QStringList> reply = *call;
        if (reply.isError())
            fail(reply.error().message());
        else
            capabilitiesKnown(reply.value());
    });
    return true;
}

void DesktopNotifier::capabilitiesKnown(const QStringList& capabilities) {
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), desktopId);
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(1));
    QString icon = desktopId;
    if (!m_note.picture.isEmpty()) {
        icon = QUrl::fromLocalFile(m_note.picture).toString();
        hints.insert(QStringLiteral("image-path"), icon);
    }
    const bool markup = capabilities.contains(QLatin1String("body-markup"));
    const QDBusPendingCall pending = m_proxy->asyncCall(
        QStringLiteral("Notify"), QStringLiteral("Brolt"), uint(0), icon, m_note.summary,
        NoteBody(m_note, markup), QStringList{defaultAction, QStringLiteral("Toon Brolt")}, hints, int(-1));
    auto* watcher = new QDBusPendingCallWatcher(pending, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<uint> reply = *call;
        if (reply.isError()) {
            fail(reply.error().message());
            return;
        }
        m_id = reply.value();
        Q_EMIT shown(m_id);
    });
}

void DesktopNotifier::actionInvoked(uint id, const QString& actionKey) {
    // The service tells every client about every notification: only ours counts.
    if (m_id == 0 || id != m_id || actionKey != defaultAction || !m_window)
        return;
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    Q_EMIT activated();
}

void DesktopNotifier::fail(const QString& why) {
    Q_EMIT failed(why);
}

void NotifyDueReminders(const Reminders& reminders, const QString& dataFolder, QWidget* mainWindow) {
    const WorkingSettings& w = Working();
    if (!w.automaticMode || !w.meldingenAan)
        return;
    QObject* owner = mainWindow ? static_cast<QObject*>(mainWindow) : QCoreApplication::instance();
    if (!owner || owner->findChild<DesktopNotifier*>(QString(), Qt::FindDirectChildrenOnly))
        return; // once a run: later compositions are refreshes of the same morning
    auto* notifier = new DesktopNotifier(owner);
    const DesktopNote note = DueNote(reminders, dataFolder);
    if (!note.isEmpty())
        notifier->show(note, mainWindow);
}

QIcon ProgramIcon() {
    QIcon icon;
    for (const int size : {48, 256}) {
        const QString file = ProgramFolder() + QStringLiteral("nl.brolt.Brolt-") + QString::number(size) +
                             QStringLiteral(".png");
        if (QFileInfo::exists(file))
            icon.addFile(file, QSize(size, size));
    }
    if (icon.isNull())
        icon = QIcon::fromTheme(desktopId);
    return icon;
}

void SetUpDesktopIdentity() {
    QGuiApplication::setDesktopFileName(desktopId);
    QApplication::setWindowIcon(ProgramIcon());
}
