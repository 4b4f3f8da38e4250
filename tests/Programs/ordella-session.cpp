// Ordella as main() runs it, through a session of use a person has with it and then the power
// button: save, restore, revert, the row's preview, pickers, rename and shortcut recorder, the
// search, the tray icon's clicks, the update panel, the settings window opened afresh with every
// tab, the look changed, the excluded applications' picker, export and import through the real
// file panels, a deletion, and one panel left open. The round runs twice, and the views' engine
// collects its garbage after each, as it does in a long session.
// A first start (the onboarding not finished yet) begins with the onboarding, finished at once.
//   ordella-session [--demo] FOLDER   FOLDER takes the exported files
// Prints "session: STEP failed" for a step that did not come about and then exits 1, after the
// same quit; 0 when the whole session went through. The program ends as ordella's main() ends it:
// the application object goes, then Qt's, then the process.
#include "App/InstanceCommands.h"
#include "App/MenuBarWindow.h"
#include "App/OrdellaApp.h"
#include "Platform/Clock.h"
#include "Platform/Platform.h"
#include "Services/Storage/WorkspaceStore.h"
#include "ViewModels/AppExclusionPickerModel.h"
#include "ViewModels/AppRootModel.h"
#include "ViewModels/DataTabModel.h"
#include "ViewModels/IconPickerModel.h"
#include "ViewModels/PopoverModel.h"
#include "ViewModels/PreferencesViewModel.h"
#include "ViewModels/SaveWorkspacePanelModel.h"
#include "ViewModels/SettingsViewModel.h"
#include "ViewModels/ShortcutRecorderModel.h"
#include "ViewModels/UpdateWorkspacePanelModel.h"
#include "ViewModels/WorkspaceListModel.h"
#include "ViewModels/WorkspaceRowModel.h"
#include "Views/PreferencesWindowController.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QQuickWindow>
#include <QSystemTrayIcon>
#include <QTextStream>

#include <qcoro/qcorotask.h>

#include <chrono>

namespace {

using namespace std::chrono_literals;

bool g_failed = false;

// Whether check() came true within the time; a step that did not is reported.
QCoro::Task<bool> reached(const char* step, std::function<bool()> check, Clock::Duration timeout = 60s) {
    const std::shared_ptr<Clock> clock = Platform::current().clock;
    if (!co_await clock->pollUntil(std::move(check), timeout, 20ms)) {
        QTextStream(stderr) << "session: " << step << " failed\n";
        g_failed = true;
        co_return false;
    }
    co_return true;
}

// The file panel opened last, among those not answered yet by this session.
QFileDialog* newPanel(QList<QFileDialog*>& seen) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* panel = qobject_cast<QFileDialog*>(widget);
        if (panel && panel->isVisible() && !seen.contains(panel)) {
            seen << panel;
            return panel;
        }
    }
    return nullptr;
}

QCoro::Task<bool> answerPanel(QList<QFileDialog*>& seen, const QString& path) {
    QFileDialog* panel = nullptr;
    if (!co_await reached("a file panel", [&] { return (panel = newPanel(seen)) != nullptr; })) {
        co_return false;
    }
    panel->selectFile(path);
    QMetaObject::invokeMethod(panel, "accept");
    co_return true;
}

// Opens every popover under root (the pickers among them) one after another and closes it again;
// with leaveOpen, the last stays open.
QCoro::Task<void> openPopovers(QQuickItem* root, bool leaveOpen) {
    QList<QPointer<QObject>> popovers;
    // A view's root item has the window's content item as its visual parent only.
    for (QQuickItem* item : root->childItems()) {
        for (QObject* object : item->findChildren<QObject*>()) {
            if (object->inherits("QQuickPopup")) {
                popovers << object;
            }
        }
    }
    if (popovers.isEmpty()) {
        QTextStream(stderr) << "session: no popover found\n";
        g_failed = true;
    }
    for (qsizetype i = 0; i < popovers.size(); ++i) {
        if (!popovers.at(i)) {
            continue;
        }
        QMetaObject::invokeMethod(popovers.at(i), "open");
        co_await Platform::current().clock->sleep(30ms);
        if (popovers.at(i) && !(leaveOpen && i == popovers.size() - 1)) {
            QMetaObject::invokeMethod(popovers.at(i), "close");
        }
    }
}

