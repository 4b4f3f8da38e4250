#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <qcoro/qcorotask.h>

#include <optional>

// A question to the user with one or more buttons, the first being the default - unless the first
// destroys something: then the last (Cancel) is, so Return never destroys.
struct AlertRequest {
    enum class Style { Informational, Warning, Critical };

    Style style = Style::Informational;
    QString messageText;
    QString informativeText;
    QStringList buttons;
    bool destructive = false;
    // Name of an application image to show; the platform's icon when there is none of that name.
    QString iconName;
};

// A panel to choose a file or folder to open, or a place to save to.
struct FilePanelRequest {
    QString title;
    QString message;
    // Where the panel opens; the home folder when empty.
    QString directory;
    QString suggestedName;
    QStringList allowedSuffixes;
    bool chooseDirectories = false;
};

// A new mail for the user to finish and send in their mail program.
struct EmailDraft {
    QString recipient;
    QString subject;
    QString body;
    // Files to attach, by path.
    QStringList attachments;
};

// Alerts and panels shown to the user, awaited without blocking the event loop, and the opening of
// a URL in the user's default handler.
class Prompts {
public:
    virtual ~Prompts() = default;

    // The position (from 0) of the button the user chose; -1 when the alert was dismissed otherwise.
    virtual QCoro::Task<int> showAlert(AlertRequest request) = 0;
    // The chosen path, or nothing when the user cancelled.
    virtual QCoro::Task<std::optional<QString>> chooseFileToOpen(FilePanelRequest request) = 0;
    virtual QCoro::Task<std::optional<QString>> chooseFileToSave(FilePanelRequest request) = 0;
    // Opens url with the user's default handler; false when nothing could open it.
    virtual bool openUrl(const QUrl& url) = 0;
    // Opens the draft, attachments included, in the user's mail program through xdg-email; false
    // when that tool is missing or cannot be started, so the caller can fall back to a link.
    virtual bool composeEmail(const EmailDraft& draft);
};
