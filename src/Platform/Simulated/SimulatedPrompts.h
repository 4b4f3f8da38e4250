#pragma once

#include "Platform/Prompts.h"

#include <QList>
#include <QUrl>

#include <optional>

// Prompts whose answers a test scripts in advance. Every alert and panel shown is recorded; an
// alert without a scripted answer gets the default answer (dismissed, unless changed), a panel
// without one is cancelled.
class SimulatedPrompts : public Prompts {
public:
    QCoro::Task<int> showAlert(AlertRequest request) override;
    QCoro::Task<std::optional<QString>> chooseFileToOpen(FilePanelRequest request) override;
    QCoro::Task<std::optional<QString>> chooseFileToSave(FilePanelRequest request) override;
    bool openUrl(const QUrl& url) override;
    // Records the draft; succeeds only when a mail program was made available.
    bool composeEmail(const EmailDraft& draft) override;

    // Answers for the next alerts: the position of the chosen button, -1 for dismissed.
    void queueAlertAnswer(int button) { m_alertAnswers.append(button); }
    void setDefaultAlertAnswer(int button) { m_defaultAlertAnswer = button; }
    // Answers for the next panels, open and save alike: a path, or nothing for cancelled.
    void queuePanelAnswer(std::optional<QString> path) { m_panelAnswers.append(std::move(path)); }
    // Whether openUrl succeeds.
    void setOpenUrlSucceeds(bool succeeds) { m_openUrlSucceeds = succeeds; }
    // Whether composeEmail finds a mail program; none by default.
    void setCanComposeEmail(bool can) { m_canComposeEmail = can; }

    const QList<AlertRequest>& shownAlerts() const { return m_alerts; }
    const QList<FilePanelRequest>& shownPanels() const { return m_panels; }
    const QList<QUrl>& openedUrls() const { return m_openedUrls; }
    const QList<EmailDraft>& composedEmails() const { return m_emails; }

private:
    std::optional<QString> nextPanelAnswer(FilePanelRequest request);

    QList<int> m_alertAnswers;
    int m_defaultAlertAnswer = -1;
    QList<std::optional<QString>> m_panelAnswers;
    bool m_openUrlSucceeds = true;
    QList<AlertRequest> m_alerts;
    QList<FilePanelRequest> m_panels;
    QList<QUrl> m_openedUrls;
    bool m_canComposeEmail = false;
    QList<EmailDraft> m_emails;
};
