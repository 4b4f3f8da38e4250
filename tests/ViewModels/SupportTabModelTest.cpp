#include "ViewModels/SupportTabModel.h"
#include "Platform/Simulated/SimulatedInstalledApplications.h"
#include "Platform/Simulated/SimulatedSystemInfo.h"
#include "Services/Storage/AnalysisLogger.h"
#include "ViewModels/AboutTabModel.h"

#include "Support/ScriptedDesktop.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrlQuery>

#include <gtest/gtest.h>

namespace {

class SupportTabModelTest : public SimulatedDesktopFixture {
protected:
    SupportTabModelTest() {
        system->version = "2.1.0";
        system->build = "210";
        system->operatingSystem = "Debian GNU/Linux 12 (bookworm)";
        system->deviceModel = "ThinkPad X1";
        platform().systemInfo = system;
        desktop().installedApplicationsPort().setDefaultApplication("mailto", "org.example.Mail.desktop");
        QFile::remove(logPath());
    }
    ~SupportTabModelTest() override { QFile::remove(logPath()); }

    static QString logPath() { return AnalysisLogger::logFileURL().toLocalFile(); }
    static void writeLog() {
        QDir().mkpath(QFileInfo(logPath()).absolutePath());
        QFile file(logPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(100000, 'x'));
    }
    // The subject and body of the last link opened, decoded.
    QPair<QString, QString> lastMail() {
        const QUrl url = prompts().openedUrls().last();
        EXPECT_EQ(url.scheme(), "mailto");
        EXPECT_EQ(url.path(), "support@ordella.app");
        const QUrlQuery query(url);
        return {query.queryItemValue("subject", QUrl::FullyDecoded),
                query.queryItemValue("body", QUrl::FullyDecoded)};
    }

