#include "App/OrdellaApp.h"
#include "App/SingleInstance.h"
#include "Support/TestPlatform.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace std::chrono_literals;

// The other end of the socket as the asking start meets it: it takes every connection, sends a
// line break every second while it is at work, and its reply (then hangs up) when it is done.
class ScriptedInstance {
public:
    struct Script {
        // How long it sends its line breaks.
        Clock::Duration working;
        // When it replies; never: nothing.
        std::optional<Clock::Duration> replyAt;
    };

    ScriptedInstance(const QString& name, Script script, Clock& clock)
        : m_script(script)
        , m_clock(clock) {
        QLocalServer::removeServer(name);
        m_listening = m_server.listen(name);
        QObject::connect(&m_server, &QLocalServer::newConnection, &m_server, [this] {
            while (QLocalSocket* socket = m_server.nextPendingConnection()) {
                take(socket);
            }
        });
    }

    bool isListening() const { return m_listening; }
    static QByteArray reply() { return R"({"ok":true,"output":"Saved \"Desk\""})"; }

private:
    void take(QLocalSocket* socket) {
        const QPointer<QLocalSocket> guard(socket);
        const Clock::TimePoint until = m_clock.now() + m_script.working;
        Clock& clock = m_clock;
        m_timers.push_back(
            m_clock.startTimer(SingleInstance::heartbeatInterval, true, [guard, until, &clock] {
                if (guard && clock.now() <= until) {
                    guard->write("\n");
                }
            }));
        if (m_script.replyAt) {
            m_timers.push_back(m_clock.startTimer(*m_script.replyAt, false, [guard] {
                if (guard) {
                    guard->write(reply());
                    guard->disconnectFromServer();
                }
            }));
        }
    }

    Script m_script;
    Clock& m_clock;
    QLocalServer m_server;
    bool m_listening = false;
    std::vector<ClockTimer> m_timers;
};

// Points XDG_RUNTIME_DIR at a folder while it lives.
class RuntimeFolder {
public:
    explicit RuntimeFolder(const QString& path)
        : m_wasSet(qEnvironmentVariableIsSet("XDG_RUNTIME_DIR"))
        , m_old(qgetenv("XDG_RUNTIME_DIR")) {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(path));
    }
    ~RuntimeFolder() {
        if (m_wasSet) {
            qputenv("XDG_RUNTIME_DIR", m_old);
        } else {
            qunsetenv("XDG_RUNTIME_DIR");
        }
    }
    RuntimeFolder(const RuntimeFolder&) = delete;
    RuntimeFolder& operator=(const RuntimeFolder&) = delete;

private:
    bool m_wasSet;
    QByteArray m_old;
};

