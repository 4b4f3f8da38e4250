#include "Models/Workspace.h"

#include <algorithm>

bool Workspace::restoreAfterLogin() const {
    return std::any_of(triggers.cbegin(), triggers.cend(),
                       [](const WorkspaceTrigger& t) { return t.isLogin(); });
}

void Workspace::setRestoreAfterLogin(bool value) {
    if (value == restoreAfterLogin()) {
        return;
    }
    if (value) {
        triggers.append({QUuid::createUuid(), WorkspaceTrigger::Login{}});
    } else {
        triggers.removeIf([](const WorkspaceTrigger& t) { return t.isLogin(); });
    }
}

bool Workspace::matches(const QString& query) const {
    const QString needle = query.toLower();
    const auto hit = [&needle](const QString& text) { return text.toLower().contains(needle); };
    if (hit(name)) {
        return true;
    }
    for (const AppSnapshot& app : appSnapshots) {
        if (hit(app.appName)) {
            return true;
        }
        for (const WindowSnapshot& window : app.windowSnapshots) {
            if (window.windowTitle && hit(*window.windowTitle)) {
                return true;
            }
            for (const TabSnapshot& tab : window.tabSnapshots) {
                if ((tab.title && hit(*tab.title)) || hit(tab.url)) {
                    return true;
                }
            }
        }
    }
    return false;
}

QString Workspace::resolvedIconName() const {
    return WorkspaceAppearance::resolvedIconName(iconName, name);
}

qsizetype Workspace::resolvedGradientIndex() const {
    return WorkspaceAppearance::resolvedGradientIndex(gradientIndex, name);
}

WorkspaceAppearance::ColourPair Workspace::gradient() const {
    return WorkspaceAppearance::availableGradients().at(resolvedGradientIndex());
}

const QList<WorkspaceAppearance::IconCategory>& Workspace::categorizedIcons() {
    return WorkspaceAppearance::categorizedIcons();
}

const QStringList& Workspace::availableIcons() {
    return WorkspaceAppearance::availableIcons();
}

const QList<WorkspaceAppearance::ColourPair>& Workspace::availableGradients() {
    return WorkspaceAppearance::availableGradients();
}
