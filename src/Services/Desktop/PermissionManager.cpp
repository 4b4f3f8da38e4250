#include "Services/Desktop/PermissionManager.h"

#include "Extensions/AtomicFileWriter.h"
#include "Platform/Platform.h"
#include "Platform/Prompts.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

namespace {

QString helpPage() {
    QString body = PermissionManager::accessibilityHelpText().toHtmlEscaped();
    body.replace(QStringLiteral("\n\n"), QStringLiteral("</p>\n<p>"));
    body.replace(QStringLiteral("\n"), QStringLiteral("<br>\n"));
    return QStringLiteral(
               "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
               "<title>Ordella: access to windows</title></head>\n<body>\n<p>%1</p>\n</body></html>\n")
        .arg(body);
}

// Writes the help page; false when it cannot be written.
bool writeHelpPage(const QString& path) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        return false;
    }
    return AtomicFileWriter::writeFile(path, helpPage().toUtf8()).written;
}

} // namespace

QString PermissionManager::accessibilityHelpText() {
    return QStringLiteral(
        "Ordella reads and moves the windows of other applications. On Linux there is no permission to "
        "grant: the desktop itself must offer this access.\n\n"
        "What the desktop must offer:\n"
        "- an X11 session, or Xwayland for the applications you want to arrange (a Wayland session does not "
        "let one application read or move the windows of another);\n"
        "- a window manager that follows the Extended Window Manager Hints: the list of windows and their "
        "stacking order (_NET_CLIENT_LIST, _NET_CLIENT_LIST_STACKING), the active window "
        "(_NET_ACTIVE_WINDOW), window states such as minimised and full screen (_NET_WM_STATE), and moving "
        "and resizing on request (_NET_MOVERESIZE_WINDOW);\n"
        "- the RandR extension of the X server, to tell the displays apart.\n\n"
        "Most desktops running on an X11 session offer all of them. Once yours does, start Ordella again.");
}

QString PermissionManager::accessibilityHelpPath() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("Help/Accessibility.html"));
}

bool PermissionManager::openAccessibilityHelp() {
    const std::shared_ptr<Prompts> prompts = Platform::current().prompts;
    const QString path = accessibilityHelpPath();
    return prompts && writeHelpPage(path) && prompts->openUrl(QUrl::fromLocalFile(path));
}

QCoro::Task<void> PermissionManager::showAccessibilityAlert() {
    // Held for the whole wait: the alert's owner must outlive the answer.
    const std::shared_ptr<Prompts> prompts = Platform::current().prompts;
    if (!prompts) {
        co_return;
    }
    AlertRequest alert;
    alert.style = AlertRequest::Style::Warning;
    alert.messageText = QStringLiteral("Accessibility Permission Required");
    alert.informativeText = QStringLiteral("Ordella needs Accessibility access to capture and restore window "
                                           "positions. Please grant access in your desktop's settings.");
    alert.buttons = {QStringLiteral("Open Settings"), QStringLiteral("Cancel")};
    alert.iconName = QStringLiteral("AppIcon");
    const int answer = co_await prompts->showAlert(alert);
    if (answer == 0) {
        co_await showAccessibilityHelp();
    }
}

QCoro::Task<void> PermissionManager::showAccessibilityHelp() {
    // The platform may have been replaced while an alert was up.
    const std::shared_ptr<Prompts> current = Platform::current().prompts;
    if (!current) {
        co_return;
    }
    if (openAccessibilityHelp()) {
        co_return;
    }
    // Neither a page nor a browser: say it in an alert of its own.
    AlertRequest help;
    help.messageText = QStringLiteral("Access to windows");
    help.informativeText = accessibilityHelpText();
    help.buttons = {QStringLiteral("OK")};
    co_await current->showAlert(help);
}
