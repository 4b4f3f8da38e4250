#include "Platform/ScriptProgram.h"

namespace {

using Captures = ScriptSourceReader::Captures;
using AppKind = ScriptProgram::Dialect;

struct KnownApp {
    const char* name;
    const char* bundleIdentifier;
    AppKind kind;
};

// The applications that answer scripts, under the names scripts address them by.
constexpr KnownApp kKnownApps[] = {
    {"Safari", "com.apple.Safari", AppKind::Safari},
    {"Safari Technology Preview", "com.apple.SafariTechnologyPreview", AppKind::Safari},
    {"Google Chrome", "com.google.Chrome", AppKind::Chromium},
    {"Google Chrome Canary", "com.google.Chrome.canary", AppKind::Chromium},
    {"Arc", "company.thebrowser.Browser", AppKind::Chromium},
    {"Brave Browser", "com.brave.Browser", AppKind::Chromium},
    {"Microsoft Edge", "com.microsoft.edgemac", AppKind::Chromium},
    {"Opera", "com.operasoftware.Opera", AppKind::Chromium},
    {"Vivaldi", "com.vivaldi.Vivaldi", AppKind::Chromium},
    {"Chromium", "org.chromium.Chromium", AppKind::Chromium},
    {"Finder", "com.apple.finder", AppKind::FileManager},
};

} // namespace

