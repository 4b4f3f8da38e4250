// Feeds arbitrary bytes to the reader of program files: a file handed over may be any file, and
// its headers may point anywhere; the reader must never read out of bounds, crash or hang, and
// what it keeps stays within its stated bounds however the headers repeat themselves.
#include "Platform/Linux/ProgramImage.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    static const QSet<QByteArray> asked{"Py_BytesMain", "Tcl_Main"};
    const std::optional<ProgramImage> image = ProgramImage::fromBytes(bytes, asked);
    if (!image) {
        return 0;
    }
    bool withinBounds = image->buildId.size() <= ProgramImage::maxBuildIdLength &&
                        image->needed.size() <= ProgramImage::maxNeeded &&
                        image->soname.size() <= ProgramImage::maxNameLength && image->imported.size() <= 1;
    for (const QByteArray& name : image->needed) {
        withinBounds = withinBounds && name.size() <= ProgramImage::maxNameLength;
    }
    if (!withinBounds) {
        __builtin_trap();
    }
    return 0;
}
