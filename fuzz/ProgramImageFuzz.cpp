// Feeds arbitrary bytes to the reader of program files: a file handed over may be any file, and
// its headers may point anywhere; the reader must never read out of bounds, crash or hang.
#include "Platform/Linux/ProgramImage.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<ProgramImage> image = ProgramImage::fromBytes(bytes, true);
    if (image && image->buildId.size() > qsizetype(size)) {
        __builtin_trap();
    }
    return 0;
}
