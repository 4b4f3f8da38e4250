#include "Services/Storage/AnalysisLogger.h"

#include "Extensions/AtomicFileWriter.h"
#include "Extensions/BidiText.h"
#include "Extensions/NumberConversion.h"
#include "Platform/Clock.h"
#include "Platform/Diagnostics.h"
#include "Platform/Platform.h"
#include "Platform/SystemInfo.h"
#include "Services/Storage/WorkspaceStore.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString kTag = QStringLiteral("RestoreCoordinator");
const QString kFileName = QStringLiteral("RestorationAnalysis.log");
const QString kMissing = QStringLiteral("\u2014");

QDateTime wallNow() {
    return Platform::current().clock->wallNow();
}

QString heading(const QString& title, int ruleLength) {
    return title + QString(ruleLength, QChar(0x2500));
}

// A write the process was killed in leaves its temporary copy beside the log. Only copies that the
// writer alone names so go, never a file of the user's nor what a link points to.
void removeUnfinishedWrites(const QDir& folder) {
    const QFileInfoList entries = folder.entryInfoList({kFileName + QStringLiteral(".*")},
                                                       QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QFileInfo& entry : entries) {
        if (AtomicFileWriter::targetOfTemporaryCopy(entry.fileName()) == kFileName) {
            QFile::remove(entry.filePath());
        }
    }
}

QString isoTime(const QDateTime& time) {
    return time.toUTC().toString(Qt::ISODateWithMs);
}

// "(x,y width×height)", the compact form of the closing block.
QString compactFrame(const std::optional<QRectF>& frame) {
    if (!frame) {
        return QStringLiteral("nil");
    }
    return QStringLiteral("(%1,%2 %3\u00D7%4)")
        .arg(QString::number(NumberConversion::toInt64(frame->x())),
             QString::number(NumberConversion::toInt64(frame->y())),
             QString::number(NumberConversion::toInt64(frame->width())),
             QString::number(NumberConversion::toInt64(frame->height())));
}

// What the request did to a window over all its runs, then what its last run found; only the
// finding for a window no run touched.
QString doneText(const WindowRestoreResult& window) {
    if (window.actions.isEmpty()) {
        return window.reason;
    }
    return window.actions.join(QStringLiteral(", ")) + QStringLiteral(" (then: ") + window.reason + u')';
}

QString closedWhy(ClosedWindow::Why why) {
    switch (why) {
    case ClosedWindow::Why::blank:
        return QStringLiteral("showed only a blank or new-tab page");
    case ClosedWindow::Why::outsideWorkspace:
        return QStringLiteral("not a window of the workspace, other apps closed");
    case ClosedWindow::Why::folderOutsideWorkspace:
        break;
    }
    return QStringLiteral("showed a folder the workspace does not hold, closed by the folder step");
}

} // namespace

AnalysisLogger::AnalysisLogger()
    : m_sessionStart(wallNow()) {
}

AnalysisLogger& AnalysisLogger::shared() {
    static AnalysisLogger instance;
    return instance;
}

void AnalysisLogger::beginSession(const Workspace& workspace) {
    m_entries.clear();
    m_sequenceCounter = 0;
    m_sessionStart = wallNow();
    m_sessionActive = true;
    m_restoredWorkspace = RestoredWorkspaceState::from(workspace);
}

void AnalysisLogger::log(const QString& tag, const QString& message) {
    if (!m_sessionActive) {
        return;
    }
    m_entries.append({wallNow(), ++m_sequenceCounter, tag, message});
}

bool AnalysisLogger::endSession(const std::optional<RestoreReport>& report) {
    if (!m_sessionActive) {
        return false;
    }
    if (report) {
        logClosingBlock(*report);
    }
    m_sessionActive = false;
    return writeToFile(buildLogContent());
}

void AnalysisLogger::logClosingBlock(const RestoreReport& report) {
    log(kTag, heading(QStringLiteral("\u2500\u2500 RESTORE COMPLETE "), 29));
    log(kTag, QStringLiteral("Overall status : ") + RestoreStatusText::rawValue(report.status));
    log(kTag, QStringLiteral("Duration       : ") + QString::asprintf("%.2f", report.duration) + u's');
    for (const AppRestoreResult& app : report.appResults) {
        log(kTag, QStringLiteral("  [%1] %2: %3")
                      .arg(RestoreStatusText::rawValue(app.status), app.appName, app.reason));
        for (const WindowRestoreResult& window : app.windowResults) {
            log(kTag, QStringLiteral("    [") + RestoreStatusText::rawValue(window.status) +
                          QStringLiteral("] \"") + window.windowTitle.value_or(QStringLiteral("?")) +
                          QStringLiteral("\" req=") + compactFrame(window.requestedFrame) +
                          QStringLiteral(" actual=") + compactFrame(window.actualFrame) +
                          QStringLiteral(" \u2014 ") + doneText(window));
        }
        for (const ClosedWindow& closed : app.closedWindows) {
            log(kTag, QStringLiteral("    [closed] \"") + closed.shown + QStringLiteral("\" \u2014 ") +
                          closedWhy(closed.why));
        }
    }
    for (const QString& note : report.displayMappingNotes) {
        log(kTag, QStringLiteral("  Display note: ") + note);
    }
    if (!report.missingDisplays.isEmpty()) {
        log(kTag, QStringLiteral("  Missing displays: ") + report.missingDisplays.join(QStringLiteral(", ")));
    }
}