QCoro::Task<bool> round(OrdellaApp& ordella, PopoverModel& popover, int number, QString folder,
                        QList<QFileDialog*>& seen) {
    WorkspaceStore& store = *ordella.store();
    const auto idle = [&popover] { return !popover.isProcessing(); };

    popover.newWorkspace();
    if (!co_await reached("the save panel",
                          [&] { return popover.savePanel() && popover.savePanel()->hasAnyAppsToSave(); })) {
        co_return false;
    }
    const qsizetype before = store.workspaces().size();
    popover.savePanel()->setName(QStringLiteral("Session %1").arg(number));
    popover.savePanel()->save();
    if (!co_await reached("the save", [&] { return store.workspaces().size() > before && idle(); })) {
        co_return false;
    }
    const Workspace saved = store.workspaces().constLast();

    popover.restoreWorkspace(saved);
    if (!co_await reached("the restore", idle, 120s)) {
        co_return false;
    }
    if (popover.showRevertButton()) {
        popover.revert();
        if (!co_await reached("the revert", idle, 120s)) {
            co_return false;
        }
    }

    popover.showPreview(saved);
    co_await Platform::current().clock->sleep(100ms);
    popover.closePreview();
    WorkspaceListModel& list = *popover.workspaceList();
    for (int i = 0; i < list.rowCount(); ++i) {
        WorkspaceRowModel& row = *list.row(i);
        row.tapHeader();
        row.iconPicker()->select(QStringLiteral("star.fill"));
        row.selectGradient(number + 3);
        row.startRename();
        row.confirmRename();
        row.setShowingTriggerPicker(true);
        row.setShowingDisplayPicker(true);
        co_await Platform::current().clock->sleep(50ms);
        row.setShowingDisplayPicker(false);
        row.setShowingTriggerPicker(false);
    }
    // The pickers and the other popovers of the window, with the first row expanded.
    if (list.rowCount() > 0 && !list.row(0)->isExpanded()) {
        list.row(0)->tapHeader();
    }
    co_await Platform::current().clock->sleep(100ms);
    co_await openPopovers(ordella.menuBarWindow()->window()->contentItem(), false);
    // The search, the shortcut recorder, the tray icon's clicks.
    popover.setSearchText(QStringLiteral("Session"));
    co_await Platform::current().clock->sleep(50ms);
    popover.setSearchText(QString());
    if (list.rowCount() > 0) {
        ShortcutRecorderModel& recorder = *list.row(0)->recorder();
        recorder.toggleRecording();
        co_await Platform::current().clock->sleep(50ms);
        recorder.toggleRecording();
    }
    QSystemTrayIcon* tray = ordella.menuBarWindow()->trayIcon();
    emit tray->activated(QSystemTrayIcon::Trigger);
    co_await Platform::current().clock->sleep(50ms);
    emit tray->activated(QSystemTrayIcon::Trigger);
    popover.openUpdatePanel(saved);
    if (!co_await reached("the update panel",
                          [&] { return popover.updatePanel() && popover.updatePanel()->canUpdate(); })) {
        co_return false;
    }
    popover.updatePanel()->update();
    if (!co_await reached("the update", idle, 120s)) {
        co_return false;
    }

    ordella.showPreferences();
    PreferencesWindowController* preferences = PreferencesWindowController::shared();
    if (!co_await reached("the settings window",
                          [&] { return preferences && preferences->window().isExposed(); })) {
        co_return false;
    }
    // Every tab, and the look changed and back.
    for (const auto tab : {PreferencesViewModel::Tab::appearance, PreferencesViewModel::Tab::data,
                           PreferencesViewModel::Tab::support, PreferencesViewModel::Tab::about,
                           PreferencesViewModel::Tab::general}) {
        preferences->model().selectTab(tab);
        co_await Platform::current().clock->sleep(50ms);
    }
    SettingsViewModel& settings = *preferences->model().settings();
    const int theme = settings.themeIndex();
    settings.setThemeIndex((theme + 1) % 3);
    co_await Platform::current().clock->sleep(50ms);
    settings.setThemeIndex(theme);
    co_await openPopovers(preferences->window().contentItem(), false);
    AppExclusionPickerModel& exclusions = *preferences->model().exclusions();
    if (!co_await reached("the applications' list", [&] { return !exclusions.isLoadingApps(); })) {
        co_return false;
    }
    exclusions.togglePicker();
    if (!exclusions.filteredAppList().isEmpty()) {
        const QString excluded = exclusions.filteredAppList().constFirst().bundleIdentifier;
        exclusions.select(excluded);
        co_await Platform::current().clock->sleep(50ms);
        exclusions.remove(excluded);
    }
    DataTabModel& data = *preferences->model().dataTab();
    const QString exported = QDir(folder).filePath(QStringLiteral("export-%1.json").arg(number));
    data.exportWorkspaces();
    if (!co_await answerPanel(seen, exported) || !co_await reached("the export", [&] {
            return data.statusMessage() == QLatin1String("Workspaces exported successfully");
        })) {
        co_return false;
    }
    data.reset();
    data.importWorkspaces();
    if (!co_await answerPanel(seen, exported) || !co_await reached("the import", [&] {
            // Its own export: every workspace is listed already.
            return data.statusMessage().startsWith(QLatin1String("No workspaces imported: "));
        })) {
        co_return false;
    }
    // The first workspace is deleted from its row.
    if (list.rowCount() > 1) {
        list.row(0)->askDelete();
        list.row(0)->confirmDelete();
    }
    // A panel left unanswered, as one is when the settings window goes first.
    data.exportWorkspaces();
    if (!co_await reached("the last panel", [&] { return newPanel(seen) != nullptr; })) {
        co_return false;
    }
    ordella.menuBarWindow()->open();
    // A picker is left open.
    co_await openPopovers(ordella.menuBarWindow()->window()->contentItem(), true);
    // What a long session does now and then: the views' engine collects its garbage.
    ordella.menuBarWindow()->engine().collectGarbage();
    co_await Platform::current().clock->sleep(100ms);
    co_return true;
}

