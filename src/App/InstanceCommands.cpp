#include "App/InstanceCommands.h"

#include "App/RestoreRunText.h"
#include "Platform/Clock.h"
#include "Platform/Platform.h"
#include "Services/Coordination/RestoreCoordinator.h"
#include "Services/Coordination/RestoreStatusNotifier.h"
#include "Services/Storage/WorkspaceStore.h"
#include "ViewModels/PopoverModel.h"
#include "ViewModels/WorkspacePreviewViewModel.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QSet>

namespace {

const QString kCommand = QStringLiteral("command");
const QString kName = QStringLiteral("name");

QString printable(const QString& text, bool keepLineBreaks = false) {
    return RestoreRunText::printable(text, keepLineBreaks);
}

qsizetype namedCount(const WorkspaceStore& store, const QString& name) {
    return std::count_if(store.workspaces().cbegin(), store.workspaces().cend(),
                         [&name](const Workspace& w) { return w.name == name; });
}

// The shortest length, at least least, at which the texts' beginnings all differ.
qsizetype distinctPrefixLength(const QStringList& texts, qsizetype least) {
    qsizetype length = least;
    const auto distinct = [&texts](qsizetype n) {
        QSet<QString> seen;
        for (const QString& text : texts) {
            seen.insert(text.left(n));
        }
        return seen.size() == texts.size();
    };
    while (!distinct(length) && std::any_of(texts.cbegin(), texts.cend(),
                                            [length](const QString& t) { return t.size() > length; })) {
        ++length;
    }
    return length;
}

} // namespace

InstanceCommands::InstanceCommands(WorkspaceStore& store, PopoverModel& popover,
                                   RestoreCoordinator& coordinator, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_popover(popover)
    , m_coordinator(coordinator) {
}

QString InstanceCommands::usage() {
    return QStringLiteral("Usage: ordella [--demo] [--save [--] NAME | --restore [--] NAME]\n"
                          "       ordella --help | --version\n"
                          "  (no option)     start Ordella, or open the window of the Ordella running\n"
                          "  --demo          run on a simulated demo desktop instead of this one\n"
                          "  --save NAME     the running Ordella saves the desktop as workspace NAME\n"
                          "  --restore NAME  the running Ordella restores workspace NAME and reports\n"
                          "  -h, --help      print this help\n"
                          "  --version       print Ordella's version\n");
}

InstanceCommands::Parsed InstanceCommands::parse(const QStringList& arguments) {
    Parsed parsed;
    QJsonObject request{{kCommand, QStringLiteral("show")}};
    for (qsizetype i = 1; i < arguments.size() && parsed.error.isEmpty(); ++i) {
        const QString& argument = arguments.at(i);
        const bool command = argument == QLatin1String("--save") || argument == QLatin1String("--restore");
        if (argument == QLatin1String("--demo")) {
            parsed.demo = true;
        } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            parsed.help = true;
        } else if (argument == QLatin1String("--version")) {
            parsed.version = true;
        } else if (command && i + 1 < arguments.size() && !parsed.command) {
            // The next argument is the name, whatever it looks like ("-reverse", "--demo"); "--"
            // before it is allowed and skipped.
            if (arguments.at(i + 1) == QLatin1String("--") && i + 2 < arguments.size()) {
                ++i;
            }
            const QString name = arguments.at(++i);
            if (name.trimmed().isEmpty()) {
                parsed.error = argument + QStringLiteral(" needs the name of a workspace");
            }
            request = {{kCommand, argument.mid(2)}, {kName, name}};
            parsed.command = true;
        } else {
            parsed.error = QStringLiteral("Unknown or incomplete option: ") + printable(argument);
        }
    }
    parsed.request = QJsonDocument(request).toJson(QJsonDocument::Compact);
    return parsed;
}

