#include "Services/Restore/OpenedWindows.h"

#include <QMap>

#include <gtest/gtest.h>

namespace {

WindowSnapshot saved(const std::optional<QString>& document, const std::optional<QString>& title = {}) {
    WindowSnapshot window;
    window.id = QUuid::createUuid();
    window.documentURL = document;
    window.windowTitle = title;
    return window;
}

// Windows 1 and 2 were there before; the rest came with the documents handed over.
TEST(OpenedWindows, AreTheirDocumentsWindowsWhenTheyCanBeToldFromTheApplicationsOwn) {
    const QList<WindowSnapshot> windows{saved("file:///home/u/evil.sh"),
                                        saved("file:///home/u"),
                                        saved({}),
                                        saved("file:///home/u/a.txt"),
                                        saved("file:///home/u/a.txt.bak", "Backup"),
                                        saved("file:///home/u/b.txt", "notes a.txt.bak")};
    const QSet<AXElement> before{AXElement{1}, AXElement{2}};
    const struct {
        const char* name;
        QList<OpenedWindows::Shown> live;
        QStringList handed;
        // Live window -> the saved windows (by position) it is for.
        QMap<quint64, QList<int>> expected;
    } cases[] = {
        {"one window for the one folder handed", {{1}, {2}, {3}}, {"file:///home/u"}, {{3, {1}}}},
        {"nothing handed: the new window is anyone's", {{1}, {3}}, {}, {}},
        {"more windows than documents: the application's own among them", {{3}, {4}}, {"file:///home/u"}, {}},
        {"each window its own document's, in any order",
         {{{3}, "file:///home/u/a.txt.bak", {}}, {{4}, "file:///home/u/a.txt", {}}},
         {"file:///home/u/a.txt", "file:///home/u/a.txt.bak"},
         {{3, {4}}, {4, {3}}}},
        {"by title; one that names neither is no one's",
         {{{3}, {}, "a.txt.bak - Editor"}, {{4}, {}, "Backup"}, {{5}, {}, "Editor"}, {{6}, {}, "a.txt"}},
         {"file:///home/u/a.txt", "file:///home/u/a.txt.bak"},
         {{3, {4}}, {4, {4}}, {6, {3}}}},
        {"a file name counts only as a whole word of a title",
         {{{3}, {}, "xa.txt - Editor"}, {{4}, {}, "Editor"}},
         {"file:///home/u/a.txt"},
         {}},
        {"a file name that goes on into a longer word is not named",
         {{{3}, {}, "a.txt2 - Editor"}, {{4}, {}, "Editor"}},
         {"file:///home/u/a.txt"},
         {}},
        {"a document's saved title before a longer file name it names",
         {{{3}, {}, "notes a.txt.bak"}},
         {"file:///home/u/a.txt.bak", "file:///home/u/b.txt"},
         {{3, {5}}}},
        {"a title naming two documents alike is no one's",
         {{{3}, {}, "a.txt, b.txt"}, {{4}, {}, "Editor"}},
         {"file:///home/u/a.txt", "file:///home/u/b.txt"},
         {}},
    };
    for (const auto& c : cases) {
        QHash<AXElement, QSet<QUuid>> expected;
        for (auto it = c.expected.begin(); it != c.expected.end(); ++it) {
            for (const int i : it.value()) {
                expected[AXElement{it.key()}].insert(windows[i].id);
            }
        }
        EXPECT_EQ(OpenedWindows::forDocuments(c.live, before, windows, c.handed), expected) << c.name;
    }
}

} // namespace
