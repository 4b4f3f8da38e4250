#include "ViewModels/DataTabModel.h"
#include "Services/Storage/WorkspaceStore.h"

#include "Support/DiagnosticsCapture.h"
#include "Support/FifoWriter.h"
#include "Support/FullDisk.h"
#include "Support/ScriptedDesktop.h"
#include "Support/WorkspaceSamples.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class DataTabModelTest : public SimulatedDesktopFixture {
protected:
    DataTabModelTest() {
        store.save(WorkspaceSamples::full());
        store.save(WorkspaceSamples::plain("Plain", WorkspaceSamples::date(0)));
    }

    QString path(const QString& name) const { return files.filePath(name); }
    void run(QCoro::Task<void> task) { ASSERT_TRUE(clock().runUntilDone(std::move(task))); }
    // An import reads its file on a worker: its answer is waited for as it comes.
    void runImport(DataTabModel& model) {
        clock().setRealWorkPending([&model] { return model.importing(); });
        run(model.runImport());
        clock().setRealWorkPending({});
    }
    // Puts a folder with something in it where the workspace's file must be, so it can neither be
    // written nor removed.
    void blockFile(const QString& folder, const QUuid& id) {
        const QString file = QDir(folder).filePath(id.toString(QUuid::WithoutBraces).toUpper() + ".json");
        QFile::remove(file);
        ASSERT_TRUE(QDir().mkpath(file + "/inside"));
    }

    DiagnosticsCapture diagnostics;
    QTemporaryDir storage;
    QTemporaryDir files;
    WorkspaceStore store{storage.path()};
    DataTabModel model{store};
};

// An export over an earlier one on a full disk says it failed and leaves the earlier one whole.
TEST_F(DataTabModelTest, AFullDiskKeepsTheEarlierExport) {
    for (const FullDisk::Kind kind : FullDisk::kinds()) {
        SCOPED_TRACE(FullDisk::name(kind));
        FullDisk disk(kind);
        if (!disk.unavailableReason().isEmpty()) {
            continue;
        }
        const QString target = QDir(disk.folder()).filePath("Workspaces.json");
        prompts().queuePanelAnswer(target);
        run(model.runExport());
        ASSERT_EQ(model.statusMessage(), "Workspaces exported successfully");
        QFile exported(target);
        ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
        const QByteArray earlier = exported.readAll();
        exported.close();

        store.save(WorkspaceSamples::plain("Later", WorkspaceSamples::date(10)));
        disk.fill();
        prompts().queuePanelAnswer(target);
        run(model.runExport());
        EXPECT_EQ(model.statusMessage(), "Failed to export workspaces");
        ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
        EXPECT_EQ(exported.readAll(), earlier);
        exported.close();
        model.reset();
    }
}

TEST_F(DataTabModelTest, ExportAndImportRoundTrip) {
    prompts().queuePanelAnswer(path("Workspaces.json"));
    run(model.runExport());
    EXPECT_EQ(model.statusMessage(), "Workspaces exported successfully");
    const FilePanelRequest panel = prompts().shownPanels().last();
    EXPECT_EQ(panel.title, "Export Workspaces");
    EXPECT_EQ(panel.suggestedName, "Workspaces.json");
    EXPECT_EQ(panel.allowedSuffixes, QStringList{"json"});
    // Panels open in the home folder, not where Ordella was started from.
    EXPECT_EQ(panel.directory, QDir::homePath());

    QTemporaryDir otherStorage;
    WorkspaceStore other(otherStorage.path());
    DataTabModel importer(other);
    prompts().queuePanelAnswer(path("Workspaces.json"));
    runImport(importer);
    EXPECT_EQ(importer.statusMessage(), "Workspaces imported successfully: 2 added");
    EXPECT_EQ(prompts().shownPanels().last().title, "Import Workspaces");
    EXPECT_EQ(prompts().shownPanels().last().directory, QDir::homePath());
    EXPECT_EQ(other.workspaces(), store.workspaces());
    // The same file again adds nothing, and says so; with one workspace gone, it adds that one.
    prompts().queuePanelAnswer(path("Workspaces.json"));
    runImport(importer);
    EXPECT_EQ(other.workspaces().size(), 2);
    EXPECT_EQ(importer.statusMessage(), "No workspaces imported: 2 workspaces already listed");
    const Workspace gone = other.workspaces().first();
    ASSERT_TRUE(other.deleteWorkspace(gone));
    prompts().queuePanelAnswer(path("Workspaces.json"));
    runImport(importer);
    EXPECT_EQ(importer.statusMessage(), "Workspaces imported successfully: 1 added, 1 already listed");
    // A file of one workspace listed already says so in the singular.
    QFile exported(path("Workspaces.json"));
    ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
    const QJsonArray all = QJsonDocument::fromJson(exported.readAll()).array();
    ASSERT_EQ(all.size(), 2);
    QFile one(path("One.json"));
    ASSERT_TRUE(one.open(QIODevice::WriteOnly));
    one.write(QJsonDocument(QJsonArray{all.first()}).toJson());
    one.close();
    prompts().queuePanelAnswer(path("One.json"));
    runImport(importer);
    EXPECT_EQ(importer.statusMessage(), "No workspaces imported: 1 workspace already listed");
}

