#include "kit/BrowsePaths.h"

#include <QTest>

#include <optional>

class TestBrowsePaths : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startFolder_data();
    void startFolder();
    void mountPoint_data();
    void mountPoint();
    void folderNames_data();
    void folderNames();
    void folderNameMatching_data();
    void folderNameMatching();
    void patterns_data();
    void patterns();
    void driveLabels_data();
    void driveLabels();
    void splitter_data();
    void splitter();
    void okPath_data();
    void okPath();
    void buttonPlaces_data();
    void buttonPlaces();
};

void TestBrowsePaths::startFolder_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("a data file shows its folder") << "/home/anna/data/brolt.dat"
                                                  << "/home/anna/data/";
    QTest::newRow("a folder without a final slash opens its parent") << "/home/anna/data"
                                                                     << "/home/anna/";
    QTest::newRow("a folder with its slash stays") << "/home/anna/data/"
                                                   << "/home/anna/data/";
    QTest::newRow("five characters are used unchanged") << "/a/bc"
                                                        << "/a/bc";
    QTest::newRow("short paths are used unchanged") << "/tmp"
                                                    << "/tmp";
    QTest::newRow("six characters are cut") << "/a/bcd"
                                            << "/a/";
    QTest::newRow("empty gives the fallback") << ""
                                              << "/home/anna/";
    QTest::newRow("spaces and accents survive") << "/home/anna/Mijn Bestanden é/x.dat"
                                                << "/home/anna/Mijn Bestanden é/";
}

void TestBrowsePaths::startFolder() {
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(BrowseStartFolder(path, QStringLiteral("/home/anna/")), expected);
}

void TestBrowsePaths::mountPoint_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("deepest mount wins") << "/home/anna/data/"
                                        << "/home/";
    QTest::newRow("mount itself without slash") << "/media/anna/STICK"
                                                << "/media/anna/STICK/";
    QTest::newRow("a longer name is no folder below a mount") << "/homework/x"
                                                              << "/";
    QTest::newRow("a sibling of a mount") << "/media/anna/STICK2/a"
                                          << "/";
    QTest::newRow("root") << "/"
                          << "/";
}

void TestBrowsePaths::mountPoint() {
    QFETCH(QString, path);
    QFETCH(QString, expected);
    const QStringList mounts{"/", "/home", "/media/anna/STICK/", "/boot/"};
    QCOMPARE(MountPointOf(path, mounts), expected);
}

void TestBrowsePaths::folderNames_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("root");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("below root") << "/home/anna/data/"
                                << "/" << QStringList{"home", "anna", "data"};
    QTest::newRow("below a mount") << "/home/anna/data"
                                   << "/home/" << QStringList{"anna", "data"};
    QTest::newRow("the mount itself") << "/home/"
                                      << "/home/" << QStringList{};
    QTest::newRow("double slashes are no names") << "/home//anna/"
                                                 << "/" << QStringList{"home", "anna"};
    QTest::newRow("outside the root") << "/srv/x/"
                                      << "/home/" << QStringList{};
}

void TestBrowsePaths::folderNames() {
    QFETCH(QString, path);
    QFETCH(QString, root);
    QFETCH(QStringList, expected);
    QCOMPARE(FolderNamesBelow(path, root), expected);
}

void TestBrowsePaths::folderNameMatching_data() {
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("wanted");
    QTest::addColumn<int>("expected");
    QTest::newRow("exact") << QStringList{"Data", "Muziek"} << "Muziek" << 1;
    QTest::newRow("case ignored when nothing matches exactly")
        << QStringList{"Data", "Muziek"} << "DATA" << 0;
    QTest::newRow("exact match before a case-blind one") << QStringList{"Data", "data"} << "data" << 1;
    QTest::newRow("missing") << QStringList{"Data"} << "Foto" << -1;
    QTest::newRow("no children") << QStringList{} << "Data" << -1;
}

void TestBrowsePaths::folderNameMatching() {
    QFETCH(QStringList, names);
    QFETCH(QString, wanted);
    QFETCH(int, expected);
    QCOMPARE(FindFolderName(names, wanted), expected);
}

void TestBrowsePaths::patterns_data() {
    QTest::addColumn<QString>("root");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("folder");
    QTest::newRow("root node") << "/" << QStringList{} << "/*"
                               << "/";
    QTest::newRow("nested") << "/home/" << QStringList{"anna", "Mijn map"} << "/home/anna/Mijn map/*"
                            << "/home/anna/Mijn map/";
    QTest::newRow("root without slash") << "/media/x" << QStringList{"a"} << "/media/x/a/*"
                                        << "/media/x/a/";
    QTest::newRow("no root") << "" << QStringList{"a"} << ""
                             << "";
}

void TestBrowsePaths::patterns() {
    QFETCH(QString, root);
    QFETCH(QStringList, names);
    QFETCH(QString, pattern);
    QFETCH(QString, folder);
    QCOMPARE(NodePattern(root, names), pattern);
    QCOMPARE(PatternFolder(pattern), folder);
}

