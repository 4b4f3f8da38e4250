#include "Services/Storage/CapturedPrograms.h"

#include "Services/Storage/JsonSettingsFormat.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

using Program = CapturedPrograms::Program;

class CapturedProgramsTest : public ::testing::Test {
protected:
    CapturedProgramsTest() { JsonSettingsFormat::userSettings()->remove(QStringLiteral("capturedPrograms")); }
    ~CapturedProgramsTest() override {
        JsonSettingsFormat::userSettings()->remove(QStringLiteral("capturedPrograms"));
    }
};

TEST_F(CapturedProgramsTest, KeepsTheMostRecentlyCapturedFirstAndDocumentsOnceSeen) {
    const struct {
        const char* name;
        QList<Program> recorded; // in order
        QList<Program> listed;
    } cases[] = {
        {"one", {{"/usr/bin/xedit", true}}, {{"/usr/bin/xedit", true}}},
        {"a second capture moves it to the front",
         {{"/usr/bin/xedit", false}, {"/usr/bin/xcalc", false}, {"/usr/bin/xedit", false}},
         {{"/usr/bin/xedit", false}, {"/usr/bin/xcalc", false}}},
        {"seen with documents once, it keeps them",
         {{"/usr/bin/xedit", true}, {"/usr/bin/xedit", false}},
         {{"/usr/bin/xedit", true}}},
        {"identifiers are taken as the capture saved them",
         {{"/usr/bin/python3 /home/me/tool.py", false}, {"/usr/bin/python3", true}},
         {{"/usr/bin/python3", true}, {"/usr/bin/python3 /home/me/tool.py", false}}},
        {"an empty identifier is never listed", {{"", true}}, {}},
    };
    for (const auto& c : cases) {
        JsonSettingsFormat::userSettings()->remove(QStringLiteral("capturedPrograms"));
        for (const Program& program : c.recorded) {
            EXPECT_EQ(CapturedPrograms::record(program.identifier, program.withDocuments),
                      !program.identifier.isEmpty())
                << c.name;
        }
        EXPECT_EQ(CapturedPrograms::all(), c.listed) << c.name;
        for (const Program& program : c.listed) {
            EXPECT_EQ(CapturedPrograms::find(program.identifier), program) << c.name;
        }
        EXPECT_FALSE(CapturedPrograms::find(QStringLiteral("/usr/bin/rm"))) << c.name;
    }
}

TEST_F(CapturedProgramsTest, HoldsABoundedList) {
    for (qsizetype i = 0; i <= CapturedPrograms::maximumCount; ++i) {
        CapturedPrograms::record(QStringLiteral("/opt/p%1").arg(i), false);
    }
    const QList<Program> listed = CapturedPrograms::all();
    ASSERT_EQ(listed.size(), CapturedPrograms::maximumCount);
    EXPECT_EQ(listed.first().identifier, QStringLiteral("/opt/p%1").arg(CapturedPrograms::maximumCount));
    EXPECT_FALSE(CapturedPrograms::find(QStringLiteral("/opt/p0"))); // the oldest went
}

// The list is the user's own settings; a hand edit that does not fit is passed over entry by entry.
TEST_F(CapturedProgramsTest, PassesOverStoredEntriesThatDoNotFit) {
    const struct {
        const char* stored;
        QList<Program> listed;
    } cases[] = {
        {R"("just text")", {}},
        {R"({"identifier": "/usr/bin/xedit"})", {}},
        {R"([{"identifier": "/usr/bin/xedit", "documents": true}, 7, ["/usr/bin/rm"], {"identifier": 3},
            {"identifier": ""}, {"documents": true}, {"identifier": "/usr/bin/xcalc", "documents": "yes"}])",
         {{"/usr/bin/xedit", true}, {"/usr/bin/xcalc", false}}},
    };
    for (const auto& c : cases) {
        const QJsonDocument stored =
            QJsonDocument::fromJson(QByteArray(R"({"v": )") + c.stored + QByteArray("}"));
        ASSERT_TRUE(stored.isObject()) << c.stored;
        JsonSettingsFormat::userSettings()->setValue(QStringLiteral("capturedPrograms"),
                                                     stored.object().value(QStringLiteral("v")).toVariant());
        EXPECT_EQ(CapturedPrograms::all(), c.listed) << c.stored;
    }
}

} // namespace
