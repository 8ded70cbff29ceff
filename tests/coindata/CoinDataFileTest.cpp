// SPDX-License-Identifier: GPL-3.0-or-later
#include "CoinDataFile.h"
#include "DefaultSets.h"
#include "FileBytes.h"
#include "HostileFile.h"
#include "SelectorImage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

namespace {

SelectorImage imageFilledWith(const QString& text)
{
    SelectorImage image;
    for (int address = 0; address < SelectorImage::CellCount; ++address)
        image.setCell(address, text);
    return image;
}

QStringList numbersFrom(int first, int count)
{
    QStringList numbers;
    for (int k = 0; k < count; ++k)
        numbers << QString::number(first + k);
    return numbers;
}

QByteArray quotedLines(const QStringList& texts)
{
    QByteArray bytes;
    for (const QString& text : texts)
        bytes += '"' + text.toUtf8() + "\"\r\n";
    return bytes;
}

} // namespace

class CoinDataFileTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_fileCount = 0;

    // A new file holding the bytes.
    QString fileWith(const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(QString::number(++m_fileCount) + ".cdt");
        if (!FileBytes::write(path, bytes))
            qFatal("cannot write the test file");
        return path;
    }

private slots:
    void savesEditorDefaultsAsQuotedCrLfLines()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("default.cdt"));
        SelectorImage image;
        DefaultSets::applyEditorDefaults(image);
        QVERIFY(CoinDataFile::save(path, image));

        const QByteArray bytes = FileBytes::read(path);
        QVERIFY(
            bytes.startsWith("\"0\"\r\n\"0\"\r\n\"0\"\r\n\"170\"\r\n\"0\"\r\n\"0\"\r\n\"0\"\r\n"));
        QList<QByteArray> lines = bytes.split('\n');
        QCOMPARE(lines.size(), SelectorImage::CellCount + 1);
        QVERIFY(lines.takeLast().isEmpty());
        const QRegularExpression quotedNumber(QStringLiteral("^\"[0-9]+\"\r$"));
        for (const QByteArray& line : lines)
            QVERIFY2(quotedNumber.match(QString::fromUtf8(line)).hasMatch(), line);
    }

    void unsetCellsSaveAsEmptyQuotesAndLoadBackEmpty()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("selector.cdt"));
        SelectorImage image;
        for (int address = 0; address < SelectorImage::SelectorByteCount; ++address)
            image.setNumber(address, address);
        QVERIFY(CoinDataFile::save(path, image));

        const QList<QByteArray> lines = FileBytes::read(path).split('\n');
        QCOMPARE(lines.size(), SelectorImage::CellCount + 1);
        QCOMPARE(lines[188], QByteArray("\"188\"\r"));
        for (int address = SelectorImage::SelectorByteCount; address < SelectorImage::CellCount;
             ++address)
            QCOMPARE(lines[address], QByteArray("\"\"\r"));

        SelectorImage loaded = imageFilledWith(QStringLiteral("x"));
        QCOMPARE(CoinDataFile::load(path, loaded), CoinDataFile::LoadResult::Loaded);
        QVERIFY(loaded == image);
    }

    void encodesEachCellOnItsOwn()
    {
        // The halves of a surrogate pair in neighbouring cells do not join across the line end.
        const QString high = QStringLiteral("1") + QChar(0xD83D);
        const QString low = QChar(0xDE00) + QStringLiteral("2");
        SelectorImage image;
        image.setCell(0, high);
        image.setCell(1, low);
        const QList<QByteArray> lines = CoinDataFile::serialize(image).split('\n');
        QCOMPARE(lines[0], '"' + high.toUtf8() + "\"\r");
        QCOMPARE(lines[1], '"' + low.toUtf8() + "\"\r");
    }

    void cellTextsSurviveSaveAndLoad_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reloaded");
        const auto row = [](const char* name, const char* text, const char* reloaded) {
            QTest::newRow(name) << QString::fromUtf8(text) << QString::fromUtf8(reloaded);
        };
        row("trailing letters", "12abc", "12abc");
        row("commas", "1,2,3", "1,2,3");
        row("inner blanks", " 7 ", " 7 ");
        row("non-Latin-1", "€5", "€5");
        row("fraction", "-1.5", "-1.5");
        row("quote ends the text, number kept", "12\"ab", "12");
        row("line break ends the text, number kept", "7\r\n8", "7");
    }
    void cellTextsSurviveSaveAndLoad()
    {
        QFETCH(QString, text);
        QFETCH(QString, reloaded);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("texts.cdt"));
        SelectorImage image;
        DefaultSets::applyEditorDefaults(image);
        image.setCell(100, text);
        image.setCell(101, QStringLiteral("next"));
        QVERIFY(CoinDataFile::save(path, image));

        SelectorImage loaded;
        QCOMPARE(CoinDataFile::load(path, loaded), CoinDataFile::LoadResult::Loaded);
        QCOMPARE(loaded.cell(100), reloaded);
        image.setCell(100, reloaded);
        QVERIFY(loaded == image);
    }

    void parsesFields_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("nothing") << QByteArray() << QStringList();
        QTest::newRow("quoted CR LF lines")
            << QByteArray("\"1\"\r\n\"22\"\r\n") << QStringList{"1", "22"};
        QTest::newRow("plain LF lines") << QByteArray("1\n2\n3") << QStringList{"1", "2", "3"};
        QTest::newRow("CR alone") << QByteArray("1\r2\r") << QStringList{"1", "2"};
        QTest::newRow("CRs before LF are one line end")
            << QByteArray("\"1\"\r\r\n\"2\"\r\r\r\n3") << QStringList{"1", "2", "3"};
        QTest::newRow("CR CR alone is an empty line")
            << QByteArray("1\r\r3\r") << QStringList{"1", "", "3"};
        QTest::newRow("lone CRs, then CRs before LF")
            << QByteArray("\r\r1\r\r\n2") << QStringList{"", "", "1", "2"};
        QTest::newRow("a long run of lone CRs")
            << QByteArray(60000, '\r') << QStringList(SelectorImage::CellCount);
        QTest::newRow("commas and lines")
            << QByteArray("\"1\",\"2\",3\r\n4") << QStringList{"1", "2", "3", "4"};
        QTest::newRow("comma inside quotes")
            << QByteArray("\"a,b\"\r\n5") << QStringList{"a,b", "5"};
        QTest::newRow("blanks around plain fields")
            << QByteArray("  5 \t, \t6  \r\n") << QStringList{"5", "6"};
        QTest::newRow("blanks inside quotes kept")
            << QByteArray("  \" 5 \"  \r\n") << QStringList{" 5 "};
        QTest::newRow("empty quotes") << QByteArray("\"\"\r\n\"\"\r\n") << QStringList{"", ""};
        QTest::newRow("empty line keeps alignment")
            << QByteArray("1\r\n\r\n3\r\n") << QStringList{"1", "", "3"};
        QTest::newRow("comma before line end") << QByteArray("1,\n2") << QStringList{"1", "", "2"};
        QTest::newRow("trailing blanks make no field")
            << QByteArray("1\r\n  \t") << QStringList{"1"};
        QTest::newRow("text after closing quote dropped")
            << QByteArray("\"12\"ab,3") << QStringList{"12", "3"};
        QTest::newRow("quote inside quotes ends the field")
            << QByteArray("\"a\"b\"\r\n\"c\"") << QStringList{"a", "c"};
        QTest::newRow("unclosed quote ends at the line")
            << QByteArray("\"abc\r\n\"d\"") << QStringList{"abc", "d"};
        QTest::newRow("unclosed quote at the end") << QByteArray("\"abc") << QStringList{"abc"};
        QTest::newRow("quote inside plain field") << QByteArray("ab\"c") << QStringList{"ab\"c"};
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF\"1\"") << QStringList{"1"};
        QTest::newRow("UTF-8 text") << QByteArray("\"\xE2\x82\xAC\"") << QStringList{"€"};
        QTest::newRow("byte order mark inside a field is text")
            << QByteArray("\"\"\n\xEF\xBB\xBFx") << QStringList{"", QChar(0xFEFF) + QString("x")};
    }
    void parsesFields()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, fields);
        QCOMPARE(CoinDataFile::parseFields(bytes), fields);
    }

    void readsRawFieldsInPlace_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<CoinDataFile::QuoteRule>("quotes");
        QTest::addColumn<QByteArrayList>("texts");
        QTest::addColumn<QList<bool>>("quoted");
        const QByteArray pairs("\"a\"\"b\" ,c\"\"d");
        QTest::newRow("doubled quotes kept as they stand")
            << pairs << CoinDataFile::QuoteRule::DoubledQuote << QByteArrayList{"a\"\"b", "c\"\"d"}
            << QList<bool>{true, false};
        QTest::newRow("a quote closes the field")
            << pairs << CoinDataFile::QuoteRule::QuoteEndsField << QByteArrayList{"a", "c\"\"d"}
            << QList<bool>{true, false};
        QTest::newRow("bytes not decoded")
            << QByteArray("\xEF\xBB\xBF\"\xC3\",\xFF ") << CoinDataFile::QuoteRule::QuoteEndsField
            << QByteArrayList{"\xC3", "\xFF"} << QList<bool>{true, false};
    }
    void readsRawFieldsInPlace()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(CoinDataFile::QuoteRule, quotes);
        QFETCH(QByteArrayList, texts);
        QFETCH(QList<bool>, quoted);
        CoinDataFile::FieldReader reader(bytes, quotes);
        for (qsizetype i = 0; i < texts.size(); ++i) {
            const std::optional<CoinDataFile::RawField> field = reader.next();
            QVERIFY(field);
            QCOMPARE(field->text.toByteArray(), texts.at(i));
            QCOMPARE(field->quoted, quoted.at(i));
            const QByteArrayView whole(bytes);
            QVERIFY(field->text.begin() >= whole.begin() && field->text.end() <= whole.end());
        }
        QVERIFY(!reader.next());
    }

    void parsingStopsAfterMaxFields()
    {
        QCOMPARE(CoinDataFile::parseFields("1,2,3,4", 2), (QStringList{"1", "2"}));
        QCOMPARE(CoinDataFile::parseFields("1,2", 0), QStringList());
    }

    void loadsFieldsIntoLeadingCells_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("fields");
        const QStringList longList = numbersFrom(1000, 300);
        QTest::newRow("300 lines, the rest ignored")
            << (longList.join(QStringLiteral("\r\n")).toUtf8() + "\r\n")
            << longList.first(SelectorImage::CellCount);
        QTest::newRow("short file loads as far as it goes")
            << QByteArray("\"1\"\r\n\"2\"\r\n") << QStringList{"1", "2"};
        const QStringList plain = numbersFrom(0, SelectorImage::CellCount);
        QTest::newRow("plain numbers, LF only")
            << (plain.join(QLatin1Char('\n')).toUtf8() + "\n") << plain;
    }
    void loadsFieldsIntoLeadingCells()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, fields);
        SelectorImage image = imageFilledWith(QStringLiteral("old"));
        QCOMPARE(CoinDataFile::load(fileWith(bytes), image), CoinDataFile::LoadResult::Loaded);
        for (int address = 0; address < SelectorImage::CellCount; ++address)
            QCOMPARE(image.cell(address),
                     address < fields.size() ? fields[address] : QStringLiteral("old"));
    }

    // Anything refused leaves the image as it was.
    void checksSizeAndContentBeforeLoading_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<CoinDataFile::LoadResult>("result");
        using Result = CoinDataFile::LoadResult;
        const QByteArray lines = QByteArray("1\r\n").repeated(21845);
        QTest::newRow("missing") << "missing.cdt" << QByteArray() << Result::Unreadable;
        QTest::newRow("directory") << "." << QByteArray() << Result::Unreadable;
        QTest::newRow("exactly 64 KiB") << "limit.cdt" << lines + "2" << Result::Loaded;
        QTest::newRow("one byte more") << "large.cdt" << lines + "22" << Result::NotCoinData;
        QTest::newRow("binary") << "binary.cdt" << QByteArray("\"1\"\r\n\0\"2\"\r\n", 11)
                                << Result::NotCoinData;
        QTest::newRow("empty") << "empty.cdt" << QByteArray() << Result::NotCoinData;
        QTest::newRow("blanks and line ends")
            << "blank.cdt" << QByteArray(" \t\r\n\r\n  \n\r") << Result::NotCoinData;
        QTest::newRow("blank fields")
            << "quotes.cdt" << QByteArray("\"\",\" \"\r\n,\r\n") << Result::NotCoinData;
        QTest::newRow("one text field") << "one.cdt" << QByteArray("\r\n x") << Result::Loaded;
    }
    void checksSizeAndContentBeforeLoading()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(CoinDataFile::LoadResult, result);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        if (result != CoinDataFile::LoadResult::Unreadable)
            QVERIFY(FileBytes::write(path, bytes));
        const SelectorImage before = imageFilledWith(QStringLiteral("old"));
        SelectorImage image = before;
        QCOMPARE(CoinDataFile::load(path, image), result);
        QCOMPARE(image == before, result != CoinDataFile::LoadResult::Loaded);
    }

    // Files that "Open & Program" would send straight to the selector; every one of them still
    // loads for reading and editing.
    void loadsOnlyCompleteFilesForProgramming_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("complete");
        QStringList cells = numbersFrom(0, SelectorImage::SelectorByteCount);
        const QStringList numbers = cells;
        cells[3] = "  -1.5";
        cells[5] = ".5";
        cells[6] = "";
        cells[7] = "12abc";
        cells[8] = " ";
        const QByteArray good = quotedLines(cells);
        QTest::newRow("selector cells of numbers") << good << true;
        QTest::newRow("text after the selector cells") << good + "\"note\"\r\n" << true;
        QTest::newRow("188 fields") << quotedLines(numbers.first(188)) << false;
        QStringList text = numbers;
        text[188] = "abc";
        QTest::newRow("text at the last address") << quotedLines(text) << false;
        text = numbers;
        text[50] = "1e999";
        QTest::newRow("a number too large to be finite") << quotedLines(text) << false;
        QTest::newRow("truncated mid-line") << good.first(good.size() / 2) << false;
        QTest::newRow("unclosed quote swallows fields")
            << "0,1,\"2," + numbers.sliced(3).join(',').toUtf8() + "\r\n"
            << false;
        QByteArray binary;
        for (int byte = 1; byte < 256; ++byte)
            binary += char(byte);
        QTest::newRow("binary without NUL") << binary << false;
        QTest::newRow("Latin-1 text") << good + "\"caf\xE9\"\r\n" << false;
    }
    void loadsOnlyCompleteFilesForProgramming()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, complete);
        const QString path = fileWith(bytes);
        const SelectorImage before = imageFilledWith(QStringLiteral("old"));
        SelectorImage loaded = before;
        QCOMPARE(CoinDataFile::load(path, loaded), CoinDataFile::LoadResult::Loaded);

        SelectorImage programmed = before;
        QCOMPARE(CoinDataFile::loadComplete(path, programmed),
                 complete ? CoinDataFile::LoadResult::Loaded
                          : CoinDataFile::LoadResult::NotCoinData);
        QVERIFY(programmed == (complete ? loaded : before));
    }

    void saveIntoAnImpossiblePathFails()
    {
        QTemporaryDir dir;
        const QString notADirectory = dir.filePath(QStringLiteral("file"));
        QVERIFY(FileBytes::write(notADirectory, "x"));
        QString error;
        QVERIFY(!CoinDataFile::save(notADirectory + QStringLiteral("/coin.cdt"), SelectorImage(),
                                    &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(FileBytes::read(notADirectory), QByteArray("x"));
    }

    // A save through a link replaces the file it names and keeps the link, and its mode; what
    // is not a regular file is never replaced.
    void saveReplacesOnlyARegularFile_data()
    {
        QTest::addColumn<HostileFile::Kind>("kind");
        QTest::addColumn<bool>("saved");
        QTest::newRow("new file") << HostileFile::Kind::Missing << true;
        QTest::newRow("regular file") << HostileFile::Kind::Bytes << true;
        QTest::newRow("directory") << HostileFile::Kind::Directory << false;
        QTest::newRow("pipe") << HostileFile::Kind::Pipe << false;
    }
    void saveReplacesOnlyARegularFile()
    {
        QFETCH(HostileFile::Kind, kind);
        QFETCH(bool, saved);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("coin.cdt"));
        const QString link = dir.filePath(QStringLiteral("link.cdt"));
        QVERIFY(HostileFile::make(kind, path, "old"));
        QVERIFY(QFile::link(path, link));
        if (kind == HostileFile::Kind::Bytes)
            QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                    QFileDevice::ReadGroup));
        const QFileDevice::Permissions mode = QFile::permissions(path);
        const SelectorImage image = imageFilledWith(QStringLiteral("9"));

        QString error;
        QCOMPARE(CoinDataFile::save(link, image, &error), saved);
        QCOMPARE(error.isEmpty(), saved);
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(QFileInfo(path).isFile(), saved);
        if (saved)
            QCOMPARE(FileBytes::read(path), CoinDataFile::serialize(image));
        if (kind == HostileFile::Kind::Bytes)
            QCOMPARE(QFile::permissions(path), mode);
    }

    // A new file gets what the umask leaves of read and write for all; a file saved again
    // keeps its mode, even one wider than the umask.
    void aSavedFileHasTheModeItShould_data()
    {
        QTest::addColumn<int>("umask");
        QTest::addColumn<int>("before"); // the file's mode, 0: no file yet
        QTest::addColumn<int>("after");
        QTest::newRow("new, umask 022") << 022 << 0 << 0644;
        QTest::newRow("new, umask 077") << 077 << 0 << 0600;
        QTest::newRow("wider than the umask") << 077 << 0666 << 0666;
    }
    void aSavedFileHasTheModeItShould()
    {
#ifdef Q_OS_UNIX
        namespace fs = std::filesystem;
        QFETCH(int, umask);
        QFETCH(int, before);
        QFETCH(int, after);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("coin.cdt"));
        if (before != 0) {
            QVERIFY(FileBytes::write(path, "old"));
            fs::permissions(QFileInfo(path).filesystemFilePath(), fs::perms(before));
        }
        const mode_t previousMask = ::umask(mode_t(umask));
        const bool saved = CoinDataFile::save(path, SelectorImage());
        ::umask(previousMask);
        QVERIFY(saved);
        QCOMPARE(int(fs::status(QFileInfo(path).filesystemFilePath()).permissions()), after);
#else
        QSKIP("needs a umask");
#endif
    }

    // A write that fails half-way (a full disk) must not leave a truncated coin data file.
    void saveFailingMidWayKeepsThePreviousFile()
    {
#ifdef Q_OS_UNIX
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("coin.cdt"));
        SelectorImage previous;
        DefaultSets::applyEditorDefaults(previous);
        QVERIFY(CoinDataFile::save(path, previous));
        const QByteArray before = FileBytes::read(path);

        // A file size limit makes the write fail after 100 bytes, as a full disk would.
        rlimit oldLimit{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &oldLimit), 0);
        rlimit smallLimit = oldLimit;
        smallLimit.rlim_cur = 100;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &smallLimit), 0);
        QString error;
        const bool saved =
            CoinDataFile::save(path, imageFilledWith(QStringLiteral("12345")), &error);
        setrlimit(RLIMIT_FSIZE, &oldLimit);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY(!saved);
        QVERIFY(!error.isEmpty());
        QCOMPARE(FileBytes::read(path), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"coin.cdt"});
#else
        QSKIP("needs a per-process file size limit");
#endif
    }
};

QTEST_GUILESS_MAIN(CoinDataFileTest)
#include "CoinDataFileTest.moc"