namespace {

using Op = ScriptProgram::Statement::Op;

struct LineForm {
    std::optional<AppKind> only; // the forms of one dialect; nothing: every application
    bool browsers;               // false: the file manager
    const char* form;
    Op op;
};

constexpr LineForm kLineForms[] = {
    {AppKind::Safari, true, "    make new document with properties {URL:%s}", Op::MakeDocument},
    {AppKind::Chromium, true, "    make new window", Op::MakeWindow},
    {AppKind::Chromium, true, "    make new window with properties {user data dir:%s, profile directory:%s}",
     Op::MakeWindow},
    {AppKind::Chromium, true, "    set URL of active tab of window %n to %s", Op::SetActiveTabUrl},
    {std::nullopt, true, "    return %n", Op::ReturnNumber},
    {std::nullopt, true, "    return count of windows", Op::ReturnCount},
    {std::nullopt, true, "    set bounds of window %n to {%n, %n, %n, %n}", Op::SetWindowBounds},
    {std::nullopt, true, "tell window %n", Op::TellWindow},
    {std::nullopt, true, "make new tab with properties {URL:%s}", Op::MakeTab},
    {std::nullopt, true, "end tell", Op::EndTell},
    {AppKind::Safari, true, "    set current tab of window %n to tab %n of window %n", Op::SetCurrentTab},
    {AppKind::Chromium, true, "    set active tab index of window %n to %n", Op::SetActiveTabIndex},
    {std::nullopt, true, "    close every window", Op::CloseEvery},
    {std::nullopt, true, "    return id of every window", Op::ReturnWindowIds},
    {std::nullopt, true, "    try", Op::Try},
    {std::nullopt, true, "        close window id %n", Op::CloseWindowId},
    {std::nullopt, true, "    end try", Op::EndTry},
    {std::nullopt, false, "close every window", Op::CloseEvery},
    {std::nullopt, false, "try", Op::Try},
    {std::nullopt, false, "end try", Op::EndTry},
    {std::nullopt, false, "set %v to make new Finder window to (POSIX file %s as alias)",
     Op::MakeFolderWindow},
    {std::nullopt, false, "set bounds of %v to {%n, %n, %n, %n}", Op::SetVariableBounds},
    {std::nullopt, false, "close (every window whose target = (POSIX file %s as alias))",
     Op::CloseWhereTarget},
    {std::nullopt, false,
     "set bounds of (front window whose target = (POSIX file %s as alias)) to {%n, %n, %n, %n}",
     Op::SetFrontWhereTargetBounds},
};

QStringList browserListingForm(bool safari) {
    return QStringLiteral(R"(    set windowTabs to {}
    repeat with w in windows
        set tabList to {}
        set activeIndex to %1
        set tabIndex to 1
        repeat with t in tabs of w
            set tabURL to URL of t
            set tabTitle to %2 of t
            set isActive to (tabIndex = activeIndex)
            set end of tabList to {tabURL, tabTitle, isActive}
            set tabIndex to tabIndex + 1
        end repeat
        set end of windowTabs to tabList
    end repeat
    return windowTabs)")
        .arg(safari ? QStringLiteral("index of current tab of w") : QStringLiteral("active tab index of w"),
             safari ? QStringLiteral("name") : QStringLiteral("title"))
        .split(QLatin1Char('\n'));
}

const QStringList& closeBeyondForm() {
    static const QStringList form = QStringLiteral(R"(    set winCount to count of windows
    if winCount > %n then
        set toClose to winCount - %n
        repeat with i from winCount to (winCount - toClose + 1) by -1
            try
                close window i
            end try
        end repeat
    end if)")
                                        .split(QLatin1Char('\n'));
    return form;
}

// The addresses of pages that show nothing, as the browsers' housekeeping script must test them,
// in this order. Held here on its own, like every script form, so that a script testing others is
// not taken for the system's own.
const QStringList& newTabPrefixes() {
    static const QStringList prefixes =
        QStringLiteral("chrome://newtab chrome://new-tab-page edge://newtab brave://newtab "
                       "vivaldi://newtab opera://startpage arc://newtab about:blank about:newtab "
                       "favorites:// safari://startpage safari://favorites safari://newtab "
                       "safari://new-tab-page")
            .split(QLatin1Char(' '));
    return prefixes;
}

// "%c" stands for the chain of prefix tests on u.
QStringList closeEmptyForm(bool safari) {
    const QString head = QStringLiteral(R"(    repeat with i from (count of windows) to 1 by -1
        try
            set w to window i
            set tabCount to (count of tabs of w)
)");
    const QString dialect = safari ? QStringLiteral(R"(            if tabCount is 0 then
                close w
            else if tabCount is 1 then
                set u to URL of tab 1 of w
)")
                                   : QStringLiteral(R"(            if tabCount is 1 then
                set u to URL of active tab of w
)");
    const QString tail = QStringLiteral(R"(                if u is missing value then
                    close w
                else
                    set u to (u as string)
                    ignoring case
                        if %c then
                            close w
                        end if
                    end ignoring
                end if
            end if
        end try
    end repeat)");
    return (head + dialect + tail).split(QLatin1Char('\n'));
}

const QStringList& folderListingForm() {
    static const QStringList form = QStringLiteral(R"(    set windowData to {}
    repeat with aWindow in (get every window)
        try
            set targetPath to POSIX path of (target of aWindow as alias)
            set b to bounds of aWindow
            set wName to name of aWindow
            set end of windowData to {targetPath, b, wName}
        on error
            -- Window might not have a valid target (e.g., smart folder, search window)
            -- Skip this window
        end try
    end repeat
    return windowData)")
                                        .split(QLatin1Char('\n'));
    return form;
}

// Matches the lines from `at` against a block form; the captures of all its lines together.
std::optional<Captures> matchBlock(const QStringList& lines, qsizetype at, const QStringList& form) {
    if (at + form.size() > lines.size()) {
        return std::nullopt;
    }
    Captures all;
    for (qsizetype i = 0; i < form.size(); ++i) {
        const QString& line = lines[at + i];
        const qsizetype chain = form[i].indexOf(QStringLiteral("%c"));
        if (chain >= 0) {
            const QString before = form[i].left(chain);
            const QString after = form[i].mid(chain + 2);
            if (!line.startsWith(before) || !line.endsWith(after) ||
                line.size() < before.size() + after.size()) {
                return std::nullopt;
            }
            const auto prefixes = ScriptSourceReader::readStartsWithChain(
                QStringView(line).mid(before.size(), line.size() - before.size() - after.size()), u"u");
            if (!prefixes) {
                return std::nullopt;
            }
            all.strings << *prefixes;
            continue;
        }
        const auto captures = ScriptSourceReader::match(line, form[i]);
        if (!captures) {
            return std::nullopt;
        }
        all.strings << captures->strings;
        all.numbers << captures->numbers;
        all.names << captures->names;
    }
    return all;
}

std::optional<ScriptProgram> compileProgram(const QString& source, QString* problem) {
    const QStringList lines = source.split(QLatin1Char('\n'));
    const auto tell =
        lines.size() >= 2 ? ScriptSourceReader::match(lines.first(), u"tell application %s") : std::nullopt;
    if (!tell || lines.last() != QLatin1String("end tell")) {
        *problem = QStringLiteral("Expected a tell block around the script.");
        return std::nullopt;
    }
    const KnownApp* app = nullptr;
    for (const KnownApp& known : kKnownApps) {
        if (tell->strings.first() == QLatin1String(known.name)) {
            app = &known;
        }
    }
    if (!app) {
        *problem = QStringLiteral("Can't get application \"%1\".").arg(tell->strings.first());
        return std::nullopt;
    }
    ScriptProgram program;
    program.appName = QString::fromLatin1(app->name);
    program.bundleIdentifier = QString::fromLatin1(app->bundleIdentifier);
    program.dialect = app->kind;
    const bool browser = app->kind != AppKind::FileManager;
    const bool safari = app->kind == AppKind::Safari;
    const QStringList body = lines.mid(1, lines.size() - 2);
    int tryDepth = 0;
    int tellDepth = 0;
    for (qsizetype at = 0; at < body.size();) {
        const QList<std::pair<QStringList, Op>> blocks =
            browser ? QList<std::pair<QStringList, Op>>{{browserListingForm(safari), Op::BrowserListing},
                                                        {closeBeyondForm(), Op::CloseBeyond},
                                                        {closeEmptyForm(safari), Op::CloseEmpty}}
                    : QList<std::pair<QStringList, Op>>{{folderListingForm(), Op::FolderListing}};
        bool matched = false;
        for (const auto& [form, op] : blocks) {
            if (auto captures = matchBlock(body, at, form)) {
                if ((op == Op::CloseBeyond && captures->numbers[0] != captures->numbers[1]) ||
                    (op == Op::CloseEmpty && captures->strings != newTabPrefixes())) {
                    continue;
                }
                program.statements.append(ScriptProgram::Statement{
                    op, *captures, body.mid(at, form.size()).join(QLatin1Char('\n'))});
                at += form.size();
                matched = true;
                break;
            }
        }
        if (matched) {
            continue;
        }
        for (const LineForm& line : kLineForms) {
            if (line.browsers != browser || (line.only && *line.only != app->kind)) {
                continue;
            }
            if (auto captures = ScriptSourceReader::match(body[at], QString::fromLatin1(line.form))) {
                if ((line.op == Op::MakeTab && tellDepth == 0) ||
                    (line.op == Op::EndTell && tellDepth == 0) || (line.op == Op::EndTry && tryDepth == 0)) {
                    break;
                }
                tellDepth += line.op == Op::TellWindow ? 1 : line.op == Op::EndTell ? -1 : 0;
                tryDepth += line.op == Op::Try ? 1 : line.op == Op::EndTry ? -1 : 0;
                program.statements.append(ScriptProgram::Statement{line.op, *captures, body[at]});
                matched = true;
                break;
            }
        }
        if (!matched) {
            *problem = QStringLiteral("Syntax error on line %1: %2").arg(QString::number(at + 2), body[at]);
            return std::nullopt;
        }
        ++at;
    }
    if (tryDepth != 0 || tellDepth != 0) {
        *problem = QStringLiteral("Expected \"end\" but found end of script.");
        return std::nullopt;
    }
    return program;
}

} // namespace

