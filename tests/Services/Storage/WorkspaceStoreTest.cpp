#include "Services/Storage/WorkspaceStore.h"
#include "Models/WorkspaceJson.h"
#include "Support/DiagnosticsCapture.h"
#include "Support/FullDisk.h"
#include "Support/TestPlatform.h"
#include "Support/WorkspaceSamples.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalServer>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <sys/stat.h>

using namespace std::chrono_literals;

namespace {

// Each test starts with an empty data folder (inside the temporary home of the test run) and a
// virtual clock at a known wall time.
class WorkspaceStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        QDir(folder()).removeRecursively();
        QFile::remove(folder());
        m_platform.clock().setWallNow(WorkspaceSamples::date(100000));
    }

    static QString folder() { return WorkspaceStore::defaultStorageDirectory(); }
    static QString pathOf(const QString& name) { return QDir(folder()).filePath(name); }
    static QString fileOf(const Workspace& w) { return pathOf(WorkspaceJson::uuidString(w.id) + ".json"); }

    static void writeRaw(const QString& name, const QByteArray& data) {
        QDir().mkpath(QFileInfo(pathOf(name)).path());
        QFile file(pathOf(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
    }
    static void writeWorkspace(const QString& name, const Workspace& w) {
        writeRaw(name, WorkspaceJson::encodeFile(w).value());
    }
    static std::optional<Workspace> readFile(const QString& path) {
        QFile file(path);
        auto decoded = WorkspaceJson::decodeFile(file.open(QIODevice::ReadOnly) ? file.readAll() : "");
        return decoded ? std::optional(decoded.value()) : std::nullopt;
    }
    static QStringList names(const WorkspaceStore& store) {
        QStringList out;
        for (const Workspace& w : store.workspaces()) {
            out.append(w.name);
        }
        return out;
    }
    static QStringList files() {
        return QDir(folder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    // Three stored workspaces, saved an hour apart: C newest, so the list reads C, B, A.
    void saveThree(WorkspaceStore& store) {
        for (const char* name : {"A", "B", "C"}) {
            store.save(WorkspaceSamples::plain(QLatin1String(name), WorkspaceSamples::date(0)));
            m_platform.clock().advanceBy(1h);
        }
    }
    // Counts the change notifications of store from now on.
    int& countChanges(WorkspaceStore& store) {
        m_changes = 0;
        QObject::connect(&store, &WorkspaceStore::workspacesChanged, &store, [this] { ++m_changes; });
        return m_changes;
    }

    QDateTime now() { return m_platform.clock().wallNow(); }

    TestPlatform m_platform;
    DiagnosticsCapture m_diagnostics;
    int m_changes = 0;
};

} // namespace

TEST_F(WorkspaceStoreTest, LoadsEveryReadableJsonFileNewestFirst) {
    const Workspace older = WorkspaceSamples::plain("Older", WorkspaceSamples::date(10));
    Workspace copy = older; // the same id in a file of another name
    copy.name = "Copy";
    copy.updatedAt = WorkspaceSamples::date(5);
    const Workspace newer = WorkspaceSamples::plain("Newer", WorkspaceSamples::date(20));
    writeWorkspace(WorkspaceJson::uuidString(older.id) + ".json", older);
    writeWorkspace("copy.json", copy);
    writeWorkspace("copied under another name.json", newer);
    writeWorkspace(".hidden.json", WorkspaceSamples::plain("Hidden", WorkspaceSamples::date(15)));
    for (const char* name : {"upper.JSON", "backup.json.bak", "sub/deep.json"}) {
        writeWorkspace(name, WorkspaceSamples::plain("Not loaded", WorkspaceSamples::date(30)));
    }
    writeRaw("broken.json", "{\"id\":");
    writeRaw("list.json", "[]");
    writeRaw("RestorationAnalysis.log", "log");
    QDir(folder()).mkpath("nested.json");
    // Odd entries are skipped unread, each with its reason: a link to a device, a FIFO, a socket,
    // links that lead nowhere or loop, and a file beyond the size limit (here a valid workspace
    // padded with blanks).
    ASSERT_TRUE(QFile::link("/dev/null", pathOf("z.json")));
    ASSERT_EQ(mkfifo(QFile::encodeName(pathOf("fifo.json")).constData(), 0600), 0);
    QLocalServer socket;
    ASSERT_TRUE(socket.listen(pathOf("socket.json")));
    ASSERT_TRUE(QFile::link(pathOf("gone"), pathOf("dangling.json")));
    ASSERT_TRUE(QFile::link(pathOf("loop.json"), pathOf("loop.json")));
    writeRaw("huge.json",
             WorkspaceJson::encodeFile(WorkspaceSamples::plain("Huge", WorkspaceSamples::date(40)))
                 .value()
                 .append(QByteArray(64 * 1024 * 1024, ' ')));

    WorkspaceStore store;
    EXPECT_EQ(store.storageDirectory(), QDir::homePath() + "/data/Ordella");
    EXPECT_EQ(names(store), (QStringList{"Newer", "Hidden", "Older", "Copy"}));
    for (const char* line : {"[WorkspaceStore.load] Skipped broken.json",
                             "[WorkspaceStore.load] Skipped z.json: not a regular file: a device",
                             "[WorkspaceStore.load] Skipped nested.json: not a regular file: a folder",
                             "[WorkspaceStore.load] Skipped fifo.json: not a regular file: a FIFO",
                             "[WorkspaceStore.load] Skipped socket.json: not a regular file: a socket",
                             "[WorkspaceStore.load] Skipped dangling.json: not a regular file: a link that "
                             "leads nowhere",
                             "[WorkspaceStore.load] Skipped loop.json: not a regular file: a link that loops",
                             "[WorkspaceStore.load] Skipped huge.json: larger than 64 MB"}) {
        EXPECT_TRUE(m_diagnostics.lines().join('\n').contains(line)) << line;
    }
    QFile::remove(pathOf("huge.json"));

    // The next write of a differently named file goes to the file named after its id.
    ASSERT_TRUE(store.save(store.workspaces().first()));
    EXPECT_TRUE(QFile::exists(fileOf(newer)));
    EXPECT_TRUE(QFile::exists(pathOf("copied under another name.json")));

    // Of two entries with one id, save replaces the first only; delete removes both entries and
    // both files they came from, so the workspace stays deleted after a restart.
    Workspace changed = older;
    changed.name = "Changed";
    m_platform.clock().setWallNow(WorkspaceSamples::date(1)); // older than all: sorts last
    store.save(changed);
    EXPECT_EQ(names(store), (QStringList{"Newer", "Hidden", "Copy", "Changed"}));
    EXPECT_TRUE(store.deleteWorkspace(older));
    EXPECT_EQ(names(store), (QStringList{"Newer", "Hidden"}));
    EXPECT_FALSE(QFile::exists(fileOf(older)));
    EXPECT_FALSE(QFile::exists(pathOf("copy.json")));
    EXPECT_TRUE(QFile::exists(pathOf("copied under another name.json")));
    // Newer twice: its save wrote the file named after its id beside the one it came from.
    EXPECT_EQ(names(WorkspaceStore()), (QStringList{"Newer", "Newer", "Hidden"}));
}

// A "<UUID>.json" that could not be read at start may be all the user has of that workspace: no
// import, save, rename or delete writes over it or removes it.
TEST_F(WorkspaceStoreTest, FilesThatCouldNotBeReadStayAsTheyAre) {
    struct Row {
        char op;     // import, save, rename or delete (of a copy listed from "copy.json")
        bool folder; // the unread file is a folder, else a workspace cut short
        // Else a whole workspace of more windows and tabs than the loaded ones may hold together.
        bool pastTheBound = false;
    };
    for (const Row& row : {Row{'i', false}, Row{'i', true}, Row{'s', false}, Row{'r', true}, Row{'d', false},
                           Row{'s', false, true}, Row{'d', false, true}}) {
        SCOPED_TRACE(std::string(1, row.op) + (row.folder ? " folder" : "") +
                     (row.pastTheBound ? " bound" : ""));
        SetUp();
        const Workspace workspace = WorkspaceSamples::plain("Kept", WorkspaceSamples::date(10));
        const QString unread = pathOf(WorkspaceJson::uuidString(workspace.id) + ".json");
        Workspace large = workspace;
        large.appSnapshots = {
            AppSnapshot{QUuid::createUuid(), "org.example.Browser", "Browser", {{}}, false}};
        large.appSnapshots[0].windowSnapshots[0].tabSnapshots.resize(WorkspaceStore::kMostParts);
        const QByteArray cut = row.pastTheBound ? WorkspaceJson::encodeFile(large).value()
                                                : WorkspaceJson::encodeFile(workspace).value().chopped(20);
        row.folder ? void(QDir().mkpath(unread + "/inside")) : writeRaw(QFileInfo(unread).fileName(), cut);
        const bool copy = row.op == 'r' || row.op == 'd';
        if (copy) {
            writeWorkspace("copy.json", workspace);
        }
        WorkspaceStore store;
        EXPECT_TRUE(row.op == 'i'
                        ? store.importWorkspaces(WorkspaceJson::encodeList({workspace}).value()).ok()
                    : row.op == 's' ? store.save(workspace)
                    : row.op == 'r' ? store.rename(workspace, "Renamed")
                                    : store.deleteWorkspace(workspace));
        QFile file(unread);
        EXPECT_EQ(row.folder ? QFileInfo(unread + "/inside").isDir()
                             : file.open(QIODevice::ReadOnly) && file.readAll() == cut,
                  true);
        // After a restart: an added workspace under a new id, a renamed copy in its own file.
        const QList<Workspace> after = WorkspaceStore().workspaces();
        EXPECT_EQ(after.size(), row.op == 'd' ? 0 : 1);
        if (!after.isEmpty()) {
            EXPECT_EQ(after.first().id == workspace.id, copy);
            EXPECT_EQ(after.first(), store.workspaces().first());
        }
        EXPECT_EQ(QFile::exists(pathOf("copy.json")), row.op == 'r');
    }
}

TEST_F(WorkspaceStoreTest, ManyFilesLoadInListingOrder) {
    // Enough files to be read on several threads; equal dates keep the order of the file names.
    QStringList expected;
    // The files together are read within their bounds, in the order of their names whichever thread
    // reads them first: of two large ones, and of two with many tabs, the second is skipped.
    for (int i = 0; i < 120; ++i) {
        const QString name = QStringLiteral("%1").arg(i, 3, 10, QLatin1Char('0'));
        Workspace w = WorkspaceSamples::full();
        w.name = name;
        if (i == 115 || i == 116) {
            w.appSnapshots[0].windowSnapshots[0].tabSnapshots.resize(i == 115 ? 60000 : 50000);
        }
        const QByteArray padding(i == 117 || i == 118 ? WorkspaceStore::kMostFileBytes / 2 : 0, ' ');
        writeRaw(name + ".json",
                 i % 10 == 3 ? "{\"id\": \"broken\"}" : WorkspaceJson::encodeFile(w).value() + padding);
        if (i % 10 != 3 && i != 116 && i != 118) {
            expected.append(name);
        }
    }
    WorkspaceStore store;
    EXPECT_EQ(names(store), expected);
    ASSERT_EQ(m_diagnostics.lines().size(), 14);
    EXPECT_EQ(m_diagnostics.lines().at(12),
              "[WorkspaceStore.load] Skipped 116.json: its windows and tabs would "
              "take the workspaces loaded past 100,000 windows and tabs");
    EXPECT_TRUE(m_diagnostics.lines().at(13).startsWith(
        "[WorkspaceStore.load] Skipped 118.json: the workspace files read before it left "))
        << m_diagnostics.lines().at(13).toStdString();
    EXPECT_EQ(
        m_diagnostics.lines().at(0).toStdString(),
        "[WorkspaceStore.load] Skipped 003.json: id: Attempted to decode UUID from invalid UUID string.");
    EXPECT_TRUE(m_diagnostics.lines().at(11).startsWith("[WorkspaceStore.load] Skipped 113.json: "));
}

TEST_F(WorkspaceStoreTest, SaveStampsReplacesAndWrites) {
    WorkspaceStore store;
    int& changes = countChanges(store);
    saveThree(store);
    EXPECT_EQ(names(store), (QStringList{"C", "B", "A"}));
    EXPECT_EQ(changes, 3);

    Workspace full = WorkspaceSamples::full();
    full.id = store.workspaces().at(2).id; // replaces A
    ASSERT_TRUE(store.save(full));
    EXPECT_EQ(names(store), (QStringList{"Client Work", "C", "B"}));
    full.updatedAt = now();
    EXPECT_EQ(readFile(fileOf(full)), full);

    // A new store reads back what the first one wrote, in the same order.
    EXPECT_EQ(WorkspaceStore().workspaces(), store.workspaces());
}

TEST_F(WorkspaceStoreTest, RenameFreezesTheLookOfTheOldName) {
    WorkspaceStore store;
    saveThree(store);
    const Workspace b = store.workspaces().at(1);
    ASSERT_TRUE(store.rename(b, "Design"));
    ASSERT_TRUE(store.rename(store.workspaces().at(1), "Music"));
    const Workspace renamed = store.workspaces().at(1);
    EXPECT_EQ(renamed.name, "Music");
    EXPECT_EQ(renamed.iconName, b.resolvedIconName());
    EXPECT_EQ(renamed.gradientIndex, b.resolvedGradientIndex());
    EXPECT_EQ(renamed.updatedAt, now());
    EXPECT_EQ(names(store), (QStringList{"C", "Music", "A"})); // not re-sorted
    EXPECT_EQ(readFile(fileOf(renamed)), renamed);

    // A colour index the caller holds is kept, mapped into range.
    Workspace a = store.workspaces().at(2);
    a.gradientIndex = -1;
    store.rename(a, "Elsewhere");
    EXPECT_EQ(store.workspaces().at(2).gradientIndex, 31);
}

TEST_F(WorkspaceStoreTest, UpdatesChangeOneFieldInPlace) {
    WorkspaceStore store;
    saveThree(store);
    const Workspace third = store.workspaces().at(2);
    const Workspace full = WorkspaceSamples::full();
    const WorkspaceTrigger display{QUuid::createUuid(), WorkspaceTrigger::DisplayConnected{"U", "Desk"}};
    const GlobalKeyShortcut shortcut{1, GlobalKeyShortcut::controlFlag, "⌃S"};
    const std::function<bool(const Workspace&)> operations[] = {
        [&](auto& w) { return store.updateIcon(w, QString("star")); },
        [&](auto& w) { return store.updateGradient(w, 3); },
        [&](auto& w) { return store.updateGlobalShortcut(w, shortcut); },
        [&](auto& w) { return store.updateCloseOtherApps(w, true); },
        [&](auto& w) { return store.updateSnapshots(w, full.appSnapshots, full.displaySnapshots); },
        [&](auto& w) { return store.updateRestoreAfterLogin(w, true); },
        [&](auto& w) { return store.addTrigger(w, display) && store.addTrigger(w, display); },
        [&](auto& w) { return store.removeTrigger(w, QUuid::createUuid()); }, // stamps all the same
    };
    int& changes = countChanges(store);
    for (const auto& operation : operations) {
        m_platform.clock().advanceBy(1s);
        ASSERT_TRUE(operation(third));
        EXPECT_GE(changes, 1);
        const Workspace stored = store.workspaces().at(2);
        EXPECT_EQ(stored.id, third.id); // stays third although now the newest
        EXPECT_EQ(stored.updatedAt, now());
        EXPECT_EQ(readFile(fileOf(stored)), stored);

        // A workspace that is no longer listed: nothing happens.
        const Workspace gone = WorkspaceSamples::plain("Gone", now());
        changes = 0;
        EXPECT_TRUE(operation(gone));
        EXPECT_EQ(changes, 0);
        EXPECT_FALSE(QFile::exists(fileOf(gone)));
    }
    const Workspace stored = store.workspaces().at(2);
    EXPECT_EQ(stored.iconName, "star");
    EXPECT_EQ(stored.gradientIndex, 3);
    EXPECT_EQ(stored.globalShortcut, shortcut);
    EXPECT_TRUE(stored.closeOtherApps);
    EXPECT_EQ(stored.appSnapshots, full.appSnapshots);
    EXPECT_EQ(stored.displaySnapshots, full.displaySnapshots);
    EXPECT_TRUE(stored.triggers.first().isLogin());
    EXPECT_EQ(stored.triggers.mid(1), (QList<WorkspaceTrigger>{display, display}));

    // The next save re-sorts: the saved one first, the updated one second.
    store.save(store.workspaces().at(1));
    EXPECT_EQ(names(store), (QStringList{"B", "A", "C"}));
}

TEST_F(WorkspaceStoreTest, ExportAndImport) {
    WorkspaceStore store;
    saveThree(store);
    const auto exported = store.exportAllWorkspaces();
    ASSERT_TRUE(exported.ok());
    EXPECT_EQ(QJsonDocument::fromJson(exported.value()).array().at(0).toObject().value("name"), "C");
    EXPECT_TRUE(exported.value().contains("\"appSnapshots\": [\n        ],\n        \"closeOtherApps\""));

    // Importing the store's own export adds nothing, but it sorts a list that an update left out
    // of order, and observers hear of it.
    store.updateIcon(store.workspaces().at(2), QString("star"));
    int& changes = countChanges(store);
    const auto own = store.importWorkspaces(exported.value());
    ASSERT_TRUE(own.ok());
    EXPECT_EQ(own.value().added, 0);
    EXPECT_EQ(own.value().skipped, 3);
    EXPECT_EQ(names(store), (QStringList{"A", "C", "B"}));
    EXPECT_EQ(changes, 1);

    // New ids are added once (the first), keep their dates and sort among the others.
    Workspace middle = WorkspaceSamples::plain("Middle", store.workspaces().at(1).updatedAt.addSecs(-60));
    Workspace repeat = middle;
    repeat.name = "Repeat";
    const auto imported =
        store.importWorkspaces(WorkspaceJson::encodeList({middle, repeat, store.workspaces().at(0)}).value());
    ASSERT_TRUE(imported.ok());
    EXPECT_EQ(imported.value().added, 1);
    EXPECT_EQ(imported.value().skipped, 2);
    EXPECT_TRUE(imported.value().allWritten);
    EXPECT_EQ(names(store), (QStringList{"A", "C", "Middle", "B"}));
    EXPECT_EQ(readFile(fileOf(middle)), middle);
}

TEST_F(WorkspaceStoreTest, HostileImportsChangeNothing) {
    WorkspaceStore store;
    saveThree(store);
    const QList<Workspace> before = store.workspaces();
    const QStringList filesBefore = files();
    const QJsonObject good = WorkspaceJson::encode(WorkspaceSamples::full()).value();
    QJsonObject escaping = good;
    escaping["id"] = "../../../../tmp/escaped";
    QJsonObject braces = good;
    braces["id"] = "{" + good.value("id").toString() + "}";
    // More windows and tabs than the workspaces loaded may hold together, with those listed.
    Workspace large = WorkspaceSamples::full();
    QList<TabSnapshot>& tabs = large.appSnapshots[0].windowSnapshots[0].tabSnapshots;
    tabs.resize(tabs.size() + WorkspaceStore::kMostParts - WorkspaceStore::partsOf(large) + 1);
    const QByteArray cases[] = {
        WorkspaceJson::encodeList({large}).value(),
        QJsonDocument(QJsonArray{good, escaping}).toJson(),
        QJsonDocument(QJsonArray{braces}).toJson(),
        QJsonDocument(good).toJson(),
        QJsonDocument(QJsonArray{good}).toJson().replace("\"width\": 1280", "\"width\": 1e999"),
        "[" + QByteArray(5000, '['),
        "not json at all",
        "",
        "null",
        "[1]",
        "[{}]",
        "\"text\"",
    };
    for (const QByteArray& data : cases) {
        SCOPED_TRACE(data.left(60).toStdString());
        const auto result = store.importWorkspaces(data);
        EXPECT_FALSE(result.ok());
        EXPECT_FALSE(result.error().description().isEmpty());
        EXPECT_EQ(store.workspaces(), before);
        EXPECT_EQ(files(), filesBefore);
    }
    EXPECT_FALSE(QFile::exists("/tmp/escaped.json"));
}

TEST_F(WorkspaceStoreTest, DeleteAllLeavesOtherFiles) {
    writeRaw("RestorationAnalysis.log", "log");
    writeRaw("broken.json", "[]");
    WorkspaceStore store;
    saveThree(store);
    int& changes = countChanges(store);
    EXPECT_TRUE(store.deleteAll());
    EXPECT_TRUE(store.workspaces().isEmpty());
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(files(), (QStringList{"RestorationAnalysis.log", "broken.json"}));
    EXPECT_TRUE(store.deleteWorkspace(WorkspaceSamples::plain("Never stored", now()))); // no file: fine
}

TEST_F(WorkspaceStoreTest, FailedWritesAndRemovalsAreReported) {
    WorkspaceStore store;
    saveThree(store);
    const Workspace a = store.workspaces().at(2);
    const Workspace blocked = WorkspaceSamples::plain("Blocked", now());
    const Workspace fine = WorkspaceSamples::plain("Fine", now());
    // A folder standing where the file must go (permission bits mean nothing to root).
    ASSERT_TRUE(QDir().mkpath(fileOf(blocked)));
    const auto lastLine = [this] { return m_diagnostics.lines().value(m_diagnostics.lines().size() - 1); };

    m_diagnostics.clear();
    EXPECT_FALSE(store.save(blocked));
    EXPECT_EQ(store.workspaces().first().name, "Blocked"); // the change stands in memory
    EXPECT_EQ(m_diagnostics.lines().size(), 1);
    EXPECT_TRUE(lastLine().startsWith("[WorkspaceStore.save] Could not write "));
    EXPECT_FALSE(store.rename(blocked, "Still blocked"));
    EXPECT_TRUE(lastLine().startsWith("[WorkspaceStore.rename] "));
    EXPECT_FALSE(store.deleteWorkspace(blocked));
    EXPECT_TRUE(lastLine().startsWith("[WorkspaceStore.delete] Could not remove "));

    const auto imported = store.importWorkspaces(WorkspaceJson::encodeList({blocked, fine}).value());
    ASSERT_TRUE(imported.ok());
    EXPECT_EQ(imported.value().added, 2);
    EXPECT_FALSE(imported.value().allWritten);
    EXPECT_TRUE(lastLine().startsWith("[WorkspaceStore.importWorkspaces] Could not write "));
    EXPECT_TRUE(QFile::exists(fileOf(fine)));

    // A number JSON cannot hold is refused: the old file stays as it was.
    Workspace broken = a;
    broken.name = "Broken";
    broken.appSnapshots = WorkspaceSamples::full().appSnapshots;
    broken.appSnapshots[0].windowSnapshots[0].frame.x = std::nan("");
    EXPECT_FALSE(store.save(broken));
    EXPECT_TRUE(lastLine().startsWith("[WorkspaceStore.save] Could not encode \"Broken\""));
    EXPECT_EQ(readFile(fileOf(a)), a);
    EXPECT_FALSE(store.exportAllWorkspaces().ok());

    EXPECT_FALSE(store.deleteAll()); // the blocked one is listed again
    EXPECT_TRUE(lastLine().startsWith("[WorkspaceStore.deleteAll] "));
    EXPECT_TRUE(store.workspaces().isEmpty());
}

TEST_F(WorkspaceStoreTest, AFileWhereTheFolderMustBe) {
    QDir().mkpath(QFileInfo(folder()).path());
    QFile blocker(folder()); // a regular file named like the data folder
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    WorkspaceStore store;
    EXPECT_TRUE(store.workspaces().isEmpty());
    EXPECT_TRUE(
        m_diagnostics.lines().value(0).startsWith("[WorkspaceStore.init] Could not create the folder"));
    EXPECT_FALSE(store.save(WorkspaceSamples::plain("Nowhere", now())));
    EXPECT_EQ(store.workspaces().size(), 1);

    WorkspaceStore nowhere(QString{});
    EXPECT_FALSE(nowhere.save(WorkspaceSamples::plain("Nowhere", now())));
    EXPECT_TRUE(m_diagnostics.lines().last().startsWith("[WorkspaceStore.save] No data folder"));
}

// On a full disk a new workspace and an edit are reported as not written; the file of the edited
// one keeps what it held, and the next start lists what was there, with no empty file.
TEST_F(WorkspaceStoreTest, AFullDiskLosesNoWorkspace) {
    for (const FullDisk::Kind kind : FullDisk::kinds()) {
        SCOPED_TRACE(FullDisk::name(kind));
        FullDisk disk(kind);
        if (!disk.unavailableReason().isEmpty()) {
            continue;
        }
        WorkspaceStore store(disk.folder());
        ASSERT_TRUE(store.save(WorkspaceSamples::full()));
        const Workspace kept = store.workspaces().first();
        const QString keptFile = store.filePath(kept.id);
        const auto onDisk = [&] { return QDir(disk.folder()).entryList(QDir::Files | QDir::Hidden); };
        const QStringList before = onDisk();
        disk.fill();
        m_diagnostics.clear();

        const Workspace added = WorkspaceSamples::plain("New", now());
        EXPECT_FALSE(store.save(added));
        EXPECT_FALSE(store.isWrittenAsListed(added.id));
        EXPECT_FALSE(store.rename(kept, "Renamed"));
        EXPECT_FALSE(store.isWrittenAsListed(kept.id));
        EXPECT_EQ(readFile(keptFile), kept);
        EXPECT_EQ(onDisk(), before);
        ASSERT_EQ(m_diagnostics.lines().size(), 2);
        for (const QString& line : m_diagnostics.lines()) {
            EXPECT_TRUE(line.endsWith(": No space left on device")) << line.toStdString();
        }
        EXPECT_EQ(names(WorkspaceStore(disk.folder())), QStringList{kept.name});

        disk.makeRoom();
        EXPECT_TRUE(store.save(added));
        EXPECT_TRUE(store.isWrittenAsListed(added.id));
    }
}

// A write killed halfway leaves "<UUID>.json" and a temporary copy beside it, named as only the
// writer names its copies; the next start removes such copies, and nothing else: not the user's
// files named alike, nor copies an older version named as the user might.
TEST_F(WorkspaceStoreTest, AtStartTheCopiesOfUnfinishedWritesGo) {
    const QString id = QStringLiteral("0F0E0D0C-0B0A-4908-8706-050403020100");
    const QString copy = QStringLiteral(".json.ordella-write-");
    const struct {
        QString name;
        bool removed;
    } rows[] = {
        {id + copy + "AbCdEf", true},
        {id + copy + "z0z0z9", true},
        {id + ".json.AbCdEf", false},
        {id + ".json.zzzzzz", false},
        {id + ".json.backup", false},
        {"Work.json.before", false},
        {"X.json.readme", false},
        {copy + "AbCdEf", false},
        {id.toLower() + copy + "AbCdEf", false},
        {id + copy + "AbCdE", false},
        {id + copy + "AbCdEfG", false},
        {id + copy + "Ab-dEf", false},
        {id + copy + "AbCdEf.bak", false},
        {id + ".jsonx.ordella-write-AbCdEf", false},
        {"x" + id + copy + "AbCdEf", false},
        {"notes" + copy + "AbCdEf", false},
        {"RestorationAnalysis.log.AbCdEf", false},
    };
    for (const auto& row : rows) {
        writeRaw(row.name, "{");
    }
    // Only regular files: a folder of that name and a link (and what it points to) stay.
    const QString folderName = id + copy + "FoLdEr";
    const QString linkName = id + copy + "SyMlNk";
    ASSERT_TRUE(QDir().mkpath(pathOf(folderName)));
    ASSERT_TRUE(QFile::link(pathOf("Work.json.before"), pathOf(linkName)));

    WorkspaceStore store;
    for (const auto& row : rows) {
        EXPECT_EQ(QFileInfo::exists(pathOf(row.name)), !row.removed) << row.name.toStdString();
    }
    EXPECT_TRUE(QFileInfo(pathOf(folderName)).isDir());
    EXPECT_TRUE(QFileInfo(pathOf(linkName)).isSymLink());
    EXPECT_TRUE(m_diagnostics.contains("[WorkspaceStore.init] Removed " + id + copy +
                                       "AbCdEf, left by a write that never ended."));
}
