// Desktop notifications against a fake notification service on a private
// session bus: the test starts itself again under dbus-run-session.
#include "TestKit.h"
#include "kit/Store.h"
#include "records/DataFile.h"
#include "records/Notify.h"
#include "records/Reminders.h"
#include "settings/Options.h"
#include "settings/Working.h"

#include <QApplication>
#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>
#include <QWidget>

#include <unistd.h>
#include <vector>

namespace {
const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const char* privateBusVariable = "BROLT_TEST_PRIVATE_BUS";
// Today in these tests: Sunday 10 May 2026.
const QDate today(2026, 5, 10);

// Records "date;name;kind;picture", composed as the main window composes them.
Reminders composed(const QStringList& lines) {
    return ComposedFor(lines, today);
}
} // namespace

// Records what a notification server is asked, and answers as one would.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Call {
        QString app;
        uint replaces = 0;
        QString icon, summary, body;
        QStringList actions;
        QVariantMap hints;
        int timeout = 0;
    };
    QList<Call> calls;
    QStringList capabilities{QStringLiteral("body"), QStringLiteral("body-markup"),
                             QStringLiteral("actions")};
    bool hang = false; // never answer
    uint nextId = 41;

public Q_SLOTS:
    QStringList GetCapabilities(const QDBusMessage& message) {
        if (hang)
            message.setDelayedReply(true);
        return capabilities;
    }
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int timeout) {
        calls.append({app, replaces, icon, summary, body, actions, hints, timeout});
        return nextId++;
    }
    void CloseNotification(uint) {}
    QString GetServerInformation(QString& vendor, QString& version, QString& specVersion) {
        vendor = QStringLiteral("test");
        version = QStringLiteral("1");
        specVersion = QStringLiteral("1.2");
        return QStringLiteral("fake");
    }
};

class TestNotify : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void notifyCarriesSummaryBodyAndIcon_data();
    void notifyCarriesSummaryBodyAndIcon();
    void onlyAutomaticModeWithTheSettingOn_data();
    void onlyAutomaticModeWithTheSettingOn();
    void onceARunAndNothingWhenNothingIsDue();
    void clickingRaisesTheWindow();
    void noServiceMeansNothingHappens();
    void silentServiceTimesOutWithoutBlocking();
    void windowsCarryTheProgramIcon();
    void settingInTheOptionsWindow_data();
    void settingInTheOptionsWindow();

private:
    void emitAction(uint id, const QString& key);

    TempHome m_home; // before anything reads HOME or the XDG folders
    FakeNotifications m_fake;
    QDBusConnection m_fakeBus{QString()};
    QString m_pictures;
    bool m_privateBus = false;
};

void TestNotify::initTestCase() {
    m_pictures = m_home.path() + QStringLiteral("/data/Brolt/");
    WriteFileForTest(m_pictures + "anna.jpg", "jpeg");
    m_privateBus = qEnvironmentVariable(privateBusVariable) == QLatin1String("1");
    if (!m_privateBus)
        return;
    QVERIFY(QDBusConnection::sessionBus().isConnected());
    m_fakeBus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-notifications"));
    QVERIFY(m_fakeBus.isConnected());
    QVERIFY(m_fakeBus.registerObject(path, &m_fake, QDBusConnection::ExportAllSlots));
    DesktopNotifier::setCallTimeoutForTest(300);
}

void TestNotify::init() {
    Working().automaticMode = true;
    Working().meldingenAan = true;
    const QByteArray name = QTest::currentTestFunction();
    if (name == "windowsCarryTheProgramIcon" || name == "settingInTheOptionsWindow")
        return;
    if (!m_privateBus)
        QSKIP("dbus-run-session is not installed");
    m_fake.calls.clear();
    m_fake.hang = false;
    m_fake.capabilities = {QStringLiteral("body"), QStringLiteral("body-markup"), QStringLiteral("actions")};
    QVERIFY(m_fakeBus.registerService(service));
}

void TestNotify::emitAction(uint id, const QString& key) {
    QDBusMessage signal = QDBusMessage::createSignal(path, service, QStringLiteral("ActionInvoked"));
    signal << id << key;
    QVERIFY(m_fakeBus.send(signal));
}

void TestNotify::notifyCarriesSummaryBodyAndIcon_data() {
    QTest::addColumn<QStringList>("records");
    QTest::addColumn<bool>("markupServer");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("picture"); // file in the data folder, empty for the program's icon

    QTest::newRow("picture, markup server")
        << QStringList{"1960-05-10;Anna;Geboorte;anna.jpg", "1985-05-11;Kees & Anna;Huwelijk;"} << true
        << "Vandaag en morgen in Brolt"
        << "Anna wordt vandaag 66 jaar\nKees &amp; Anna zijn morgen (ma 11-05) 41 jaar getrouwd"
        << "anna.jpg";
    QTest::newRow("no picture, plain server")
        << QStringList{"1985-05-11;Kees & Anna;Huwelijk;", "1960-05-20;Piet;Geboorte;"} << false
        << "Morgen in Brolt"
        << "Kees & Anna zijn morgen (ma 11-05) 41 jaar getrouwd" << QString();
}

