#pragma once

#include <QtGlobal>

#include <chrono>

// How far the updater lets a downloaded update go before it gives up on it. The archive comes
// from the network and is unpacked beside the installed copy, so a broken or hostile one must
// neither fill that file system nor hold the installation forever. An update that goes beyond a
// bound fails like any other (it is tried once more, then the user gets the download address).
struct UpdateLimits {
    // Bytes the download may carry (the announced length and what really arrives).
    qint64 maxDownloadBytes = qint64(512) << 20;
    // Bytes the archive's files may add up to once unpacked, as its listing states them.
    qint64 maxUnpackedBytes = qint64(2) << 30;
    // How long one run of tar (listing or unpacking) may take before it is stopped.
    std::chrono::milliseconds tarTimeout{120'000};
};
