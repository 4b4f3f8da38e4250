// The file manager's restore script (which lines each saved folder gives) and the reading of its
// window list. The other texts are held by the simulated script host.
#include "Services/Scripting/FinderScriptService.h"

#include "Support/ScriptTestHelpers.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using D = ScriptDescriptor;
using Info = FinderScriptService::FinderWindowInfo;

} // namespace

TEST(FinderScriptText, BatchRestoreWrapsEachFolderInTry) {
    const QList<SnapshotRect> frames{{100, 50, 800, 600}, {0, 0, std::nan(""), 10}};
    EXPECT_EQ(FinderScriptService::batchRestoreScript({"/a", "/b \"q\"\\", "/c\n\t"}, frames),
              QString(R"(tell application "Finder"
close every window
try
set newWindow0 to make new Finder window to (POSIX file "/a" as alias)
set bounds of newWindow0 to {100, 50, 900, 650}
end try
try
set newWindow1 to make new Finder window to (POSIX file "/b \"q\"\\" as alias)
end try
try
set newWindow2 to make new Finder window to (POSIX file "/c" as alias)
end try
end tell)"));
    EXPECT_EQ(FinderScriptService::batchRestoreScript({}, {}),
              "tell application \"Finder\"\nclose every window\nend tell");
}

TEST(FinderScriptText, ParsesWindowList) {
    const auto L = [](QList<D> items) { return D::list(std::move(items)); };
    const auto I = [](int v) { return D::integer(v); };
    const D answer = L({
        L({D::text("/Users/me/"), L({I(100), I(50), I(900), I(650)}), D::text("me")}),
        L({D::text("/tmp/"), L({I(0), I(0), I(10)}), D::text("short bounds")}),
        L({D::text("")}),
        L({D::text(""), L({I(0), I(0), I(10), I(10)})}),
        L({D::text("/opt/"), L({I(0), I(0), I(10), I(10)}), D::missing()}),
        L({D::text("/huge/"), L({I(-2147483647), I(0), I(2147483647), I(10)})}),
        D::text("not a window"),
    });
    const QList<Info> expected{{"/Users/me/", {100, 50, 800, 600}, "me"},
                               {"/opt/", {0, 0, 10, 10}, std::nullopt}};
    EXPECT_EQ(FinderScriptService::parseWindowResult(answer), expected);
    EXPECT_TRUE(FinderScriptService::parseWindowResult(L({})).isEmpty());
}
