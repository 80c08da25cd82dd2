// The Debian package made from this very build: cpack over the existing
// build folder, unpacked with dpkg -x into a temporary root, and run from there.
#include "TestKit.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

namespace {
struct Run {
    int exitCode = -1;
    QString out, err;
};

Run run(const QString& program, const QStringList& arguments, const QProcessEnvironment& env = {},
        int timeoutMs = 60000) {
    QProcess p;
    if (!env.isEmpty())
        p.setProcessEnvironment(env);
    p.start(program, arguments);
    Run r;
    if (!p.waitForStarted(5000) || !p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(1000);
        r.err = program + QStringLiteral(" did not finish");
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// "a (>= 1), b | c, d" -> {"a", "b", "c", "d"}
QStringList packageNames(const QString& field) {
    QStringList names;
    for (const QString& alternatives : field.split(u',', Qt::SkipEmptyParts))
        for (const QString& one : alternatives.split(u'|', Qt::SkipEmptyParts))
            names << one.trimmed().section(u' ', 0, 0);
    return names;
}
} // namespace

class TestPackage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void fileNameAndControlFields();
    void dependsNamesEveryRuntimeLibrary_data();
    void dependsNamesEveryRuntimeLibrary();
    void programFolderHoldsEveryShippedFile();
    void commandIsARelativeLinkToTheLauncher();
    void desktopEntryAndIcons();
    void metainfoValidates();
    void schedulerStartsAtEveryLogin();
    void manualPage_data();
    void manualPage();
    void listRunsFromTheUnpackedRoot_data();
    void listRunsFromTheUnpackedRoot();

private:
    QString field(const QString& name);

    TempHome m_home; // before anything reads HOME or the XDG folders
    QTemporaryDir m_work;
    QString m_deb, m_root, m_program;
};

void TestPackage::initTestCase() {
    if (QStandardPaths::findExecutable(QStringLiteral("dpkg-deb")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("dpkg")).isEmpty())
        QSKIP("dpkg-deb is not installed");
    QVERIFY(QFileInfo(QStringLiteral(BROLT_CPACK)).isExecutable());
    QVERIFY(m_work.isValid());

    const Run made =
        run(QStringLiteral(BROLT_CPACK),
            {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
             QStringLiteral(BROLT_BINARY_DIR "/CPackConfig.cmake"), QStringLiteral("-B"), m_work.path()});
    QVERIFY2(made.exitCode == 0, qPrintable(made.out + made.err));

    const Run arch = run(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")});
    QCOMPARE(arch.exitCode, 0);
    m_deb = m_work.path() + QStringLiteral("/brolt_" BROLT_PACKAGE_VERSION "_") + arch.out.trimmed() +
            QStringLiteral(".deb");
    QVERIFY2(QFileInfo::exists(m_deb), qPrintable(m_deb + QStringLiteral(" missing:\n") + made.out));

    m_root = m_work.path() + QStringLiteral("/root");
    const Run unpacked = run(QStringLiteral("dpkg"), {QStringLiteral("-x"), m_deb, m_root});
    QVERIFY2(unpacked.exitCode == 0, qPrintable(unpacked.err));
    m_program = m_root + QStringLiteral("/usr/lib/brolt/");
}

QString TestPackage::field(const QString& name) {
    const Run r = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), m_deb, name});
    return r.exitCode == 0 ? r.out.trimmed() : QString();
}

void TestPackage::fileNameAndControlFields() {
    QCOMPARE(field(QStringLiteral("Package")), QStringLiteral("brolt"));
    QCOMPARE(field(QStringLiteral("Version")), QStringLiteral(BROLT_PACKAGE_VERSION));
    QVERIFY(
        packageNames(field(QStringLiteral("Recommends"))).contains(QStringLiteral("qt6-gtk-platformtheme")));
}

