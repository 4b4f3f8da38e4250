#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

#include <optional>

#include <qcoro/qcorotask.h>

// The Support tab: the FAQ page, and a bug report or feedback mail pre-filled with the version,
// the system and the machine. A bug report can carry the restoration analysis log: attached
// through the user's mail program where xdg-email is there, else named by its path in the mail,
// with its folder shown in the file manager. The log never goes inline, so the link stays short.
// Without a mail program the user is told so, and offered the log's folder.
class SupportTabModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool attachLogFile READ attachLogFile WRITE setAttachLogFile NOTIFY attachLogFileChanged)
    Q_PROPERTY(bool logFileExists READ logFileExists NOTIFY logFileExistsChanged)
    Q_PROPERTY(QString attachHelpText READ attachHelpText NOTIFY logFileExistsChanged)

public:
    // Mail programs and browsers open links up to about this length; longer bodies are shortened.
    static constexpr qsizetype maxMailtoLength = 2000;
    static constexpr qsizetype maxEncodedSubjectLength = 600;

    explicit SupportTabModel(QObject* parent = nullptr);

    static QString supportAddress();
    static QString faqURL();

    bool attachLogFile() const { return m_attachLogFile; }
    void setAttachLogFile(bool attach);
    bool logFileExists() const { return m_logFileExists; }
    QString attachHelpText() const;
    // The tab comes on screen: reads whether a log exists.
    void appear();
    // The tab is shown afresh: the log is attached again unless the user says otherwise.
    void reset();

    Q_INVOKABLE void openFAQ();
    Q_INVOKABLE void composeBugReportEmail();
    Q_INVOKABLE void composeFeedbackEmail();

    // The version and build as the mails name them ("Unknown" when the build does not say).
    static QString version();
    static QString build();
    static QString bugReportSubject();
    static QString bugReportBody();
    static QString feedbackSubject();
    static QString feedbackBody();
    // "mailto:" with the address, the subject and the body; every character outside the
    // unreserved set is percent-encoded; the subject is cut to maxEncodedSubjectLength and the
    // body so that the link stays within maxMailtoLength, both at whole characters.
    static QUrl mailtoUrl(const QString& address, const QString& subject, const QString& body);
    // Opens the link in the user's mail program; false when nothing could open it.
    static bool openMailto(const QString& subject, const QString& body);
    // Whether the desktop has a program for "mailto:" links.
    static bool hasMailProgram();

signals:
    void attachLogFileChanged();
    void logFileExistsChanged();

private:
    // Says that no mail program is set up; with a log, offers to show its folder.
    static QCoro::Task<void> showNoMailProgramAlert(std::optional<QString> logPath);

    bool m_attachLogFile = true;
    bool m_logFileExists = false;
};