void TestNotify::notifyCarriesSummaryBodyAndIcon() {
    QFETCH(QStringList, records);
    QFETCH(bool, markupServer);
    QFETCH(QString, summary);
    QFETCH(QString, body);
    QFETCH(QString, picture);
    if (!markupServer)
        m_fake.capabilities = {QStringLiteral("body"), QStringLiteral("actions")};

    QWidget window;
    NotifyDueReminders(composed(records), m_pictures, &window);
    QTRY_COMPARE(m_fake.calls.size(), 1);
    const FakeNotifications::Call& call = m_fake.calls.first();
    QCOMPARE(call.app, QStringLiteral("Brolt"));
    QCOMPARE(call.replaces, 0u);
    QCOMPARE(call.summary, summary);
    QCOMPARE(call.body, body);
    QCOMPARE(call.actions, (QStringList{"default", "Toon Brolt"}));
    QCOMPARE(call.hints.value("desktop-entry").toString(), QStringLiteral("nl.brolt.Brolt"));
    if (picture.isEmpty()) {
        QCOMPARE(call.icon, QStringLiteral("nl.brolt.Brolt"));
        QVERIFY(!call.hints.contains("image-path"));
    } else {
        const QString url = QUrl::fromLocalFile(m_pictures + picture).toString();
        QCOMPARE(call.icon, url);
        QCOMPARE(call.hints.value("image-path").toString(), url);
    }
    auto* notifier = window.findChild<DesktopNotifier*>();
    QVERIFY(notifier);
    QTRY_COMPARE(notifier->notificationId(), m_fake.nextId - 1);
}

void TestNotify::onlyAutomaticModeWithTheSettingOn_data() {
    QTest::addColumn<bool>("automatic");
    QTest::addColumn<bool>("settingOn");
    QTest::newRow("automatic, on") << true << true;
    QTest::newRow("by hand, on") << false << true;
    QTest::newRow("automatic, off") << true << false;
}

void TestNotify::onlyAutomaticModeWithTheSettingOn() {
    QFETCH(bool, automatic);
    QFETCH(bool, settingOn);
    Working().automaticMode = automatic;
    Working().meldingenAan = settingOn;
    QWidget window;
    NotifyDueReminders(composed({"1960-05-10;Anna;Geboorte;"}), m_pictures, &window);
    const bool expected = automatic && settingOn;
    QCOMPARE(window.findChildren<DesktopNotifier*>().size(), expected ? 1 : 0);
    if (expected)
        QTRY_COMPARE(m_fake.calls.size(), 1);
    else
        QVERIFY(m_fake.calls.isEmpty());
}

void TestNotify::onceARunAndNothingWhenNothingIsDue() {
    QWidget quiet, busy;
    // Nothing today or tomorrow: nothing sent, and this window has had its turn.
    NotifyDueReminders(composed({"1960-05-12;Anna;Geboorte;"}), m_pictures, &quiet);
    NotifyDueReminders(composed({"1960-05-10;Anna;Geboorte;"}), m_pictures, &quiet);
    // Calls go out in order: once this one has arrived, an earlier one would have too.
    NotifyDueReminders(composed({"1960-05-11;Kees;Geboorte;"}), m_pictures, &busy);
    NotifyDueReminders(composed({"1960-05-10;Anna;Geboorte;"}), m_pictures, &busy);
    QTRY_COMPARE(m_fake.calls.size(), 1);
    QCOMPARE(m_fake.calls.first().body, QStringLiteral("Kees wordt morgen (ma 11-05) 66 jaar"));
    QCOMPARE(quiet.findChildren<DesktopNotifier*>().size(), 1);
    QCOMPARE(busy.findChildren<DesktopNotifier*>().size(), 1);
}

void TestNotify::clickingRaisesTheWindow() {
    QWidget other;
    other.show();
    QWidget window;
    window.showMinimized();
    other.activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), &other);

    NotifyDueReminders(composed({"1960-05-10;Anna;Geboorte;"}), m_pictures, &window);
    auto* notifier = window.findChild<DesktopNotifier*>();
    QVERIFY(notifier);
    QTRY_VERIFY(notifier->notificationId() != 0);
    auto* proxy = notifier->findChild<NotificationsProxy*>();
    QVERIFY(proxy);
    QSignalSpy delivered(proxy, &NotificationsProxy::ActionInvoked);
    QSignalSpy activated(notifier, &DesktopNotifier::activated);

    // Another program's notification and another action of ours change nothing.
    emitAction(notifier->notificationId() + 100, QStringLiteral("default"));
    emitAction(notifier->notificationId(), QStringLiteral("snooze"));
    emitAction(notifier->notificationId(), QStringLiteral("default"));
    QTRY_COMPARE(delivered.size(), 3);
    QCOMPARE(activated.size(), 1);
    QVERIFY(!window.isMinimized());
    QVERIFY(window.isVisible());
    QTRY_COMPARE(QApplication::activeWindow(), &window);
}

