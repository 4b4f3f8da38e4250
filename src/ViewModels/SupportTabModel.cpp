#include "ViewModels/SupportTabModel.h"

#include "Extensions/DetachedTask.h"
#include "Platform/InstalledApplications.h"
#include "Platform/Platform.h"
#include "Platform/Prompts.h"
#include "Platform/SystemInfo.h"
#include "Services/Storage/AnalysisLogger.h"

#include <QFileInfo>

namespace {

const QString kUnknown = QStringLiteral("Unknown");

std::shared_ptr<SystemInfo> systemInfo() {
    return Platform::current().systemInfo;
}

QString environmentBlock() {
    const std::shared_ptr<SystemInfo> system = systemInfo();
    return QStringLiteral("ENVIRONMENT\nApp version: ") + SupportTabModel::version() +
           QStringLiteral("\nOS version: ") + (system ? system->osVersion() : QString()) +
           QStringLiteral("\nDevice model: ") + (system ? system->getDeviceModel() : QString());
}

QString subject(const QString& kind) {
    return QStringLiteral("Ordella ") + kind + QStringLiteral(" (Version: ") + SupportTabModel::version() +
           QStringLiteral(", Build: ") + SupportTabModel::build() + u')';
}

// The text percent-encoded, cut at a whole character so that it takes at most budget bytes.
QByteArray encodeWithin(const QString& text, qsizetype budget) {
    QByteArray encoded;
    for (qsizetype i = 0; i < text.size();) {
        // A surrogate pair is one character and is never split.
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QByteArray piece = QUrl::toPercentEncoding(text.mid(i, length));
        if (encoded.size() + piece.size() > budget) {
            break;
        }
        encoded += piece;
        i += length;
    }
    return encoded;
}

} // namespace

SupportTabModel::SupportTabModel(QObject* parent)
    : QObject(parent) {
    appear();
}

QString SupportTabModel::supportAddress() {
    return QStringLiteral("support@ordella.app");
}

QString SupportTabModel::faqURL() {
    return QStringLiteral(ORDELLA_PRODUCT_PAGE_URL) + QStringLiteral("/faq");
}

void SupportTabModel::setAttachLogFile(bool attach) {
    if (attach != m_attachLogFile) {
        m_attachLogFile = attach;
        emit attachLogFileChanged();
    }
}

QString SupportTabModel::attachHelpText() const {
    return m_logFileExists ? QString() : QStringLiteral("No log available yet. Restore a workspace first.");
}

void SupportTabModel::appear() {
    const bool exists = AnalysisLogger::existingLogFileURL().has_value();
    if (exists != m_logFileExists) {
        m_logFileExists = exists;
        emit logFileExistsChanged();
    }
}

void SupportTabModel::reset() {
    setAttachLogFile(true);
    appear();
}

void SupportTabModel::openFAQ() {
    const QUrl url(faqURL(), QUrl::StrictMode);
    if (const std::shared_ptr<Prompts> prompts = Platform::current().prompts; prompts && url.isValid()) {
        prompts->openUrl(url);
    }
}

QString SupportTabModel::version() {
    const std::shared_ptr<SystemInfo> system = systemInfo();
    return (system ? system->appVersion() : std::nullopt).value_or(kUnknown);
}

QString SupportTabModel::build() {
    const std::shared_ptr<SystemInfo> system = systemInfo();
    return (system ? system->appBuild() : std::nullopt).value_or(kUnknown);
}

QString SupportTabModel::bugReportSubject() {
    return subject(QStringLiteral("Bug Report"));
}

QString SupportTabModel::bugReportBody() {
    return QStringLiteral("DESCRIPTION\n[What happened? Please be as detailed as possible.]\n\n\n\n\n"
                          "STEPS TO REPRODUCE\n1.\n2.\n3.\n\n\n\n"
                          "ADDITIONAL INFORMATION\n[Screenshots or any other relevant details.]\n\n\n\n\n") +
           environmentBlock();
}

QString SupportTabModel::feedbackSubject() {
    return subject(QStringLiteral("Feedback"));
}

