#include "Platform/Simulated/SimulatedPrompts.h"

QCoro::Task<int> SimulatedPrompts::showAlert(AlertRequest request) {
    m_alerts.append(std::move(request));
    co_return m_alertAnswers.isEmpty() ? m_defaultAlertAnswer : m_alertAnswers.takeFirst();
}

QCoro::Task<std::optional<QString>> SimulatedPrompts::chooseFileToOpen(FilePanelRequest request) {
    co_return nextPanelAnswer(std::move(request));
}

QCoro::Task<std::optional<QString>> SimulatedPrompts::chooseFileToSave(FilePanelRequest request) {
    co_return nextPanelAnswer(std::move(request));
}

std::optional<QString> SimulatedPrompts::nextPanelAnswer(FilePanelRequest request) {
    m_panels.append(std::move(request));
    return m_panelAnswers.isEmpty() ? std::nullopt : m_panelAnswers.takeFirst();
}

bool SimulatedPrompts::openUrl(const QUrl& url) {
    m_openedUrls.append(url);
    return m_openUrlSucceeds;
}

bool SimulatedPrompts::composeEmail(const EmailDraft& draft) {
    if (m_canComposeEmail) {
        m_emails.append(draft);
    }
    return m_canComposeEmail;
}
