// The versions file from the update server, whatever the server sends: the
// bytes go through the same reading as the fetch (chunks, zero bytes, the
// short-file rule) and are then judged against the running version.  The
// same bytes are also read as ping output.
#include "FuzzKit.h"
#include "maintenance/VersionsFile.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    FuzzKit::setUp(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray body = FuzzKit::bytes(data, size);
    const QString reply = Versions::ReplyFromText(Versions::TextFromBody(body));
    if (reply.isEmpty())
        std::abort();

    for (const QString& label : {QStringLiteral("versie 2.60e"), QStringLiteral("versie 2.60")}) {
        const Versions::Outcome outcome = Versions::Evaluate(reply, QStringLiteral("Brolt"), label);
        if (outcome.result < Versions::UpToDate || outcome.result > Versions::UpdateAdvised)
            std::abort();
        const bool judged = outcome.result == Versions::UpToDate || outcome.result == Versions::UpdateAdvised;
        // A verdict always names an installer that is safe to use as a file name.
        if (judged != !outcome.downloadName.isEmpty())
            std::abort();
        if (judged && (!Versions::IsPlainFileName(outcome.downloadName) || outcome.sizeKb < 0))
            std::abort();
        (void)Versions::DisplayName(outcome.downloadName);
    }

    // Splitting loses nothing but one trailing comma.
    const QString line = Versions::EntryLine(reply, QStringLiteral("Brolt"));
    const QString joined = Versions::SplitFields(line).join(u',');
    if (joined != (line.endsWith(u',') ? line.chopped(1) : line))
        std::abort();

    const int ping = Versions::ParsePingOutput(QString::fromLocal8Bit(body));
    if (ping != -2 && ping != 0 && (ping < 1 || ping > 1000000))
        std::abort();
    return 0;
}