std::optional<ScriptProgram> ScriptProgram::compile(const QString& source, QString* problem) {
    return compileProgram(source, problem);
}

QString ScriptProgram::bundleIdentifierOf(const QString& appName) {
    for (const KnownApp& known : kKnownApps) {
        if (appName == QLatin1String(known.name)) {
            return QString::fromLatin1(known.bundleIdentifier);
        }
    }
    return QString();
}

qsizetype ScriptProgram::endOfTry(qsizetype pc) const {
    for (int nested = 0; ++pc < statements.size();) {
        if (statements[pc].op == Statement::Op::Try) {
            ++nested;
        } else if (statements[pc].op == Statement::Op::EndTry && nested-- == 0) {
            return pc;
        }
    }
    return statements.size();
}

bool ScriptProgram::Walk::next() {
    while (++pc < program.statements.size()) {
        const Statement::Op op = program.statements[pc].op;
        if (op == Statement::Op::Try) {
            ++tryDepth;
        } else if (op == Statement::Op::EndTry) {
            --tryDepth;
        } else {
            return true;
        }
    }
    return false;
}

bool ScriptProgram::Walk::recover() {
    if (tryDepth == 0) {
        return false;
    }
    // Go on after the "end try" of the innermost block.
    pc = program.endOfTry(pc);
    --tryDepth;
    return true;
}

QCoro::Task<ScriptResult> ScriptProgram::Walk::perform(const ScriptProgram& program, const Step& step,
                                                       const std::optional<ScriptDescriptor>& returned) {
    Walk walk{program};
    while (walk.next()) {
        if (const std::optional<ScriptError> error = co_await step(walk.pc)) {
            if (!walk.recover()) {
                co_return ScriptResult::failure(*error);
            }
            continue;
        }
        if (returned) {
            break;
        }
    }
    co_return ScriptResult::answer(returned.value_or(ScriptDescriptor::missing()));
}