QString AnalysisLogger::buildLogContent() const {
    const std::shared_ptr<SystemInfo> system = Platform::current().systemInfo;
    const QString rule(55, QChar(0x2550));
    QStringList lines;
    lines << rule << QStringLiteral("  ORDELLA RESTORATION ANALYSIS LOG")
          << QStringLiteral("  Generated: ") + isoTime(wallNow()) << rule << QString();

    lines << heading(QStringLiteral("\u2500\u2500 ENVIRONMENT "), 41)
          << QStringLiteral("App Version    : ") +
                 (system ? system->appVersion() : std::nullopt).value_or(kMissing) + QStringLiteral(" (") +
                 (system ? system->appBuild() : std::nullopt).value_or(kMissing) + u')'
          << QStringLiteral("OS Version     : ") + (system ? system->osVersion() : QString())
          << QStringLiteral("Device Model   : ") + (system ? system->getDeviceModel() : QString())
          << QStringLiteral("Session Start  : ") + isoTime(m_sessionStart) << QString();

    lines << heading(QStringLiteral("\u2500\u2500 RESTORED WORKSPACE "), 34);
    if (const auto& workspace = m_restoredWorkspace) {
        lines << QStringLiteral("Name           : ") + workspace->name
              << QStringLiteral("ID             : ") + workspace->id
              << QStringLiteral("Apps (%1):").arg(workspace->apps.size());
        for (const RestoredWorkspaceState::AppEntry& app : workspace->apps) {
            lines << QStringLiteral("  \u2022 %1 [%2] \u2014 %3 window(s)")
                             .arg(app.appName, app.bundleIdentifier, QString::number(app.windowCount)) +
                         (app.isHidden ? QStringLiteral(" [hidden]") : QString());
            for (const RestoredWorkspaceState::WindowEntry& window : app.windows) {
                lines << QStringLiteral("    \u2013 ") + window.title.value_or(QStringLiteral("Untitled")) +
                             QStringLiteral("  frame=") + window.frame;
            }
        }
        lines << QStringLiteral("Displays (%1):").arg(workspace->displays.size());
        for (const RestoredWorkspaceState::DisplayEntry& display : workspace->displays) {
            const QString name = display.name.value_or(display.uuid.value_or(QStringLiteral("Unknown")));
            lines << QStringLiteral("  \u2022 ") + name + QStringLiteral("  frame=") + display.frame;
        }
    } else {
        lines << QStringLiteral("(no workspace data captured)");
    }
    lines << QString();

    lines << heading(QStringLiteral("\u2500\u2500 DEBUG LOGS (%1 entries) ").arg(m_entries.size()), 29);
    for (const LogEntry& entry : m_entries) {
        lines << QStringLiteral("[") +
                     entry.timestamp.toTimeZone(m_timeZone).toString(QStringLiteral("HH:mm:ss.zzz")) +
                     QStringLiteral(":#") +
                     QString::asprintf("%04lld", static_cast<long long>(entry.sequence)) +
                     QStringLiteral("] [") + entry.tag + QStringLiteral("] ") + entry.message;
    }
    if (m_entries.isEmpty()) {
        lines << QStringLiteral("(no entries)");
    }
    lines << QString() << rule;
    // Names, titles, addresses and reasons come from outside: each record stays one line, and
    // nothing in it reorders what a reader sees.
    for (QString& line : lines) {
        line = BidiText::escapedForLog(line);
    }
    return lines.join(u'\n');
}

QUrl AnalysisLogger::logFileURL() {
    // Next to the workspace files. Without a data folder there is no place for the log (and never
    // the root of the file system).
    const QString folder = WorkspaceStore::defaultStorageDirectory();
    return folder.isEmpty() ? QUrl() : QUrl::fromLocalFile(QDir(folder).filePath(kFileName));
}

std::optional<QUrl> AnalysisLogger::existingLogFileURL() {
    const QUrl url = logFileURL();
    if (url.isEmpty() || !QFileInfo(url.toLocalFile()).isFile()) {
        return std::nullopt;
    }
    return url;
}

bool AnalysisLogger::writeToFile(const QString& text) {
    const QString path = logFileURL().toLocalFile();
    if (path.isEmpty()) {
        return false;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    removeUnfinishedWrites(QFileInfo(path).absoluteDir());
    // Whole or not at all: a log cut short by a full disk would mislead whoever reads it.
    const AtomicFileWriter::Result written = AtomicFileWriter::writeFile(path, text.toUtf8());
    if (!written) {
        Diagnostics::print(QStringLiteral("[AnalysisLogger.endSession] Could not write %1: %2")
                               .arg(path, written.errorString));
    }
    return written.written;
}
