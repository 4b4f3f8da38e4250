// Feeds arbitrary bytes to the session-file reader: it must never read out of bounds, crash or
// hang, whatever the file holds.
#include "Platform/Linux/ChromiumSession.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QString problem;
    const auto session = ChromiumSession::read(
        QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)), &problem);
    if (session) {
        for (const ChromiumSession::Window& window : session->windows) {
            if (window.selectedTab >= window.tabs.size()) {
                __builtin_trap();
            }
        }
    }
    return 0;
}
