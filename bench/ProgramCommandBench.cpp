// Reading an identifier that a workspace file holds: a program, or an interpreter and its script.
// The text is anyone's, so its length must not cost more than its reading: blanks and names of
// interpreters by the thousand, up to far beyond the longest identifier a program can have.
#include "Platform/Linux/ProgramCommand.h"

#include <QFileInfo>
#include <QString>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

// An interpreter's path and a blank, again and again, to length characters.
QString interpretersAndBlanks(qsizetype length) {
    const QString shell = QFileInfo(QStringLiteral("/bin/sh")).canonicalFilePath() + u' ';
    return shell.repeated(length / shell.size() + 1).left(length);
}

void readIdentifier(benchmark::State& state) {
    const QString identifier = interpretersAndBlanks(qsizetype(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(ProgramCommand::fromIdentifier(identifier));
    }
    state.SetComplexityN(state.range(0));
}

const long kLongest = std::getenv("ORDELLA_BENCH_SMOKE") ? 8192 : 196608;

} // namespace

BENCHMARK(readIdentifier)->RangeMultiplier(4)->Range(48, kLongest)->Complexity();

BENCHMARK_MAIN();
