// A child process for the crash-safety test: it saves a 9 999-record table
// through the real DataFile::save() and reports each finished save on stdout.
//
//   brolt_saveloop loop <folder> <first generation> [saves]
//       saves generation after generation (forever, or `saves` times)
//   brolt_saveloop fulldisk <folder> <generation> <file size limit in bytes>
//   brolt_saveloop readonly <folder> <generation>
//       one save that cannot succeed; prints what save() answered
#include "SaveLoopRecords.h"
#include "Ui.h"
#include "records/DataFile.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <linux/capability.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
// Shows nothing, remembers the last note so the test can check the message.
class SilentUi : public Ui {
public:
    void showTimedMessage(int, const QString& first, const QString& second, const QRect&) override {
        lastNote = first + u'|' + second;
    }
    // One line on the output, the lines of the message joined as those of a note.
    void showMessage(const QString& message, const QString&, const QRect&) override {
        lastNote = QString(message).replace(u'\n', u'|');
    }
    QString lastNote;
};

void say(const QString& line) {
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// The folder becomes read-only for this process only: a private mount
// namespace with a read-only bind mount of the folder.  Root ignores file
// modes, so this is the one way to make root's writes fail for real.
bool mountReadOnly(const QByteArray& folder) {
    if (::unshare(CLONE_NEWNS) != 0)
        return false;
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return false;
    if (::mount(folder.constData(), folder.constData(), nullptr, MS_BIND, nullptr) != 0)
        return false;
    return ::mount(nullptr, folder.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
}

// Without the right to mount: give up the capabilities that let root write
// into a folder whose mode forbids it (the test made it 0555).
bool dropFileCapabilities() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capget, &header, data) != 0)
        return false;
    const unsigned mask = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER);
    data[0].effective &= ~mask;
    data[0].permitted &= ~mask;
    return ::syscall(SYS_capset, &header, data) == 0;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4)
        return 2;
    const QString mode = args[1];
    const QString folder = args[2].endsWith(u'/') ? args[2] : args[2] + u'/';
    int generation = args[3].toInt();

    SilentUi ui;
    Ui::install(&ui);
    RecordTable table;
    DataFile data(table);
    data.dataFolder = folder;
    data.retryDelayMs = 0; // a failing save must not spend ten seconds retrying
    data.utf8 = true;

    if (mode == QLatin1String("loop")) {
        const int saves = args.size() > 4 ? args[4].toInt() : -1;
        say(QStringLiteral("ready"));
        for (int n = 0; saves < 0 || n < saves; ++n, ++generation) {
            SaveLoop::Fill(table, generation);
            data.painted = true;
            data.unsavedChanges = true;
            say(QStringLiteral("saving ") + QString::number(generation));
            if (!data.save()) {
                say(QStringLiteral("failed ") + QString::number(generation) + u' ' + ui.lastNote);
                return 1;
            }
            say(QStringLiteral("saved ") + QString::number(generation));
        }
        return 0;
    }

    QString how;
    if (mode == QLatin1String("fulldisk") && args.size() > 4) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlim_t limit = args[4].toULongLong();
        const rlimit r{limit, limit};
        if (::setrlimit(RLIMIT_FSIZE, &r) != 0)
            return 3;
        how = QStringLiteral("rlimit");
    } else if (mode == QLatin1String("readonly")) {
        if (mountReadOnly(QFile::encodeName(folder)))
            how = QStringLiteral("mount");
        else if (::geteuid() != 0 || dropFileCapabilities())
            how = QStringLiteral("mode");
        else
            return 4;
    } else {
        return 2;
    }
    SaveLoop::Fill(table, generation);
    data.painted = true;
    data.unsavedChanges = true;
    const bool saved = data.save();
    say(QStringLiteral("how ") + how);
    say(QStringLiteral("saved ") + QString::number(saved));
    say(QStringLiteral("unsaved ") + QString::number(data.unsavedChanges));
    say(QStringLiteral("tries ") + QString::number(data.writeTries));
    say(QStringLiteral("note ") + ui.lastNote);
    return 0;
}