void TestPackage::dependsNamesEveryRuntimeLibrary_data() {
    QTest::addColumn<QString>("package");
    for (const char* name : {"libqt6core6", "libqt6gui6", "libqt6widgets6", "libqt6network6",
                             "libqt6printsupport6", "libqt6multimedia6", "libqt6dbus6", "libjpeg62-turbo",
                             "libstdc++6", "libc6", "gstreamer1.0-plugins-base", "gstreamer1.0-plugins-good",
                             "fonts-crosextra-carlito", "libqt6keychain1", "qt6-translations-l10n"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestPackage::dependsNamesEveryRuntimeLibrary() {
    QFETCH(QString, package);
    QVERIFY2(packageNames(field(QStringLiteral("Depends"))).contains(package), qPrintable(package));
}

void TestPackage::programFolderHoldsEveryShippedFile() {
    for (const char* name : {"Brolt", "brolt-windows", "Brolt_Sched"})
        QVERIFY2(QFileInfo(m_program + QLatin1String(name)).isExecutable(), name);
    for (const char* name : {"nl.brolt.Brolt-48.png", "nl.brolt.Brolt-256.png"})
        QVERIFY2(QFileInfo::exists(m_program + QLatin1String(name)), name);

    const QString data = QStringLiteral(BROLT_SOURCE_DIR "/data/");
    QDirIterator it(data, QDir::Files, QDirIterator::Subdirectories);
    int files = 0;
    while (it.hasNext()) {
        const QString source = it.next();
        const QString relative = source.mid(data.size());
        QCOMPARE(ReadFileForTest(m_program + relative), ReadFileForTest(source));
        ++files;
    }
    QVERIFY(files > 0);
}

void TestPackage::commandIsARelativeLinkToTheLauncher() {
    const QFileInfo command(m_root + QStringLiteral("/usr/bin/brolt"));
    QVERIFY(command.isSymLink());
    QCOMPARE(QFile::symLinkTarget(command.filePath()),
             QFileInfo(m_program + QStringLiteral("Brolt")).filePath());
    // Relative, so that it points into the package wherever it is unpacked.
    QProcess readlink;
    readlink.start(QStringLiteral("readlink"), {command.filePath()});
    QVERIFY(readlink.waitForFinished(5000));
    QCOMPARE(QString::fromUtf8(readlink.readAllStandardOutput()).trimmed(),
             QStringLiteral("../lib/brolt/Brolt"));
}

void TestPackage::desktopEntryAndIcons() {
    const QString entry = QString::fromUtf8(
        ReadFileForTest(m_root + QStringLiteral("/usr/share/applications/nl.brolt.Brolt.desktop")));
    const QStringList lines = entry.split(u'\n');
    for (const char* line : {"[Desktop Entry]", "Type=Application", "Exec=brolt", "Icon=nl.brolt.Brolt",
                             "Categories=Office;Calendar;", "Terminal=false"})
        QVERIFY2(lines.contains(QLatin1String(line)), line);
    QVERIFY(lines.contains(QStringLiteral("Name=Brolt")));
    QVERIFY(QFileInfo(m_root + QStringLiteral("/usr/bin/brolt")).isExecutable());

    const QString icons = m_root + QStringLiteral("/usr/share/icons/hicolor/");
    for (const int size : {48, 256}) {
        const QImage image(icons + QStringLiteral("%1x%1/apps/nl.brolt.Brolt.png").arg(size));
        QCOMPARE(image.size(), QSize(size, size));
        QVERIFY(image.hasAlphaChannel());
    }
    const QByteArray svg = ReadFileForTest(icons + QStringLiteral("scalable/apps/nl.brolt.Brolt.svg"));
    QVERIFY(svg.contains("<svg"));
    // The program's colours: pale yellow and cyan.
    QVERIFY(svg.contains("#ffffe3"));
    QVERIFY(svg.contains("#00ffff"));

    if (!QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate")).isEmpty()) {
        const Run valid = run(QStringLiteral("desktop-file-validate"),
                              {m_root + QStringLiteral("/usr/share/applications/nl.brolt.Brolt.desktop")});
        QVERIFY2(valid.exitCode == 0 && valid.out.isEmpty(), qPrintable(valid.out + valid.err));
    }
}

void TestPackage::schedulerStartsAtEveryLogin() {
    // The same file name as a user's own entry, which therefore overrides it.
    const QString entry = m_root + QStringLiteral("/etc/xdg/autostart/Brolt_Sched.desktop");
    const QStringList lines = QString::fromUtf8(ReadFileForTest(entry)).split(u'\n');
    for (const char* line : {"[Desktop Entry]", "Type=Application", "TryExec=/usr/lib/brolt/Brolt_Sched",
                             "Exec=\"/usr/lib/brolt/Brolt_Sched\""})
        QVERIFY2(lines.contains(QLatin1String(line)), line);
    QVERIFY(!lines.contains(QStringLiteral("Hidden=true")));
    // dpkg keeps an administrator's change to it.
    const Run control =
        run(QStringLiteral("dpkg-deb"), {QStringLiteral("-I"), m_deb, QStringLiteral("conffiles")});
    QCOMPARE(control.out.trimmed(), QStringLiteral("/etc/xdg/autostart/Brolt_Sched.desktop"));
    if (!QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate")).isEmpty()) {
        const Run valid = run(QStringLiteral("desktop-file-validate"), {entry});
        QVERIFY2(valid.exitCode == 0 && valid.out.isEmpty(), qPrintable(valid.out + valid.err));
    }
}

void TestPackage::manualPage_data() {
    // What someone who types "man brolt" looks for.
    QTest::addColumn<QString>("text");
    QTest::newRow("name") << "brolt - verjaardagskalender";
    QTest::newRow("the list") << "--list";
    QTest::newRow("import") << "--import BRON";
    QTest::newRow("export") << "--export-ics DOEL";
    QTest::newRow("help") << "--help";
    QTest::newRow("version") << "--version";
    QTest::newRow("data file") << "~/.local/share/Brolt/Brolt.dat";
    QTest::newRow("exit status") << "AFSLUITSTATUS";
}

void TestPackage::manualPage() {
    QFETCH(QString, text);
    const QString page = m_root + QStringLiteral("/usr/share/man/man1/brolt.1.gz");
    QVERIFY2(QFileInfo::exists(page), qPrintable(page));
    if (QStandardPaths::findExecutable(QStringLiteral("man")).isEmpty())
        QSKIP("man is not installed");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MANWIDTH"), QStringLiteral("200"));
    env.insert(QStringLiteral("MAN_KEEP_FORMATTING"), QString());
    const Run shown = run(QStringLiteral("man"), {QStringLiteral("-l"), QStringLiteral("-Tutf8"), page}, env);
    QCOMPARE(shown.exitCode, 0);
    // Without the overstriking a terminal turns into bold and underline.
    QString plain = shown.out;
    plain.remove(QRegularExpression(QStringLiteral(".\\x08")));
    plain.replace(QChar(0x2010), u'-').replace(QChar(0x2212), u'-');
    plain.replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" ")); // justified lines
    QVERIFY2(plain.contains(text), qPrintable(plain.left(600)));
}

void TestPackage::metainfoValidates() {
    if (QStandardPaths::findExecutable(QStringLiteral("appstreamcli")).isEmpty())
        QSKIP("appstreamcli is not installed");
    const Run valid = run(QStringLiteral("appstreamcli"),
                          {QStringLiteral("validate"), QStringLiteral("--no-net"),
                           m_root + QStringLiteral("/usr/share/metainfo/nl.brolt.Brolt.metainfo.xml")});
    QVERIFY2(valid.exitCode == 0, qPrintable(valid.out + valid.err));
}

void TestPackage::listRunsFromTheUnpackedRoot_data() {
    QTest::addColumn<bool>("namedFile");
    QTest::addColumn<QString>("expectedLine");
    QTest::newRow("a file named on the command line") << true << "Anna wordt overmorgen (di 12-05) 66 jaar";
    // Without a file the sample comes from the program folder, found through the link.
    QTest::newRow("the shipped sample from the program folder") << false << QString();
}

void TestPackage::listRunsFromTheUnpackedRoot() {
    QFETCH(bool, namedFile);
    QFETCH(QString, expectedLine);

    QTemporaryDir home;
    QVERIFY(home.isValid());
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));

    QStringList arguments{QStringLiteral("--list"), QStringLiteral("--date"), QStringLiteral("2026-05-10")};
    if (namedFile) {
        const QString file = home.path() + QStringLiteral("/mensen.dat");
        WriteFileForTest(file, "1960-05-12;Anna;Geboorte;;;;;;;\r\n1960-08-01;Piet;Geboorte;;;;;;;\r\n");
        arguments << QStringLiteral("--file") << file;
    }
    const Run r = run(m_root + QStringLiteral("/usr/bin/brolt"), arguments, env, 20000);
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    if (namedFile) {
        QCOMPARE(r.out.split(u'\n', Qt::SkipEmptyParts), QStringList{expectedLine});
    } else {
        QVERIFY2(!r.out.trimmed().isEmpty(), qPrintable(r.err));
        QCOMPARE(ReadFileForTest(home.path() + QStringLiteral("/data/Brolt/Brolt.dat")),
                 ReadFileForTest(m_program + QStringLiteral("Standaard.dat")));
    }
}

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_package.moc"
