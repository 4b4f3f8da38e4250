#pragma once

#include <QtGlobal>

#include <chrono>

// How far the updater lets the update server and a downloaded update go before it gives up. The
// version document and the archive come from the network, and the archive is unpacked beside the
// installed copy, so a broken or hostile server must neither fill memory or that file system nor
// hold a check or an installation forever. A check that goes beyond a bound fails with the reason;
// an update that does fails like any other (it is tried once more, then the user gets the
// download address).
struct UpdateLimits {
    // Bytes the download may carry (the announced length and what really arrives).
    qint64 maxDownloadBytes = qint64(512) << 20;
    // Bytes the archive's files may add up to once unpacked, as its listing states them.
    qint64 maxUnpackedBytes = qint64(2) << 30;
    // How long one run of tar (listing or unpacking) may take before it is stopped.
    std::chrono::milliseconds tarTimeout{120'000};
    // Bytes the version document may have (the announced length and what really arrives).
    qint64 maxVersionDocumentBytes = qint64(1) << 20;
    // How long a version check may take in all, however the server spreads its answer.
    std::chrono::milliseconds checkTimeout{30'000};
    // How long a download may take in all: a server that trickles the archive is stopped.
    std::chrono::milliseconds downloadTimeout{std::chrono::minutes(30)};
};
