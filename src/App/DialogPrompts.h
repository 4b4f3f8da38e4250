#pragma once

#include "Platform/Prompts.h"

#include <QIcon>

// Alerts and file panels as Qt dialogs, shown with open() and awaited through their signals, so
// the event loop keeps running while the user thinks. An alert that asks for the "AppIcon" shows
// the application's icon.
class DialogPrompts : public Prompts {
public:
    explicit DialogPrompts(QIcon appIcon = QIcon());

    QCoro::Task<int> showAlert(AlertRequest request) override;
    QCoro::Task<std::optional<QString>> chooseFileToOpen(FilePanelRequest request) override;
    QCoro::Task<std::optional<QString>> chooseFileToSave(FilePanelRequest request) override;
    bool openUrl(const QUrl& url) override;

    // How many alerts and panels are on screen.
    static int openCount();

private:
    static QCoro::Task<std::optional<QString>> choose(FilePanelRequest request, bool save);

    QIcon m_appIcon;
};