QByteArray InstanceCommands::reply(bool ok, const QString& output, std::optional<int> exitCode) {
    // Printed by the asking process: nothing in it may steer the terminal.
    QJsonObject object{{QStringLiteral("ok"), ok}, {QStringLiteral("output"), printable(output, true)}};
    if (exitCode) {
        object.insert(QStringLiteral("exitCode"), *exitCode);
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

int InstanceCommands::exitCode(const QByteArray& reply) {
    const QJsonObject object = QJsonDocument::fromJson(reply).object();
    const bool ok = object.value(QStringLiteral("ok")).toBool();
    // Only the statuses a request can end with: an answer never passes for a signal or success.
    const int named = object.value(QStringLiteral("exitCode")).toInt(-1);
    if (!ok && named == usageExitCode) {
        return named;
    }
    return ok ? 0 : 1;
}

QByteArray InstanceCommands::refusal() {
    return reply(false, QStringLiteral("Ordella does not know this request."));
}

std::pair<bool, QString> InstanceCommands::readReply(const QByteArray& reply) {
    const QJsonObject object = QJsonDocument::fromJson(reply).object();
    if (object.isEmpty()) {
        return {false, QStringLiteral("Ordella gave no answer.")};
    }
    return {object.value(QStringLiteral("ok")).toBool(),
            printable(object.value(QStringLiteral("output")).toString(), true)};
}

QCoro::Task<QByteArray> InstanceCommands::handle(QByteArray request) {
    const QJsonObject object = QJsonDocument::fromJson(request).object();
    const QString command = object.value(kCommand).toString();
    const QString name = object.value(kName).toString();
    if (command == QLatin1String("show")) {
        emit showRequested();
        co_return reply(true, QStringLiteral("Ordella is already running: its window is open."));
    }
    if (command == QLatin1String("save") && !name.isEmpty()) {
        co_return co_await save(name);
    }
    if (command == QLatin1String("restore") && !name.isEmpty()) {
        co_return co_await restore(name);
    }
    co_return refusal();
}

QCoro::Task<QByteArray> InstanceCommands::save(QString name) {
    QPointer<InstanceCommands> self(this);
    WorkspacePreviewViewModel preview;
    co_await preview.capture();
    if (!self) {
        co_return reply(false, QStringLiteral("Ordella is quitting."));
    }
    const std::optional<Workspace> workspace = preview.filteredWorkspace(name);
    const qsizetype namesakes = namedCount(m_store, name);
    if (!workspace || !preview.hasAnyAppsToSave()) {
        co_return reply(false, preview.captureError().value_or(QStringLiteral("There is nothing to save.")));
    }
    m_popover.saveFromPanel(name, preview);
    // The window stores it once it has shown its progress.
    const QUuid id = workspace->id;
    QPointer<WorkspaceStore> store(&m_store);
    auto stored = [store, id] {
        return !store || std::any_of(store->workspaces().cbegin(), store->workspaces().cend(),
                                     [&id](const Workspace& w) { return w.id == id; });
    };
    const bool listed = co_await Platform::current().clock->pollUntil(stored, std::chrono::seconds(5),
                                                                      std::chrono::milliseconds(10));
    // The store lists a workspace before it writes its file, and keeps it listed when the write
    // fails: only a file that reads back as the listed workspace makes it survive a restart.
    const bool saved = listed && store && store->isWrittenAsListed(id);
    // The reply keeps its own line breaks: the name's are replaced, like its control characters.
    const QString shown = printable(name);
    QString output = saved
                         ? QStringLiteral("Saved \"") + shown + QStringLiteral("\": ") + preview.summaryText()
                         : QStringLiteral("The workspace could not be saved.");
    if (saved && namesakes > 0) {
        // Nothing is replaced: the name is now shared, which a restore by name will refuse.
        output += QStringLiteral("\nA workspace named \"%1\" existed already: this is another one of that "
                                 "name (%2 now). Rename one in Ordella's window to restore it by name.")
                      .arg(shown, QString::number(namesakes + 1));
    }
    co_return reply(saved, output);
}

QCoro::Task<QByteArray> InstanceCommands::restore(QString name) {
    QList<Workspace> named;
    for (const Workspace& w : m_store.workspaces()) {
        if (w.name == name) {
            named.append(w);
        }
    }
    const QString shown = printable(name);
    if (named.isEmpty()) {
        co_return reply(false, QStringLiteral("No workspace is named \"") + shown + QStringLiteral("\"."));
    }
    if (named.size() > 1) {
        // Which one was meant is not for Ordella to guess: a wrong restore quits programs.
        // Two saved within one second share their time: the start of the id tells them apart.
        std::sort(named.begin(), named.end(), [](const Workspace& a, const Workspace& b) {
            return std::pair(a.createdAt, a.id.toString(QUuid::WithoutBraces)) <
                   std::pair(b.createdAt, b.id.toString(QUuid::WithoutBraces));
        });
        QStringList lines{QStringLiteral("%1 workspaces are named \"%2\"; none was restored. Rename one in "
                                         "Ordella's window, then restore it by its new name:")
                              .arg(QString::number(named.size()), shown)};
        QStringList ids;
        for (const Workspace& w : named) {
            ids << w.id.toString(QUuid::WithoutBraces).toUpper();
        }
        const qsizetype shownId = distinctPrefixLength(ids, 8);
        for (qsizetype i = 0; i < named.size(); ++i) {
            lines << QStringLiteral("  \"%1\", created %2, id %3")
                         .arg(shown,
                              named.at(i).createdAt.toUTC().toString(
                                  QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'")),
                              ids.at(i).left(shownId));
        }
        co_return reply(false, lines.join(u'\n'), usageExitCode);
    }
    const Workspace workspace = named.constFirst();
    // Announced like a shortcut's restore; the coordinator posts the result.
    RestoreStatusNotifier::shared().post(WorkspaceRestoreStatus::restoringWorkspace(workspace.name));
    const RestoreRun run = co_await m_coordinator.restoreRun(workspace, workspace.closeOtherApps);
    const bool ok =
        run.report.status == RestoreStatus::restored || run.report.status == RestoreStatus::partiallyRestored;
    co_return reply(ok, RestoreRunText::describe(run));
}
