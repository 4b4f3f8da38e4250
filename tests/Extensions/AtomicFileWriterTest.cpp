#include "Extensions/AtomicFileWriter.h"
#include "Support/FullDisk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <iostream>
#include <optional>

namespace {

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QStringList listing(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

// On a disk that is full (or becomes full halfway), the file keeps what it held, the answer says
// why, and no temporary copy stays behind; a file that fits is written whole.
TEST(AtomicFileWriterTest, AFullDiskKeepsTheOldFileAndSaysSo) {
    const QByteArray small(100, 's');
    const QByteArray large(100 * 1024, 'l');
    struct Row {
        const char* name;
        std::optional<QByteArray> old;
        QByteArray data;
        qint64 room; // bytes left on the disk
        int chunks;  // writes the data is handed over in
        bool written;
    };
    const Row rows[] = {
        {"a small new file", std::nullopt, small, 0, 1, false},
        // The one QSaveFile alone reports as written, leaving an empty file.
        {"a small file over an old one", QByteArray("old"), small, 0, 1, false},
        {"a large file over an old one", QByteArray("old"), large, 0, 1, false},
        {"a file that fits in part", QByteArray("old"), large, 8192, 1, false},
        {"a file in parts that fits in part", QByteArray("old"), large, 8192, 10, false},
        {"a file that fits", QByteArray("old"), small, 8192, 1, true},
        {"a file in parts that fits", std::nullopt, small, 8192, 4, true},
    };
    for (const FullDisk::Kind kind : FullDisk::kinds()) {
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(FullDisk::name(kind)) + ": " + row.name);
            FullDisk disk(kind);
            if (!disk.unavailableReason().isEmpty()) {
                std::cout << FullDisk::name(kind) << " left out: " << disk.unavailableReason().toStdString()
                          << '\n';
                break;
            }
            const QString path = QDir(disk.folder()).filePath(QStringLiteral("file.json"));
            if (row.old) {
                ASSERT_TRUE(AtomicFileWriter::writeFile(path, *row.old));
            }
            disk.fill(row.room);

            AtomicFileWriter writer(path);
            bool answer = writer.open();
            // Its copy is named as no one else names a file, so that one left behind is known.
            const QStringList during = listing(disk.folder());
            EXPECT_EQ(during.size(), row.old ? 2 : 1);
            EXPECT_EQ(AtomicFileWriter::targetOfTemporaryCopy(during.value(row.old ? 1 : 0)), "file.json");
            const qsizetype chunk = (row.data.size() + row.chunks - 1) / row.chunks;
            for (qsizetype at = 0; at < row.data.size(); at += chunk) {
                answer = writer.write(row.data.mid(at, chunk)) && answer;
            }
            answer = writer.commit() && answer;

            EXPECT_EQ(answer, row.written);
            EXPECT_EQ(writer.failed(), !row.written);
            EXPECT_EQ(contents(path), row.written ? row.data : row.old.value_or("<missing>"));
            EXPECT_EQ(listing(disk.folder()),
                      (row.written || row.old ? QStringList{"file.json"} : QStringList{}));
            if (!row.written) {
                EXPECT_EQ(writer.errorString(), "No space left on device");
                EXPECT_FALSE(writer.write("more")); // a failed writer stays failed
                EXPECT_FALSE(writer.commit());
            }
        }
    }
}

// A file another writer opened (QSettings hands its storage function such a file) reports a full
// disk through writeAll(), before its owner would commit an empty file.
TEST(AtomicFileWriterTest, AFileAnotherWriterOpenedIsCheckedToTheLastByte) {
    for (const FullDisk::Kind kind : FullDisk::kinds()) {
        SCOPED_TRACE(FullDisk::name(kind));
        FullDisk disk(kind);
        if (!disk.unavailableReason().isEmpty()) {
            continue;
        }
        const QString path = QDir(disk.folder()).filePath(QStringLiteral("settings.json"));
        ASSERT_TRUE(AtomicFileWriter::writeFile(path, "{}"));
        disk.fill();
        {
            QSaveFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly)); // buffered, as QSettings opens it
            EXPECT_FALSE(AtomicFileWriter::writeAll(file, QByteArray(100, 'x')));
        }
        EXPECT_EQ(contents(path), "{}");
        disk.makeRoom();
        QSaveFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        EXPECT_TRUE(AtomicFileWriter::writeAll(file, "{\"a\":1}"));
        EXPECT_TRUE(file.commit());
        EXPECT_EQ(contents(path), "{\"a\":1}");
    }
}

TEST(AtomicFileWriterTest, WhatCannotBeOpenedIsNeverWritten) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir().mkpath(dir.filePath("folder")));
    const struct {
        const char* name;
        QString path;
    } rows[] = {
        {"no name", QString()},
        {"a folder", dir.filePath("folder")},
        {"in a folder that is not there", dir.filePath("missing/file")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const AtomicFileWriter::Result result = AtomicFileWriter::writeFile(row.path, "data");
        EXPECT_FALSE(result.written);
        EXPECT_FALSE(result.errorString.isEmpty());
    }
    EXPECT_TRUE(QFileInfo(dir.filePath("folder")).isDir());
}

// A file replaced whole keeps what the user gave it: who may read it, and a link of its name
// stays a link to where the content went.
TEST(AtomicFileWriterTest, AReplacedFileKeepsItsPermissionsAndItsLink) {
    QTemporaryDir dir;
    const QString real = dir.filePath("elsewhere.json");
    const QString linked = dir.filePath("file.json");
    ASSERT_TRUE(AtomicFileWriter::writeFile(real, "old"));
    ASSERT_TRUE(QFile::setPermissions(real, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ReadUser | QFileDevice::WriteUser |
                                                QFileDevice::ReadGroup));
    const QFileDevice::Permissions before = QFile::permissions(real);
    ASSERT_TRUE(QFile::link(real, linked));

    ASSERT_TRUE(AtomicFileWriter::writeFile(linked, "new"));
    EXPECT_TRUE(QFileInfo(linked).isSymLink());
    EXPECT_EQ(contents(real), "new");
    EXPECT_EQ(QFile::permissions(real), before);
    EXPECT_EQ(listing(dir.path()), (QStringList{"elsewhere.json", "file.json"}));
}