void TestNotify::noServiceMeansNothingHappens() {
    QVERIFY(m_fakeBus.unregisterService(service));
    QWidget window;
    QElapsedTimer clock;
    clock.start();
    NotifyDueReminders(composed({"1960-05-10;Anna;Geboorte;"}), m_pictures, &window);
    QVERIFY(clock.elapsed() < 250);
    auto* notifier = window.findChild<DesktopNotifier*>();
    QVERIFY(notifier);
    QSignalSpy failed(notifier, &DesktopNotifier::failed);
    QSignalSpy shown(notifier, &DesktopNotifier::shown);
    QTRY_COMPARE(failed.size(), 1);
    QCOMPARE(shown.size(), 0);
    QVERIFY(m_fake.calls.isEmpty());
    QCOMPARE(notifier->notificationId(), 0u);
}

void TestNotify::silentServiceTimesOutWithoutBlocking() {
    m_fake.hang = true;
    QWidget window;
    QElapsedTimer clock;
    clock.start();
    NotifyDueReminders(composed({"1960-05-10;Anna;Geboorte;"}), m_pictures, &window);
    QVERIFY(clock.elapsed() < 250); // the 300 ms call timeout is not waited for here
    auto* notifier = window.findChild<DesktopNotifier*>();
    QVERIFY(notifier);
    QSignalSpy failed(notifier, &DesktopNotifier::failed);
    QTRY_COMPARE(failed.size(), 1);
    QVERIFY(m_fake.calls.isEmpty());
}

void TestNotify::windowsCarryTheProgramIcon() {
    const QIcon icon = ProgramIcon();
    QVERIFY(icon.availableSizes().contains(QSize(48, 48)));
    QVERIFY(icon.availableSizes().contains(QSize(256, 256)));
    SetUpDesktopIdentity();
    QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("nl.brolt.Brolt"));
    QWidget window;
    QCOMPARE(window.windowIcon().availableSizes(), icon.availableSizes());
    QCOMPARE(window.windowIcon().pixmap(48).toImage(), icon.pixmap(48).toImage());
}

void TestNotify::settingInTheOptionsWindow_data() {
    QTest::addColumn<QString>("stored"); // empty: never stored
    QTest::addColumn<bool>("shown");
    QTest::newRow("on at first start") << QString() << true;
    QTest::newRow("stored off") << "0" << false;
    QTest::newRow("stored on") << "1" << true;
}

void TestNotify::settingInTheOptionsWindow() {
    QFETCH(QString, stored);
    QFETCH(bool, shown);
    Store::remove(QLatin1String(Keys::MeldingenAan.name));
    if (!stored.isEmpty())
        Store::writeText(QLatin1String(Keys::MeldingenAan.name), stored);

    FakeUi ui;
    RecordTable table;
    DataFile data(table);
    TOptionsForm options(table, data);
    auto* box = options.findChild<QCheckBox*>(QStringLiteral("CheckMeldingen"));
    QVERIFY(box);
    QCOMPARE(box->text(), QStringLiteral("Meldingen o&p het bureaublad")); // Alt+P
    QCOMPARE(box->isChecked(), shown);
    QCOMPARE(Working().meldingenAan, shown);

    box->setChecked(!shown);
    options.BtnOKClick();
    QCOMPARE(Working().meldingenAan, !shown);
    QCOMPARE(Store::readText(Keys::MeldingenAan), QString(shown ? "0" : "1"));
    LoadWorkingSettings();
    QCOMPARE(Working().meldingenAan, !shown);
}

int main(int argc, char* argv[]) {
    // The whole test runs on a private session bus of its own, never the user's.
    if (qEnvironmentVariable(privateBusVariable) != QLatin1String("1")) {
        const QByteArray runner =
            QFile::encodeName(QStandardPaths::findExecutable(QStringLiteral("dbus-run-session")));
        if (!runner.isEmpty()) {
            qputenv(privateBusVariable, "1");
            std::vector<char*> args{const_cast<char*>(runner.constData()), const_cast<char*>("--")};
            for (int i = 0; i < argc; ++i)
                args.push_back(argv[i]);
            args.push_back(nullptr);
            ::execv(runner.constData(), args.data());
            qputenv(privateBusVariable, "0");
        }
    }
    QApplication app(argc, argv);
    TestNotify test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_notify.moc"