QString SupportTabModel::feedbackBody() {
    return QStringLiteral("[Your feedback here]\n\n\n\n") + environmentBlock();
}

bool SupportTabModel::hasMailProgram() {
    const std::shared_ptr<InstalledApplications> installed = Platform::current().installedApplications;
    return installed && installed->defaultApplicationFor(QStringLiteral("mailto")).has_value();
}

QCoro::Task<void> SupportTabModel::showNoMailProgramAlert(std::optional<QString> logPath) {
    // Held for the whole wait: the alert's owner must outlive the answer.
    const std::shared_ptr<Prompts> prompts = Platform::current().prompts;
    if (!prompts) {
        co_return;
    }
    AlertRequest alert;
    alert.style = AlertRequest::Style::Warning;
    alert.messageText = QStringLiteral("No mail program is set up");
    alert.iconName = QStringLiteral("AppIcon");
    if (logPath) {
        alert.informativeText = QStringLiteral("Ordella could not open a new mail. Please write to ") +
                                supportAddress() +
                                QStringLiteral(" and attach the restoration analysis log from its folder.");
        alert.buttons = {QStringLiteral("Show Log Folder"), QStringLiteral("OK")};
    } else {
        alert.informativeText =
            QStringLiteral("Ordella could not open a new mail. Please write to ") + supportAddress() + u'.';
        alert.buttons = {QStringLiteral("OK")};
    }
    const int answer = co_await prompts->showAlert(alert);
    if (logPath && answer == 0) {
        prompts->openUrl(QUrl::fromLocalFile(QFileInfo(*logPath).absolutePath()));
    }
}

void SupportTabModel::composeBugReportEmail() {
    const std::shared_ptr<Prompts> prompts = Platform::current().prompts;
    if (!prompts) {
        return;
    }
    const std::optional<QUrl> log = m_attachLogFile ? AnalysisLogger::existingLogFileURL() : std::nullopt;
    // Without a mail program a link would open nothing: the user is told, and offered the log.
    if (!hasMailProgram()) {
        const std::optional<QUrl> existing = AnalysisLogger::existingLogFileURL();
        DetachedTask::start(QStringLiteral("SupportTabModel"), QStringLiteral("The alert"),
                            showNoMailProgramAlert(existing ? std::optional<QString>(existing->toLocalFile())
                                                            : std::nullopt));
        return;
    }
    QString body = bugReportBody();
    if (!log) {
        openMailto(bugReportSubject(), body);
        return;
    }
    const QString path = log->toLocalFile();
    if (prompts->composeEmail({supportAddress(), bugReportSubject(), body, {path}})) {
        return;
    }
    // No mail program takes attachments from here: the mail names the file and its folder opens,
    // so the user can drag it into the mail.
    body += QStringLiteral("\n\n\nPlease attach the restoration analysis log: ") + path;
    prompts->openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
    openMailto(bugReportSubject(), body);
}

void SupportTabModel::composeFeedbackEmail() {
    if (!hasMailProgram()) {
        DetachedTask::start(QStringLiteral("SupportTabModel"), QStringLiteral("The alert"),
                            showNoMailProgramAlert(std::nullopt));
        return;
    }
    openMailto(feedbackSubject(), feedbackBody());
}

QUrl SupportTabModel::mailtoUrl(const QString& address, const QString& subject, const QString& body) {
    QByteArray link = "mailto:" + QUrl::toPercentEncoding(address, "@") +
                      "?subject=" + encodeWithin(subject, maxEncodedSubjectLength) + "&body=";
    link += encodeWithin(body, maxMailtoLength - link.size());
    return QUrl::fromEncoded(link, QUrl::StrictMode);
}

bool SupportTabModel::openMailto(const QString& subject, const QString& body) {
    const std::shared_ptr<Prompts> prompts = Platform::current().prompts;
    const QUrl url = mailtoUrl(supportAddress(), subject, body);
    return prompts && url.isValid() && prompts->openUrl(url);
}
