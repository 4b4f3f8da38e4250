#include "Support/OwnProcess.h"

#include <QCoreApplication>
#include <QProcess>

#include <gtest/gtest.h>

bool OwnProcess::runsHere() {
    const ::testing::UnitTest& unit = *::testing::UnitTest::GetInstance();
    if (unit.test_to_run_count() == 1) {
        return true;
    }
    const ::testing::TestInfo& test = *unit.current_test_info();
    const QString name = QString::fromUtf8(test.test_suite_name()) + u'.' + QString::fromUtf8(test.name());
    QProcess child;
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=") + name});
    // As long as the test may take when it runs alone.
    const bool finished = child.waitForFinished(120 * 1000);
    if (!finished) {
        child.kill();
        child.waitForFinished(-1);
    }
    EXPECT_TRUE(finished && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0)
        << name.toStdString() << " in a process of its own:\n"
        << child.readAll().toStdString();
    return false;
}
