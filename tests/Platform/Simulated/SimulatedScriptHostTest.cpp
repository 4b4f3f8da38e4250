// The simulated script host: what it accepts, how it reads literals, and how its faults play out.
#include "Platform/Simulated/SimulatedScriptHost.h"

#include "Platform/ScriptSourceReader.h"
#include "Services/Scripting/BrowserScriptText.h"
#include "Services/Scripting/FinderScriptService.h"
#include "Support/ScriptedDesktop.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const QString kChrome = QStringLiteral("com.google.Chrome");

ScriptResult run(ScriptedDesktop& d, const QString& source) {
    auto result = d.clock().runUntilDone(d.host().run(source));
    return result ? *result : ScriptResult{};
}

int errorNumber(const ScriptResult& r) {
    return r.error ? r.error->number : 0;
}

} // namespace

TEST(ScriptSourceReader, Literals) {
    const std::pair<QString, std::optional<QString>> cases[] = {
        {R"("plain")", "plain"},          {R"("a\"b")", "a\"b"},     {R"("back\\slash")", "back\\slash"},
        {R"("\n\r\t")", "\n\r\t"},        {R"("\q")", std::nullopt}, {R"("open)", std::nullopt},
        {R"("ends in \")", std::nullopt},
    };
    for (const auto& [source, value] : cases) {
        qsizetype at = 0;
        EXPECT_EQ(ScriptSourceReader::readLiteral(source, at), value) << source.toStdString();
    }
    const auto m = ScriptSourceReader::match(uR"(set bounds of w2 to {-5, 10, 300, "x \" y"})",
                                             u"set bounds of %v to {%n, %n, %n, %s}");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->names, QStringList{"w2"});
    EXPECT_EQ(m->numbers, (QList<std::int64_t>{-5, 10, 300}));
    EXPECT_EQ(m->strings, QStringList{"x \" y"});
}

// Only the system's own texts run: a changed blank, an unknown application or a literal that was
// not escaped is a syntax error and changes nothing.
TEST(SimulatedScriptHost, RefusesWhatItDoesNotRecognise) {
    ScriptedDesktop d;
    const qint32 pid = d.addApp(kChrome, "Google Chrome");
    d.addBrowserWindow(pid, {"https://a/*"});
    const QString own = BrowserScriptText::windowCountScript(kChrome);
    ASSERT_EQ(run(d, own).descriptor, ScriptDescriptor::integer(1));
    const QStringList others{
        QString(own).replace("    return", "   return"),
        QString(own).replace("Google Chrome", "Google Chrome Beta"),
        QStringLiteral("tell application \"Google Chrome\"\n    close every window\n    do shell script "
                       "\"x\"\nend tell"),
        QStringLiteral("tell application \"Google Chrome\"\n    set URL of active tab of window 1 to \"x\" & "
                       "(do shell script \"say hi\") & \"\"\nend tell"),
        // The Chromium words mean nothing to the other dialect.
        BrowserScriptText::tabListingScript(kChrome).replace("Google Chrome", "Safari"),
        // The blank-page addresses are checked one by one, in their order, and a local file is none.
        BrowserScriptText::closeEmptyWindowsScript(kChrome).replace("\"safari://new-tab-page\"",
                                                                    "\"safari://new-tab\""),
        BrowserScriptText::closeEmptyWindowsScript(kChrome).replace(
            " or u starts with \"safari://new-tab-page\"", ""),
        BrowserScriptText::closeEmptyWindowsScript(kChrome).replace(
            "\"safari://new-tab-page\"", "\"safari://new-tab-page\" or u starts with \"file://\""),
        BrowserScriptText::closeEmptyWindowsScript(kChrome)
            .replace("\"about:blank\"", "\"@\"")
            .replace("\"about:newtab\"", "\"about:blank\"")
            .replace("\"@\"", "\"about:newtab\""),
    };
    for (const QString& text : others) {
        EXPECT_EQ(errorNumber(run(d, text)), -2741) << text.toStdString();
    }
    EXPECT_EQ(d.host().rejectedScripts(), others);
    EXPECT_EQ(d.browserWindows(pid), (QList<QStringList>{{"https://a/*"}}));
}

TEST(SimulatedScriptHost, HungScriptsWaitForReleaseAndAbsentAppsFail) {
    ScriptedDesktop d;
    d.addApp(kChrome, "Google Chrome");
    const QString count = BrowserScriptText::windowCountScript(kChrome);
    d.host().setBehaviour("Google Chrome", SimulatedScriptHost::hang());
    auto hung = [](SimulatedScriptHost* host, QString s) -> QCoro::Task<ScriptResult> {
        co_return co_await host->run(s);
    }(&d.host(), count);
    d.clock().advanceBy(1h);
    EXPECT_EQ(d.host().hungScriptCount(), 1);
    d.host().setBehaviour("Google Chrome", std::nullopt);
    d.host().releaseHungScripts();
    auto released = d.clock().runUntilDone(std::move(hung));
    ASSERT_TRUE(released);
    EXPECT_EQ(released->descriptor, ScriptDescriptor::integer(0));

    // Not running: the application's own error.
    EXPECT_EQ(errorNumber(run(d, BrowserScriptText::windowCountScript("com.apple.Safari"))), -600);
}

// Outside a "try" the first failing line ends the script; inside one the script goes on.
TEST(SimulatedScriptHost, TryBlocksAreHonoured) {
    ScriptedDesktop d;
    const qint32 finder = d.addApp("com.apple.finder", "Finder");
    d.host().addFolder("/a");
    d.host().addFolder("/c/");
    const QString unguarded = "tell application \"Finder\"\n"
                              "set w0 to make new Finder window to (POSIX file \"/a\" as alias)\n"
                              "set w1 to make new Finder window to (POSIX file \"/b\" as alias)\n"
                              "set w2 to make new Finder window to (POSIX file \"/c\" as alias)\n"
                              "end tell";
    const ScriptResult stopped = run(d, unguarded);
    ASSERT_TRUE(stopped.error);
    EXPECT_EQ(stopped.error->number, -1700);
    EXPECT_EQ(d.windowsFrontToBack(finder).size(), 1);

    const ScriptResult guarded = run(d, FinderScriptService::batchRestoreScript({"/a", "/b", "/c"}, {}));
    EXPECT_FALSE(guarded.error);
    EXPECT_EQ(d.windowsFrontToBack(finder).size(), 2);
}