    std::shared_ptr<SimulatedSystemInfo> system = std::make_shared<SimulatedSystemInfo>();
};

TEST_F(SupportTabModelTest, FeedbackAndBugReportMailsCarryTheEnvironment) {
    SupportTabModel support;
    support.composeFeedbackEmail();
    EXPECT_EQ(lastMail().first, "Ordella Feedback (Version: 2.1.0, Build: 210)");
    EXPECT_EQ(lastMail().second, "[Your feedback here]\n\n\n\nENVIRONMENT\nApp version: 2.1.0\n"
                                 "OS version: Debian GNU/Linux 12 (bookworm)\nDevice model: ThinkPad X1");
    system->version.reset();
    system->build.reset();
    support.composeBugReportEmail();
    const auto [subject, body] = lastMail();
    EXPECT_EQ(subject, "Ordella Bug Report (Version: Unknown, Build: Unknown)");
    EXPECT_TRUE(body.startsWith("DESCRIPTION\n[What happened? Please be as detailed as possible.]\n\n\n\n\n"
                                "STEPS TO REPRODUCE\n1.\n2.\n3.\n\n\n\nADDITIONAL INFORMATION\n"));
    EXPECT_TRUE(body.endsWith("App version: Unknown\nOS version: Debian GNU/Linux 12 (bookworm)\n"
                              "Device model: ThinkPad X1"));
    EXPECT_FALSE(body.contains("Build"));
    AboutTabModel about;
    EXPECT_EQ(about.appVersion(), "\u2014");
    EXPECT_EQ(about.buildNumber(), "\u2014");
}

TEST_F(SupportTabModelTest, HostileTextsAreEncodedAndTheLinkStaysShort) {
    system->operatingSystem = "Linux&subject=x?body=y#frag %41 \u00e9\U0001F600\r\n<>\"'";
    system->deviceModel = QString(5000, u'\u00e9') + "\U0001F600";
    SupportTabModel support;
    support.composeFeedbackEmail();
    const QByteArray link = prompts().openedUrls().last().toEncoded();
    EXPECT_LE(link.size(), SupportTabModel::maxMailtoLength);
    const QByteArray query = link.mid(link.indexOf('?') + 1);
    // Exactly the two fields, and nothing but unreserved characters and escapes inside them.
    EXPECT_EQ(query.count('&'), 1);
    EXPECT_EQ(query.count('='), 2);
    for (const char c : query) {
        EXPECT_TRUE(
            QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~%&=").contains(c))
            << c;
    }
    EXPECT_TRUE(
        lastMail().second.contains("OS version: Linux&subject=x?body=y#frag %41 \u00e9\U0001F600\r\n"));
}

TEST_F(SupportTabModelTest, TheLogGoesAsAnAttachmentOrByItsPath) {
    SupportTabModel support;
    EXPECT_FALSE(support.logFileExists());
    EXPECT_EQ(support.attachHelpText(), "No log available yet. Restore a workspace first.");
    support.composeBugReportEmail();
    EXPECT_FALSE(lastMail().second.contains("analysis log"));

    writeLog();
    EXPECT_FALSE(support.logFileExists()) << "read again only when the tab comes on screen";
    support.appear();
    EXPECT_TRUE(support.logFileExists());
    EXPECT_EQ(support.attachHelpText(), "");
    // Without a mail program that takes attachments, the mail names the file and its folder opens.
    support.composeBugReportEmail();
    const QUrl mail = prompts().openedUrls().last();
    EXPECT_EQ(prompts().openedUrls().at(prompts().openedUrls().size() - 2),
              QUrl::fromLocalFile(QFileInfo(logPath()).absolutePath()));
    EXPECT_TRUE(lastMail().second.endsWith("\n\n\nPlease attach the restoration analysis log: " + logPath()));
    EXPECT_LE(mail.toEncoded().size(), SupportTabModel::maxMailtoLength);

    prompts().setCanComposeEmail(true);
    const qsizetype opened = prompts().openedUrls().size();
    support.composeBugReportEmail();
    ASSERT_EQ(prompts().composedEmails().size(), 1);
    const EmailDraft draft = prompts().composedEmails().first();
    EXPECT_EQ(draft.recipient, "support@ordella.app");
    EXPECT_EQ(draft.subject, SupportTabModel::bugReportSubject());
    EXPECT_EQ(draft.body, SupportTabModel::bugReportBody());
    EXPECT_EQ(draft.attachments, QStringList{logPath()});
    EXPECT_EQ(prompts().openedUrls().size(), opened);

    // Switched off, neither way carries the log; a fresh tab attaches it again.
    support.setAttachLogFile(false);
    support.composeBugReportEmail();
    EXPECT_EQ(prompts().composedEmails().size(), 1);
    EXPECT_FALSE(lastMail().second.contains("analysis log"));
    support.reset();
    EXPECT_TRUE(support.attachLogFile());
}

TEST_F(SupportTabModelTest, WithoutAMailProgramTheUserIsToldAndOfferedTheLogsFolder) {
    desktop().installedApplicationsPort().setDefaultApplication("mailto", "");
    SupportTabModel support;
    support.composeFeedbackEmail();
    ASSERT_TRUE(clock().runUntil([&] { return prompts().shownAlerts().size() == 1; }));
    AlertRequest alert = prompts().shownAlerts().last();
    EXPECT_EQ(alert.messageText, "No mail program is set up");
    EXPECT_EQ(alert.informativeText,
              "Ordella could not open a new mail. Please write to support@ordella.app.");
    EXPECT_EQ(alert.buttons, QStringList{"OK"});

    writeLog();
    prompts().queueAlertAnswer(0);
    support.composeBugReportEmail();
    ASSERT_TRUE(clock().runUntil([&] { return prompts().shownAlerts().size() == 2; }));
    alert = prompts().shownAlerts().last();
    EXPECT_EQ(alert.informativeText, "Ordella could not open a new mail. Please write to support@ordella.app "
                                     "and attach the restoration analysis log from its folder.");
    EXPECT_EQ(alert.buttons, (QStringList{"Show Log Folder", "OK"}));
    ASSERT_TRUE(clock().runUntil([&] { return !prompts().openedUrls().isEmpty(); }));
    EXPECT_EQ(prompts().openedUrls(), QList<QUrl>{QUrl::fromLocalFile(QFileInfo(logPath()).absolutePath())});
    EXPECT_TRUE(prompts().composedEmails().isEmpty());
}

TEST_F(SupportTabModelTest, LinksOpenTheProductPages) {
    SupportTabModel().openFAQ();
    AboutTabModel about;
    about.openWebsite();
    EXPECT_EQ(prompts().openedUrls(),
              (QList<QUrl>{QUrl("https://ordella.app/faq"), QUrl("https://ordella.app")}));
    EXPECT_EQ(about.websiteHost(), "ordella.app");
    EXPECT_EQ(about.appVersion(), "2.1.0");
}

} // namespace