void TestBrowsePaths::driveLabels_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("mount");
    QTest::addColumn<QString>("label"); // "-" stands for a label that cannot be read
    QTest::addColumn<bool>("dropDown");
    QTest::addColumn<QString>("expected");
    QTest::newRow("label in lower case") << "/media/e"
                                         << "/media/e"
                                         << "USB-STICK" << true << "/media/e [usb-stick]";
    QTest::newRow("not labelled a second time") << "/media/e [usb-stick]"
                                                << "/media/e"
                                                << "USB-STICK" << true << "/media/e [usb-stick]";
    QTest::newRow("not labelled a second time on change") << "/media/e [usb-stick]"
                                                          << "/media/e"
                                                          << "USB-STICK" << false << "/media/e [usb-stick]";
    QTest::newRow("unreadable keeps plain text") << "/media/f"
                                                 << "/media/f"
                                                 << "-" << true << "/media/f";
    QTest::newRow("other label kept") << "/ [root]"
                                      << "/"
                                      << "sda1" << false << "/ [root]";
    QTest::newRow("device name as label") << "/"
                                          << "/"
                                          << "sda1" << false << "/ [sda1]";
    QTest::newRow("upper-case stick left alone at drop-down") << "/media/g [USB-STICK]"
                                                              << "/media/g"
                                                              << "x" << true << "/media/g [USB-STICK]";
}

void TestBrowsePaths::driveLabels() {
    QFETCH(QString, entry);
    QFETCH(QString, mount);
    QFETCH(QString, label);
    QFETCH(bool, dropDown);
    QFETCH(QString, expected);
    const std::optional<QString> read = label == "-" ? std::nullopt : std::optional<QString>(label);
    QCOMPARE(LabelDriveEntry(entry, mount, read, dropDown), expected);
}

void TestBrowsePaths::splitter_data() {
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("expected");
    QTest::newRow("150 reads as 200") << 150 << 200;
    QTest::newRow("negative reads as 200") << -5 << 200;
    QTest::newRow("200") << 200 << 200;
    QTest::newRow("wider kept") << 321 << 321;
}

void TestBrowsePaths::splitter() {
    QFETCH(int, stored);
    QFETCH(int, expected);
    QCOMPARE(SplitterPosition(stored), expected);
}

void TestBrowsePaths::okPath_data() {
    QTest::addColumn<bool>("fileMode");
    QTest::addColumn<int>("fileCount");
    QTest::addColumn<QString>("browsePath");
    QTest::addColumn<QString>("currentFile");
    QTest::addColumn<bool>("note");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no file selected gives the folder") << true << 3 << "/d/x/"
                                                       << "" << false << "/d/x/";
    QTest::newRow("file appended") << true << 3 << "/d/x/"
                                   << "brolt.dat" << false << "/d/x/brolt.dat";
    QTest::newRow("path without slash takes the folder once") << true << 3 << "/d/x"
                                                              << "brolt.dat" << false << "/d/x/brolt.dat";
    QTest::newRow("empty list: note, path unchanged") << true << 0 << "/d/x/"
                                                      << "" << true << "/d/x/";
    QTest::newRow("folder mode") << false << 0 << "/d/old/"
                                 << "" << false << "/d/x/";
}

void TestBrowsePaths::okPath() {
    QFETCH(bool, fileMode);
    QFETCH(int, fileCount);
    QFETCH(QString, browsePath);
    QFETCH(QString, currentFile);
    QFETCH(bool, note);
    QFETCH(QString, expected);
    const BrowseOkResult r =
        BrowseOkPath(fileMode, fileCount, QStringLiteral("/d/x/"), browsePath, currentFile);
    QCOMPARE(r.noFilesNote, note);
    QCOMPARE(r.path, expected);
}

void TestBrowsePaths::buttonPlaces_data() {
    QTest::addColumn<bool>("fileMode");
    QTest::addColumn<int>("okLeft");
    QTest::addColumn<int>("cancelLeft");
    // 550 wide, count label 100, buttons 110: gaps of (550-100-220)/3 = 76 and (550-220)/3 = 110.
    QTest::newRow("file mode after the count") << true << 176 << 362;
    QTest::newRow("folder mode over the width") << false << 110 << 330;
}

void TestBrowsePaths::buttonPlaces() {
    QFETCH(bool, fileMode);
    QFETCH(int, okLeft);
    QFETCH(int, cancelLeft);
    const ButtonPlaces p = BrowseButtonPlaces(fileMode, 550, 100, 110, 110);
    QCOMPARE(p.okLeft, okLeft);
    QCOMPARE(p.cancelLeft, cancelLeft);
}

QTEST_GUILESS_MAIN(TestBrowsePaths)
#include "tst_browsepaths.moc"
