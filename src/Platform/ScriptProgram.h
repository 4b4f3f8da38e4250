#pragma once

#include "Platform/ScriptRunner.h"
#include "Platform/ScriptSourceReader.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
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

    // The order in which a script's statements run: "try" and "end try" lines are stepped over,
    // and an error inside a "try" block goes on after that block's "end try". Every host runs its
    // statements through one, so they all agree on where an error leads.
    struct Walk {
        const ScriptProgram& program;
        // The statement to perform; a statement that reads ahead may move it on.
        qsizetype pc = -1;
        int tryDepth = 0;

        // Moves to the next statement to perform; false at the end of the script.
        bool next();
        // The statement at pc failed: true when a "try" block takes the error (the walk goes on
        // after its "end try"), false when the error ends the script.
        bool recover();

        // Performs the statement at pc, which it may move on over what it read ahead.
        using Step = std::function<QCoro::Task<std::optional<ScriptError>>(qsizetype& pc)>;
        // Performs program's statements through step in the walk's order until one leaves a value
        // in returned or fails outside every "try" block.
        static QCoro::Task<ScriptResult> perform(const ScriptProgram& program, const Step& step,
                                                 const std::optional<ScriptDescriptor>& returned);
    };
};