// The asking start (a command, or a start without a display) tells an instance at work from one
// that has stopped, and never waits for ever: all in virtual time, against a socket of its own.
TEST(OrdellaApp, AnAskingStartWaitsForAnInstanceAtWorkAndNotForAStoppedOne) {
    TestPlatform test;
    VirtualClock& clock = test.clock();
    // Time moves whenever nothing is ready: every wait below is the clock's.
    clock.setRealWorkPending({});
    QTemporaryDir runtime;
    const RuntimeFolder folder(runtime.path());

    using Asked = OrdellaApp::Asked;
    const Asked saved{0, "Saved \"Desk\"", false};
    const Asked noAnswer{1, "Ordella is running but does not answer (it may be stopped or busy).", true};
    const Asked notRunning{1, "Ordella is not running: start it first.", true};
    // Once it has taken the request, the request runs: its outcome is waited for, and an outcome
    // that does not come is not called a failure.
    const Asked unknown{
        3, "Ordella took the request but has not told how it ended (it may be stopped, or still at work).",
        true};
    const Clock::Duration forEver = 24h;
    struct Case {
        const char* what;
        bool demo;
        // The socket listened on; none: nobody listens.
        std::optional<QString> socket;
        ScriptedInstance::Script script;
        Asked asked;
        Clock::Duration took;
    };
    const QList<Case> cases{
        {"nobody listens", false, std::nullopt, {}, notRunning, 0s},
        {"a stopped instance takes the connection and says nothing",
         false,
         "ordella.socket",
         {0s, {}},
         noAnswer,
         SingleInstance::silenceTimeout},
        {"a reply after a silence just short of the limit", false, "ordella.socket", {0s, 9s}, saved, 9s},
        {"at work longer than any silence, then the reply", false, "ordella.socket", {40s, 40s}, saved, 40s},
        {"at work for 3 s, then stopped",
         false,
         "ordella.socket",
         {3s, {}},
         unknown,
         SingleInstance::replyTimeout},
        {"at work for ever", false, "ordella.socket", {forEver, {}}, unknown, SingleInstance::replyTimeout},
        {"at work until just before the whole time is up",
         false,
         "ordella.socket",
         {forEver, SingleInstance::replyTimeout - 1s},
         saved,
         SingleInstance::replyTimeout - 1s},
        // The demo desktop's instance has a socket of its own: each start asks its own kind.
        {"--demo asks the demo's instance", true, "ordella-demo.socket", {0s, 1s}, saved, 1s},
        {"--demo does not ask the desktop's instance", true, "ordella.socket", {0s, 1s}, notRunning, 0s},
        {"without --demo the demo's instance is not asked",
         false,
         "ordella-demo.socket",
         {0s, 1s},
         notRunning,
         0s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::optional<ScriptedInstance> instance;
        if (c.socket) {
            instance.emplace(QDir(runtime.path()).filePath(*c.socket), c.script, clock);
            ASSERT_TRUE(instance->isListening());
        }
        QStringList arguments{"ordella", "--save", "Desk"};
        if (c.demo) {
            arguments << "--demo";
        }
        const InstanceCommands::Parsed options = InstanceCommands::parse(arguments);
        const auto start = clock.now();
        const std::optional<Asked> asked = clock.runUntilDone(OrdellaApp::askOnly(options, clock), 2h);
        ASSERT_TRUE(asked) << clock.lastFailure().toStdString();
        EXPECT_EQ(asked->exitCode, c.asked.exitCode);
        EXPECT_EQ(asked->text, c.asked.text);
        EXPECT_EQ(asked->error, c.asked.error);
        EXPECT_EQ(clock.now() - start, c.took);
    }
}

// scripts/run builds before it starts anything: on a fresh machine that takes about 20 minutes,
// which it shows step by step, and a build that fails shows why.
TEST(OrdellaApp, TheRunScriptShowsHowFarItsBuildHasGot) {
    QTemporaryDir project;
    const auto write = [&project](const QString& name, const QByteArray& text) {
        QFile file(project.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
    };
    // The slow one compiles only once the test lets it.
    ASSERT_TRUE(write("CMakeLists.txt", "cmake_minimum_required(VERSION 3.25)\nproject(p C)\n"
                                        "foreach(n a b c)\n  add_executable(${n} ${n}.c)\nendforeach()\n"
                                        "add_executable(slow EXCLUDE_FROM_ALL slow.c)\n"
                                        "set_target_properties(slow PROPERTIES C_COMPILER_LAUNCHER "
                                        "${CMAKE_SOURCE_DIR}/hold)\n"));
    for (const char* name : {"a.c", "b.c", "c.c", "slow.c"}) {
        ASSERT_TRUE(write(name, "int main(void) { return 0; }\n"));
    }
    ASSERT_TRUE(write(
        "hold", "#!/bin/sh\nwhile [ ! -e \"$(dirname \"$0\")/go\" ]; do sleep 0.05; done\nexec \"$@\"\n"));
    QFile::setPermissions(project.filePath("hold"),
                          QFile::permissions(project.filePath("hold")) | QFileDevice::ExeOwner);
    const auto run = [](const QString& program, const QStringList& arguments) {
        QProcess process;
        process.start(program, arguments);
        EXPECT_TRUE(process.waitForFinished(100'000)) << program.toStdString();
        return std::tuple{process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                          QString::fromUtf8(process.readAllStandardError())};
    };
    const QString build = project.filePath("build");
    ASSERT_EQ(std::get<0>(run("cmake", {"-S", project.path(), "-B", build, "-G", "Ninja"})), 0);
    const QString script = QStringLiteral(ORDELLA_SOURCE_DIR "/scripts/build");

    // Three compiles and three links: a line for each step's percentage, in order, then the end.
    const auto [code, out, err] = run(script, {build});
    EXPECT_EQ(code, 0) << err.toStdString();
    EXPECT_EQ(out.split('\n', Qt::SkipEmptyParts),
              QStringList({"Building:  16% (1 of 6 steps)", "Building:  33% (2 of 6 steps)",
                           "Building:  50% (3 of 6 steps)", "Building:  66% (4 of 6 steps)",
                           "Building:  83% (5 of 6 steps)", "Building: 100% (6 of 6 steps)", "Built."}))
        << out.toStdString();

    ASSERT_TRUE(write("b.c", "int main(void) { return missing_name; }\n"));
    const auto [failed, failedOut, failedErr] = run(script, {build, "b"});
    EXPECT_NE(failed, 0);
    EXPECT_FALSE(failedOut.contains("Built.")) << failedOut.toStdString();
    EXPECT_TRUE(failedErr.contains("missing_name")) << failedErr.toStdString();

    // A step that runs on without a line is named while it runs.
    QProcess slow;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("ORDELLA_BUILD_QUIET_SECONDS", "1");
    slow.setProcessEnvironment(environment);
    slow.start(script, {build, "slow"});
    QString shown;
    while (!shown.contains("Still building") && slow.waitForReadyRead(60'000)) {
        shown += QString::fromUtf8(slow.readAllStandardOutput());
    }
    ASSERT_TRUE(write("go", ""));
    ASSERT_TRUE(slow.waitForFinished(100'000));
    shown += QString::fromUtf8(slow.readAllStandardOutput());
    EXPECT_EQ(slow.exitCode(), 0);
    EXPECT_TRUE(shown.contains(QRegularExpression("^Still building: \\S*slow\\.c \\(\\d+ s\\)$",
                                                  QRegularExpression::MultilineOption)))
        << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("Built.\n")) << shown.toStdString();
}

} // namespace
