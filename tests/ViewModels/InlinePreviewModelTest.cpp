#include "ViewModels/AppRestorePreviewRowModel.h"
#include "ViewModels/WorkspacePreviewInlineModel.h"

#include "Support/SnapshotBuilders.h"

#include <gtest/gtest.h>

using namespace Snapshots;

namespace {

const QString chrome = "com.google.Chrome";
const QString editor = "org.example.Editor";

WindowSnapshot minimized(WindowSnapshot w) {
    w.isMinimized = true;
    return w;
}

AppSnapshot hidden(AppSnapshot a) {
    a.isHidden = true;
    return a;
}

QStringList texts(const QVariantList& lines, const char* key) {
    QStringList list;
    for (const QVariant& line : lines) {
        list << line.toMap().value(key).toString();
    }
    return list;
}

} // namespace

TEST(InlinePreviewModel, SummaryCountsAppsWindowsAndTabsLeavingOutZeros) {
    const struct {
        Workspace workspace;
        QString summary;
    } cases[] = {
        {workspace({}), "No items to restore"},
        {workspace({app(editor), app("org.example.Mail")}), "2 apps"},
        {workspace({app(chrome, {window("w", {}, {tab("https://a.example")})})}), "1 app • 1 window • 1 tab"},
        {workspace({app(editor, {window("a", "file:///a.txt"), window("b", "file:///b.txt")})}),
         "1 app • 2 windows"},
        {workspace({app(chrome, {window("1", {}, {tab("https://a"), tab("https://b"), tab("https://c")}),
                                 window("2", {}, {tab("https://d")})}),
                    app(editor, {window("a", "file:///a.txt"), window("b")}),
                    app("org.example.Mail", {window()})}),
         "3 apps • 5 windows • 4 tabs"},
    };
    for (const auto& c : cases) {
        WorkspacePreviewInlineModel model(c.workspace);
        EXPECT_EQ(model.summaryText(), c.summary);
        EXPECT_EQ(model.hasApps(), !c.workspace.appSnapshots.isEmpty());
        EXPECT_EQ(model.rows().size(), c.workspace.appSnapshots.size());
    }
}

TEST(InlinePreviewModel, ColoursFollowTheStoredIndexAndBackCloses) {
    Workspace w = workspace({});
    w.gradientIndex = 35; // read modulo the 32 pairs
    WorkspacePreviewInlineModel model(w);
    w.gradientIndex = 3;
    WorkspacePreviewInlineModel same(w);
    EXPECT_EQ(model.gradientStart(), same.gradientStart());
    EXPECT_EQ(model.gradientEnd(), same.gradientEnd());
    int closed = 0;
    QObject::connect(&model, &WorkspacePreviewInlineModel::closeRequested, [&closed] { ++closed; });
    model.close();
    EXPECT_EQ(closed, 1);
}

TEST(AppRestorePreviewRowModel, BadgeShowsStateOnlyWhereNothingIsReopened) {
    using Kind = PreviewBadge::Kind;
    const struct {
        AppSnapshot app;
        Kind badge;
    } cases[] = {
        {hidden(app(editor, {window("a", "file:///a.txt")})), Kind::None}, // documents win over hidden
        {hidden(app(chrome, {window()})), Kind::None},
        {hidden(app("org.example.Mail", {window()})), Kind::Hidden},
        {app("org.example.Mail", {minimized(window())}), Kind::Minimized},
        {app("org.example.Mail", {minimized(window()), window()}), Kind::None},
        {app("org.example.Mail"), Kind::None},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AppRestorePreviewRowModel(c.app).badge(), c.badge) << c.app.bundleIdentifier.toStdString();
    }
}

TEST(AppRestorePreviewRowModel, BrowserListsEveryTabWithItsWindowState) {
    TabSnapshot untitled = tab("https://b.example/x");
    untitled.title = "";
    AppRestorePreviewRowModel row(
        app(chrome, {window("empty"), minimized(window("1", {}, {tab("https://a.example"), untitled})),
                     window("2", {}, {tab("https://c.example")})}));
    EXPECT_EQ(row.detail(), AppRestorePreviewRowModel::Detail::Tabs);
    EXPECT_EQ(row.windowCount(), 3);
    const QVariantList tabs = row.tabs();
    EXPECT_EQ(texts(tabs, "title"), QStringList({"https://a.example", "Untitled", "https://c.example"}));
    EXPECT_EQ(texts(tabs, "isUntitled"), QStringList({"false", "true", "false"}));
    EXPECT_EQ(texts(tabs, "isMinimized"), QStringList({"true", "true", "false"}));
    EXPECT_TRUE(row.documents().isEmpty());

    AppRestorePreviewRowModel bare(app(chrome, {window("no tabs")}));
    EXPECT_EQ(bare.detail(), AppRestorePreviewRowModel::Detail::Tabs);
    EXPECT_TRUE(bare.tabs().isEmpty());
}

TEST(AppRestorePreviewRowModel, DocumentsShowFourThenCountTheRest) {
    const auto documents = [](int n) {
        QList<WindowSnapshot> windows;
        for (int i = 1; i <= n; ++i) {
            windows << window("w", QString("file:///home/demo/My%20Notes%1.txt").arg(i));
        }
        return windows;
    };
    const struct {
        int count;
        int shown;
        QString more;
    } cases[] = {{1, 1, ""}, {4, 4, ""}, {5, 4, "+ 1 more files"}, {7, 4, "+ 3 more files"}};
    for (const auto& c : cases) {
        AppRestorePreviewRowModel row(app(editor, documents(c.count)));
        EXPECT_EQ(row.detail(), AppRestorePreviewRowModel::Detail::Documents);
        EXPECT_EQ(row.documents().size(), c.shown) << c.count;
        EXPECT_EQ(row.moreFilesText(), c.more) << c.count;
    }
    // An address that does not read is left out of the list and the count, not of the pill.
    QList<WindowSnapshot> windows = documents(5);
    windows[0].documentURL = "http://[broken";
    windows[1] = minimized(windows[1]);
    AppRestorePreviewRowModel row(app(editor, windows));
    EXPECT_EQ(row.windowCount(), 5);
    EXPECT_EQ(texts(row.documents(), "name"),
              QStringList({"My Notes2.txt", "My Notes3.txt", "My Notes4.txt", "My Notes5.txt"}));
    EXPECT_EQ(texts(row.documents(), "isMinimized").first(), "true");
    EXPECT_EQ(row.moreFilesText(), "");
}
