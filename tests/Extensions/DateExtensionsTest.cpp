#include "Extensions/DateExtensions.h"
#include "Extensions/LocalizationManager.h"

#include <gtest/gtest.h>

namespace {

const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);

QDateTime utc(int y, int mo, int d, int h, int mi, int s = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
}

TEST(DateExtensionsTest, ElapsedTimeBoundaries) {
    const QDateTime now = utc(2026, 3, 10, 12, 0);
    const QList<std::pair<qint64, QString>> rows{
        {0, "now"},     {59, "now"},    {119, "now"},         {120, "2m"},    {3599, "59m"},
        {3600, "1h"},   {86399, "23h"}, {-1800, "now"},       {-3599, "now"}, {-3600, "-1h"},
        {-5400, "-1h"}, {-7200, "-2h"}, {86400, "yesterday"},
    };
    for (const auto& [secondsAgo, expected] : rows) {
        EXPECT_EQ(
            DateExtensions::workspaceTimeString(now.addSecs(-secondsAgo), now, QTimeZone::utc(), kEnglish),
            expected)
            << secondsAgo;
    }
}

TEST(DateExtensionsTest, CalendarDaysFollowTheTimeZone) {
    const QTimeZone berlin("Europe/Berlin");
    ASSERT_TRUE(berlin.isValid());
    // 00:30 on 10 March in Berlin.
    const QDateTime now = utc(2026, 3, 9, 23, 30);
    struct Row {
        QDateTime date;
        QTimeZone zone;
        QString expected;
    };
    const QList<Row> rows{
        // 24 h 10 min ago: 00:20 on the 9th, yesterday.
        {utc(2026, 3, 8, 23, 20), berlin, "yesterday"},
        // 25 h ago: 23:30 on the 8th in Berlin, the day before yesterday, but 22:30 on the 8th is
        // yesterday as seen from 23:30 on the 9th in UTC.
        {utc(2026, 3, 8, 22, 30), berlin, "Mar 8"},
        {utc(2026, 3, 8, 22, 30), QTimeZone::utc(), "yesterday"},
        // The hour rule wins over the calendar: 23 hours ago on the previous day.
        {utc(2026, 3, 9, 0, 30), berlin, "23h"},
        {utc(2026, 1, 1, 9, 0), berlin, "Jan 1"},
        {utc(2025, 12, 31, 9, 0), berlin, "Dec 31, 2025"},
        // Any date ahead stays with the hour rule, however far: three days ahead.
        {utc(2026, 3, 12, 23, 30), berlin, "-72h"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(DateExtensions::workspaceTimeString(row.date, now, row.zone, kEnglish), row.expected)
            << row.date.toString(Qt::ISODate).toStdString();
    }
}

TEST(LocalizationManagerTest, Labels) {
    EXPECT_EQ(LocalizationManager::iconCategory("Browser"), "Browser");
    EXPECT_EQ(LocalizationManager::iconCategory("Work"), "Work");
    EXPECT_EQ(LocalizationManager::tabsAcrossWindows(7, 2), "7 tabs across 2 windows");
}

} // namespace
