// The RTF reader of the news window on any bytes.
#include "FuzzKit.h"
#include "kit/Rtf.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    FuzzKit::setUp(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    RtfDocument document;
    const bool ok = ReadRtf(FuzzKit::bytes(data, size), document);
    // A refused file leaves nothing behind.
    if (!ok && !document.paragraphs.isEmpty())
        std::abort();
    (void)document.plainText();
    return 0;
}