QCoro::Task<void> session(OrdellaApp& ordella, QString folder) {
    const std::optional<int> exitCode = co_await ordella.start();
    if (exitCode) {
        QTextStream(stderr) << "session: the start failed\n";
        QCoreApplication::exit(*exitCode == 0 ? 1 : *exitCode);
        co_return;
    }
    auto* popover = ordella.findChild<PopoverModel*>();
    // A first start opens the window with the onboarding by itself, which is then finished.
    if (auto* root = ordella.findChild<AppRootModel*>(); root && !root->isOnboardingComplete()) {
        if (co_await reached("the onboarding", [&] { return ordella.menuBarWindow()->isOpen(); })) {
            root->finishOnboarding();
        }
    }
    ordella.menuBarWindow()->open();
    if (popover &&
        co_await reached("the window", [&] { return ordella.menuBarWindow()->window()->isExposed(); })) {
        QList<QFileDialog*> seen;
        for (int number = 0; number < 2; ++number) {
            if (!co_await round(ordella, *popover, number, folder, seen)) {
                break;
            }
        }
    }
    // The power button.
    if (popover) {
        popover->quit();
    } else {
        QCoreApplication::exit(1);
    }
}

} // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    if (arguments.size() < 2) {
        std::fputs("usage: ordella-session [--demo] FOLDER\n", stderr);
        return 2;
    }
    const QString folder = arguments.takeLast();
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Ordella"));
    QGuiApplication::setDesktopFileName(QStringLiteral("ordella"));
    QApplication::setQuitOnLastWindowClosed(false);

    arguments[0] = QStringLiteral("ordella");
    OrdellaApp ordella(InstanceCommands::parse(arguments));
    QMetaObject::invokeMethod(
        &app, [&ordella, folder] { session(ordella, folder); }, Qt::QueuedConnection);
    const int code = app.exec();
    return g_failed ? 1 : code;
}
