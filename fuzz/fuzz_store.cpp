// The settings store's reads on any configuration file: every key of the key
// table as integer and boolean, then the working settings with their
// ranges.
#include "FuzzKit.h"
#include "kit/Store.h"
#include "settings/Working.h"

#include <QDateTime>
#include <QFile>
#include <QSettings>

namespace {
const StoreKey keys[] = {
    Keys::NameOfFile,
    Keys::CopyFiles,
    Keys::StartUpCheckRead,
    Keys::StartUpCheckWrite,
    Keys::StandbyCheck,
    Keys::TimerAan,
    Keys::Duur,
    Keys::GeluidAan,
    Keys::SysteemAan,
    Keys::MelodieAan,
    Keys::PadVoorMelodie,
    Keys::UpdatesCheck,
    Keys::Achteraf,
    Keys::Vooraf,
    Keys::EMail,
    Keys::UitgebreidCheck,
    Keys::Year1900,
    Keys::LogAan,
    Keys::ShortDate,
    Keys::SorteerOp,
    Keys::Versie,
    Keys::BackupPathRead,
    Keys::BackupPathWrite,
    Keys::Top,
    Keys::Left,
    Keys::Height,
    Keys::Width,
    Keys::OptionsTop,
    Keys::OptionsLeft,
    Keys::BrowseLargeTop,
    Keys::BrowseLargeLeft,
    Keys::BrowseLargeWidth,
    Keys::BrowseLargeHeight,
    Keys::BrowseSplitter,
    Keys::BrowseSmallTop,
    Keys::BrowseSmallLeft,
    Keys::BrowseSmallWidth,
    Keys::BrowseSmallHeight,
    Keys::ListsHeight,
    Keys::ListsWidth,
    Keys::PropsTop,
    Keys::PropsLeft,
    Keys::PropsHeight,
    Keys::PropsWidth,
    Keys::EditHeight,
    Keys::EditWidth,
    Keys::ColWidths[0],
    Keys::ColWidths[1],
    Keys::ColWidths[2],
    Keys::ColWidths[3],
    Keys::ColWidths[4],
};
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    FuzzKit::setUp(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // QSettings keeps a file it has read in a cache until the file's size or
    // time changes: every input gets a time of its own.
    static qint64 serial = 0;
    const QString folder = FuzzKit::scratch().path() + QStringLiteral("/config");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    QFile file(folder + QStringLiteral("/Brolt.conf"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(FuzzKit::bytes(data, size));
    file.setFileTime(QDateTime::fromSecsSinceEpoch(1000000000 + serial++), QFileDevice::FileModificationTime);
    file.close();

    for (const StoreKey& key : keys) {
        (void)Store::readInteger(key);
        (void)Store::readBool(key);
    }
    LoadWorkingSettings();
    const WorkingSettings& w = Working();
    if (w.vooraf < 1 || w.vooraf > 30 || w.achteraf < 1 || w.achteraf > 10 || w.duur < 1 || w.duur > 255)
        std::abort();
    return 0;
}