TEST_F(DataTabModelTest, AFailedImportChangesNothingAndSaysSo) {
    const QList<Workspace> before = store.workspaces();
    QFile object(path("object.json"));
    ASSERT_TRUE(object.open(QIODevice::WriteOnly));
    object.write("{\"id\": \"not an array\"}");
    object.close();
    QDir().mkpath(path("folder.json"));
    // Another program's FIFO, that would give a list to whoever opened it, and a link to it.
    const FifoWriter fifo(path("fifo.json"), "[]");
    ASSERT_TRUE(fifo.made());
    ASSERT_TRUE(QFile::link(path("fifo.json"), path("link.json")));
    for (const char* name : {"object.json", "folder.json", "missing.json", "fifo.json", "link.json"}) {
        model.reset();
        prompts().queuePanelAnswer(path(name));
        runImport(model);
        EXPECT_EQ(model.statusMessage(), "Failed to import workspaces") << name;
        EXPECT_EQ(store.workspaces(), before);
    }
    // A cancelled panel is no failure: the line stays as it was.
    runImport(model);
    EXPECT_EQ(model.statusMessage(), "Failed to import workspaces");
}

TEST_F(DataTabModelTest, WritesAndRemovalsThatFailAreReported) {
    prompts().queuePanelAnswer(path("Workspaces.json"));
    run(model.runExport());
    // An imported workspace whose file cannot be written.
    QTemporaryDir otherStorage;
    WorkspaceStore other(otherStorage.path());
    DataTabModel importer(other);
    blockFile(otherStorage.path(), store.workspaces().first().id);
    prompts().queuePanelAnswer(path("Workspaces.json"));
    runImport(importer);
    EXPECT_EQ(importer.statusMessage(), "Imported, but some workspaces could not be saved");

    // An export into a folder that cannot exist.
    QFile(path("plain")).open(QIODevice::WriteOnly);
    prompts().queuePanelAnswer(path("plain/Workspaces.json"));
    run(model.runExport());
    EXPECT_EQ(model.statusMessage(), "Failed to export workspaces");

    // An export into the data folder, even over a workspace's own file, is refused: it would
    // replace that workspace.
    const Workspace first = store.workspaces().first();
    const QString own = store.filePath(first.id);
    QFile original(own);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray stored = original.readAll();
    original.close();
    for (const QString& target : {own, QDir(storage.path()).filePath("Workspaces.json")}) {
        model.reset();
        prompts().queuePanelAnswer(target);
        run(model.runExport());
        EXPECT_EQ(model.statusMessage(), "Failed to export workspaces");
    }
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    EXPECT_EQ(original.readAll(), stored);
    original.close();
    EXPECT_FALSE(QFile::exists(QDir(storage.path()).filePath("Workspaces.json")));

    // Delete all asks first; Cancel keeps everything and the line.
    prompts().queueAlertAnswer(1);
    run(model.runDeleteAll());
    const AlertRequest alert = prompts().shownAlerts().last();
    EXPECT_EQ(alert.messageText, "Delete All Workspaces");
    EXPECT_EQ(alert.buttons, (QStringList{"Delete", "Cancel"}));
    // Return answers Cancel, not Delete.
    EXPECT_TRUE(alert.destructive);
    EXPECT_EQ(store.workspaces().size(), 2);
    EXPECT_EQ(model.statusMessage(), "Failed to export workspaces");

    blockFile(storage.path(), store.workspaces().first().id);
    prompts().queueAlertAnswer(0);
    run(model.runDeleteAll());
    EXPECT_TRUE(store.workspaces().isEmpty());
    EXPECT_EQ(model.statusMessage(), "Some workspace files could not be deleted");
    prompts().queueAlertAnswer(0);
    run(model.runDeleteAll());
    EXPECT_EQ(model.statusMessage(), "Workspaces deleted successfully");
}

} // namespace
