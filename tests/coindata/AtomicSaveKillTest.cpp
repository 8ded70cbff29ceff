// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileBytes.h"
#include "SaveLoop.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <filesystem>
#include <thread>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

// A save loop in a child process is killed with SIGKILL at random moments. After every kill the
// file is one of the two whole files it alternates between, and beside it lies at most the one
// temporary file of the save that was cut off; the next save removes it and nothing else.
class AtomicSaveKillTest : public QObject
{
    Q_OBJECT

private slots:
    void killedSavesLeaveAWholeFile_data()
    {
        QTest::addColumn<SaveLoop::Target>("target");
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("name");
        QTest::newRow("coin data file") << SaveLoop::Target::CoinData << "coin"
                                        << "coin.cdt";
        QTest::newRow("start-up file") << SaveLoop::Target::Startup << "startup"
                                       << "cmose.sys";
    }
    void killedSavesLeaveAWholeFile()
    {
        QFETCH(SaveLoop::Target, target);
        QFETCH(QString, argument);
        QFETCH(QString, name);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        // Files that are no leftover of a save of this file, however close their names.
        QStringList kept{name,
                         name + ".backup",
                         name + ".saving-abcde",
                         name + ".saving-abcdefg",
                         name + ".saving-ab.def",
                         "x" + name + ".saving-abcdef"};
        for (const QString& other : kept.sliced(1))
            QVERIFY(FileBytes::write(dir.filePath(other), "keep"));
        kept.sort();
        QVERIFY(SaveLoop::save(target, path, 0));
        const QList<QByteArray> wholeFiles{SaveLoop::bytes(target, 0), SaveLoop::bytes(target, 1)};

        // Bounded both ways: so many kills, or fewer on a machine too slow to make them in time.
        QDeadlineTimer bound(std::chrono::seconds(10));
        int kills = 0;
        int leftovers = 0;
        for (; kills < 100 && !bound.hasExpired(); ++kills) {
            QProcess saver;
            saver.start(QStringLiteral(SAVE_LOOP), {argument, path});
            QVERIFY(saver.waitForReadyRead(-1));
            std::this_thread::sleep_for(
                std::chrono::microseconds(QRandomGenerator::global()->bounded(3000)));
            saver.kill();
            QVERIFY(saver.waitForFinished(-1));

            QVERIFY(wholeFiles.contains(FileBytes::read(path)));
            const QStringList entries = QDir(dir.path()).entryList(QDir::Files, QDir::Name);
            QVERIFY2(entries.size() <= kept.size() + 1, qPrintable(entries.join(' ')));
            leftovers += int(entries.size() - kept.size());
        }
        qInfo("%d kills, after %d of them a temporary file lay beside the file", kills, leftovers);

        QVERIFY(FileBytes::write(path + ".saving-Zz09Aa", "cut off"));
        QVERIFY(SaveLoop::save(target, path, 1));
        QCOMPARE(FileBytes::read(path), wholeFiles[1]);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files, QDir::Name), kept);
    }

    // Until its rename a save is readable by its owner alone, whatever mode the file has: a
    // file size limit kills the saver mid-write and leaves its temporary file to be looked at.
    void aSaveCutOffMidWayIsTheOwnersAlone_data()
    {
        QTest::addColumn<int>("mode"); // of the file before, 0: no file yet
        QTest::newRow("new file") << 0;
        QTest::newRow("file open to all") << 0666;
    }
    void aSaveCutOffMidWayIsTheOwnersAlone()
    {
#ifdef Q_OS_UNIX
        namespace fs = std::filesystem;
        QFETCH(int, mode);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("coin.cdt"));
        if (mode != 0) {
            QVERIFY(SaveLoop::save(SaveLoop::Target::CoinData, path, 0));
            fs::permissions(QFileInfo(path).filesystemFilePath(), fs::perms(mode));
        }
        QProcess saver;
        saver.setChildProcessModifier([] {
            const rlimit smallFile{100, 100};
            const rlimit noCore{0, 0};
            setrlimit(RLIMIT_FSIZE, &smallFile);
            setrlimit(RLIMIT_CORE, &noCore);
        });
        saver.start(QStringLiteral(SAVE_LOOP), {QStringLiteral("coin"), path});
        QVERIFY(saver.waitForFinished(-1));
        QCOMPARE(saver.exitStatus(), QProcess::CrashExit);

        const QFileInfoList temps = QDir(dir.path()).entryInfoList({"coin.cdt.saving-*"});
        QCOMPARE(temps.size(), 1);
        QCOMPARE(fs::status(temps[0].filesystemFilePath()).permissions(),
                 fs::perms::owner_read | fs::perms::owner_write);
#else
        QSKIP("needs a per-process file size limit");
#endif
    }
};

QTEST_GUILESS_MAIN(AtomicSaveKillTest)
#include "AtomicSaveKillTest.moc"
