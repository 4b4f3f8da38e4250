#include "Platform/Linux/CommandLineDocument.h"

#include "Platform/Linux/LinuxProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

struct DocumentCase {
    const char* name;
    QList<QByteArray> arguments;
    // The document's file name in the folder; empty: none.
    QString document;
};

TEST(CommandLineDocumentTest, TakesTheOneFileTheProgramWasStartedWith) {
    QTemporaryDir folder;
    for (const char* file : {"notes.txt", "plan b.txt", "Build"}) {
        QFile(folder.filePath(QString::fromLatin1(file))).open(QIODevice::WriteOnly);
    }
    QDir(folder.path()).mkdir(QStringLiteral("folder"));
    const QByteArray absolute = QFile::encodeName(folder.filePath(QStringLiteral("notes.txt")));
    const QList<DocumentCase> cases = {
        {"a relative name", {"xedit", "notes.txt"}, "notes.txt"},
        {"an absolute name", {"/usr/bin/xedit", absolute}, "notes.txt"},
        {"a name with a blank", {"xedit", "plan b.txt"}, "plan b.txt"},
        {"after options that carry their value", {"xedit", "--geometry=80x24", "-rv", "notes.txt"}, ""},
        {"after an option with a separate value", {"xedit", "-geometry", "80x24", "notes.txt"}, "notes.txt"},
        {"a value is never a document", {"xterm", "-T", "Build"}, ""},
        {"names after --", {"xedit", "-fn", "--", "notes.txt"}, "notes.txt"},
        {"a command to run is no document", {"xterm", "-e", "vi", "notes.txt"}, ""},
        {"no argument", {"xedit"}, ""},
        {"two files", {"xedit", "notes.txt", "Build"}, ""},
        {"a file and something else", {"xedit", "notes.txt", "missing.txt"}, ""},
        {"a missing file", {"xedit", "missing.txt"}, ""},
        {"a folder", {"xedit", "folder"}, ""},
        {"a device", {"xedit", "/dev/null"}, ""},
        {"no command line", {}, ""},
    };
    for (const DocumentCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<QString> expected =
            c.document.isEmpty()
                ? std::nullopt
                : std::optional<QString>(QUrl::fromLocalFile(folder.filePath(c.document)).toString());
        EXPECT_EQ(CommandLineDocument::fromArguments(c.arguments, folder.path()), expected);
    }
    // A relative name needs the working folder to mean anything.
    EXPECT_FALSE(CommandLineDocument::fromArguments({"xedit", "notes.txt"}, QString()));
}

TEST(CommandLineDocumentTest, ReadsTheCommandLineAndFolderOfAProcess) {
    const qint32 self = qint32(QCoreApplication::applicationPid());
    EXPECT_EQ(QFileInfo(QFile::decodeName(LinuxProcess::commandLine(self).value(0))).fileName(),
              QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    EXPECT_EQ(LinuxProcess::workingFolder(self), QDir::currentPath());
    EXPECT_TRUE(LinuxProcess::isOwnUsers(self));
    EXPECT_TRUE(LinuxProcess::startTime(self));
    // The first process of the machine is older than this one.
    EXPECT_LT(LinuxProcess::startTime(1).value_or(0), LinuxProcess::startTime(self).value_or(0));
    EXPECT_TRUE(LinuxProcess::commandLine(999999).isEmpty());
    EXPECT_FALSE(LinuxProcess::isOwnUsers(999999));
    EXPECT_FALSE(CommandLineDocument::ofProcess(999999));
}

} // namespace
