#include "Platform/Diagnostics.h"

#include <cstdio>

namespace {

Diagnostics::Sink& currentSink() {
    static Diagnostics::Sink sink;
    return sink;
}

} // namespace

void Diagnostics::print(const QString& line) {
    if (const Sink& sink = currentSink()) {
        sink(line);
        return;
    }
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

Diagnostics::Sink Diagnostics::setSink(Sink sink) {
    Sink previous = std::move(currentSink());
    currentSink() = std::move(sink);
    return previous;
}
