#pragma once

#include "Platform/ScriptSourceReader.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// A script text of the system's browser and file-manager services, read into statements. Every
// script host (the simulated desktop's and the real one's) reads the texts here, so they all
// understand exactly the same scripts: string literals are unescaped as the script language does,
// blocks are recognised whole, and any other text is refused as a syntax error.
struct ScriptProgram {
    // The two browser dialects and the file manager.
    enum class Dialect { Safari, Chromium, FileManager };

    // Error numbers that script hosts answer with.
    static constexpr int syntaxError = -2741;
    static constexpr int notRunning = -600;
    static constexpr int invalidIndex = -1719;
    static constexpr int cannotGet = -1728;
    static constexpr int cannotCoerce = -1700;
    static constexpr int undefinedVariable = -2753;

    struct Statement {
        enum class Op {
            BrowserListing,
            CloseBeyond,
            CloseEmpty,
            MakeDocument,
            MakeWindow,
            SetActiveTabUrl,
            ReturnNumber,
            ReturnCount,
            SetWindowBounds,
            TellWindow,
            EndTell,
            MakeTab,
            SetCurrentTab,
            SetActiveTabIndex,
            CloseEvery,
            Try,
            EndTry,
            FolderListing,
            MakeFolderWindow,
            SetVariableBounds,
            CloseWhereTarget,
            SetFrontWhereTargetBounds,
            ReturnWindowIds,
            CloseWindowId,
        };
        Op op;
        ScriptSourceReader::Captures args;
        QString source; // the line (or block) as written
    };

    // The name the script addresses the application by ("Chromium", "Finder").
    QString appName;
    // The identifier that name stands for.
    QString bundleIdentifier;
    Dialect dialect = Dialect::Chromium;
    QList<Statement> statements;

    bool isBrowser() const { return dialect != Dialect::FileManager; }

    // The program of a script text, or nothing with the reason in problem.
    static std::optional<ScriptProgram> compile(const QString& source, QString* problem);
    // The identifier behind a script name; empty for a name no script addresses.
    static QString bundleIdentifierOf(const QString& appName);
    // Where a statement at pc that failed inside a "try" block goes on: the index of that block's
    // "end try" (statements.size() when there is none).
    qsizetype endOfTry(qsizetype pc) const;
};
