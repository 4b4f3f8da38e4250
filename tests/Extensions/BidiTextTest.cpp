#include "Extensions/BidiText.h"

#include "Models/RestoreReport.h"
#include "Support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

const QString fsi(QChar(BidiText::firstStrongIsolate));
const QString pdi(QChar(BidiText::popDirectionalIsolate));

TEST(BidiText, OutsideTextIsIsolatedWhereItCouldReorderItsNeighbours) {
    struct Case {
        const char* what;
        QString text;
        QString isolated;
    };
    const QString rlo = QStringLiteral("\u202E");
    const QString rli = QStringLiteral("\u2067");
    const QString hebrew = QStringLiteral("\u05E9\u05DC\u05D5\u05DD");
    const QString r(QChar::ReplacementCharacter);
    const QList<Case> cases{
        {"plain", "Desk 2", "Desk 2"},
        {"empty", "", ""},
        {"emoji and accents", QStringLiteral("Caf\u00E9 \U0001F600"), QStringLiteral("Caf\u00E9 \U0001F600")},
        {"override", rlo + "gnp.exe", fsi + rlo + "gnp.exe" + pdi},
        {"right-to-left letters", hebrew + " 2", fsi + hebrew + " 2" + pdi},
        {"arabic digits", QStringLiteral("\u0661\u0662"), fsi + QStringLiteral("\u0661\u0662") + pdi},
        // A pop without its own opening would end the outer isolate early: dropped.
        {"stray pop", "a" + pdi + rlo + "b", fsi + "a" + rlo + "b" + pdi},
        // An isolate left open would take the outer pop for its own: closed first.
        {"open isolate", rli + "x", fsi + rli + "x" + pdi + pdi},
        {"balanced isolate", rli + "x" + pdi + "y", fsi + rli + "x" + pdi + "y" + pdi},
        // A paragraph ends the outer isolate: an override after it would reach past the name.
        {"paragraph separator", QStringLiteral("a\u2029") + rlo + "b", fsi + "a" + r + rlo + "b" + pdi},
        {"line feed", "a\nb", fsi + "a" + r + "b" + pdi},
        {"zero-width no-break space", QStringLiteral("\uFEFFa\uFEFF") + hebrew,
         fsi + QStringLiteral("\uFEFFa\uFEFF") + hebrew + pdi},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BidiText::isolated(c.text), c.isolated) << c.what;
    }
}

TEST(BidiText, TheCommandLineReplacesDirectionalFormattingOnly) {
    const QString r(QChar::ReplacementCharacter);
    EXPECT_EQ(BidiText::withoutDirectionalFormatting(QStringLiteral("\u202Agnp\u202B\u202C\u202D\u202E.exe")),
              r + "gnp" + r + r + r + r + ".exe");
    EXPECT_EQ(BidiText::withoutDirectionalFormatting(QStringLiteral("\u2066a\u2067b\u2068c\u2069")),
              r + "a" + r + "b" + r + "c" + r);
    // Letters of either direction and the marks stay.
    EXPECT_EQ(BidiText::withoutDirectionalFormatting(QStringLiteral("\u05E9\u200Fx\u200E")),
              QStringLiteral("\u05E9\u200Fx\u200E"));
}

// A log line tells the text's own backslashes from the escapes written for what it holds.
TEST(BidiText, ALogLineTellsTheTextsOwnBackslashesFromEscapes) {
    EXPECT_EQ(BidiText::escapedForLog(QStringLiteral("a\\nb\nc\\")), QStringLiteral("a\\\\nb\\nc\\\\"));
    EXPECT_EQ(BidiText::escapedForLog(QStringLiteral("C:\\Temp")), QStringLiteral("C:\\\\Temp"));
}

// The status line of a partial restore: each application's name isolated, the words between them
// as they are; the printed summary keeps the names as they came.
TEST(BidiText, TheInterfacesRestoreSummaryIsolatesEachName) {
    const QString spoof = QStringLiteral("\u202Egnp.exe");
    RestoreReport report;
    report.status = RestoreStatus::partiallyRestored;
    report.appResults = {{"a", spoof, RestoreStatus::failed, "gone", {}},
                         {"b", "Notes", RestoreStatus::failed, "gone", {}},
                         {"c", "Mail", RestoreStatus::restored, {}, {}}};
    report.missingDisplays = {QStringLiteral("\u05DE\u05E1\u05DA")};
    EXPECT_EQ(report.isolatedSummary(),
              "Display not connected: " + fsi + QStringLiteral("\u05DE\u05E1\u05DA") + pdi +
                  " | Partially restored \u2014 failed: " + fsi + spoof + pdi + ", Notes");
    EXPECT_EQ(report.summary(), "Display not connected: " + QStringLiteral("\u05DE\u05E1\u05DA") +
                                    " | Partially restored \u2014 failed: " + spoof + ", Notes");
}

} // namespace
