// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgressBoard.h"
#include "TerminalScreen.h"

#include <QBuffer>
#include <QRegularExpression>
#include <QTest>

namespace {

// What a terminal of that width shows for the bytes: characters, new lines, wrapping after the
// last column, and the escape sequences the board uses (up, down, clear to the end of the line,
// save and restore the cursor). It never scrolls off the top.
QStringList shown(const QByteArray& bytes, int columns)
{
    QStringList lines{QString()};
    int row = 0;
    int column = 0;
    int savedRow = 0;
    int savedColumn = 0;
    const QString text = QString::fromUtf8(bytes);
    const auto down = [&](int rows) {
        row += rows;
        while (lines.size() <= row)
            lines.append(QString());
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\033')) {
            const QRegularExpressionMatch sequence =
                QRegularExpression(QStringLiteral("\\G\\[(\\d*)([ABK])|\\G([78])"))
                    .match(text, i + 1);
            if (!sequence.hasMatch())
                return {QStringLiteral("unknown escape at %1").arg(i)};
            const int n = sequence.captured(1).isEmpty() ? 1 : sequence.captured(1).toInt();
            const QString kind = sequence.captured(2) + sequence.captured(3);
            column = std::min(column, columns - 1);
            if (kind == "A")
                row = std::max(0, row - n);
            else if (kind == "B")
                down(n);
            else if (kind == "K")
                lines[row].truncate(column);
            else if (kind == "7")
                std::tie(savedRow, savedColumn) = std::pair(row, column);
            else
                std::tie(row, column) = std::pair(savedRow, savedColumn);
            i += sequence.capturedLength();
        } else if (c == QLatin1Char('\n')) {
            down(1);
            column = 0;
        } else if (c == QLatin1Char('\r')) {
            column = 0;
        } else {
            if (column >= columns) {
                down(1);
                column = 0;
            }
            lines[row] =
                lines[row].leftJustified(column).left(column) + c + lines[row].mid(column + 1);
            ++column;
        }
    }
    return lines;
}

} // namespace

class ProgressBoardTest : public QObject
{
    Q_OBJECT

private slots:
    // 32 stable names of adapters, redrawn while and after lines were written below the board,
    // one of them longer than the terminal is wide.
    void theBoardKeepsItsRowsWhateverIsWrittenBelow_data()
    {
        QTest::addColumn<int>("columns");
        QTest::newRow("80 columns") << 80;
        QTest::newRow("40 columns") << 40;
    }
    void theBoardKeepsItsRowsWhateverIsWrittenBelow()
    {
        QFETCH(int, columns);
        QStringList names;
        for (int i = 1; i <= 32; ++i)
            names.append(QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A100%1-if00-"
                                        "port0")
                             .arg(i, 2, 10, QLatin1Char('0')));
        QBuffer bytes;
        bytes.open(QIODevice::WriteOnly);
        TerminalScreen screen(bytes, {columns, 100});
        ProgressBoard board(screen, names);
        for (int row = 0; row < 32; ++row)
            board.draw(row, QStringLiteral("block 1  byte 0/189  Try to communicate"));
        const QString finishing = QStringLiteral("tarnvello-cli: finishing the programming before "
                                                 "ending");
        const QString wide = QString(columns + 10, QLatin1Char('w'));
        // A row redrawn while a line below is half written.
        screen.write(("\n" + finishing.left(20)).toUtf8());
        board.draw(0, QStringLiteral("block 1  byte 1/189  Communication"));
        board.flush();
        screen.write((finishing.mid(20) + "\n" + wide + "\n").toUtf8());
        for (int row = 31; row >= 0; --row)
            board.draw(row, QStringLiteral("byte %1").arg(row));
        board.flush();

        const QStringList lines = shown(bytes.data(), columns);
        QStringList below{QString()}; // the lines written below, as the terminal wraps them
        for (const QString& written : {finishing, wide})
            for (qsizetype at = 0; at < written.size(); at += columns)
                below.append(written.mid(at, columns));
        QCOMPARE(lines.mid(32), below + QStringList{QString()});
        QSet<QString> labels;
        for (int row = 0; row < 32; ++row) {
            const QString& line = lines[row];
            QVERIFY2(line.size() < columns, qPrintable(line));
            // Each row names its own adapter by the end of its name and shows its last text.
            QVERIFY2(line.endsWith(QStringLiteral("  byte %1").arg(row)), qPrintable(line));
            QVERIFY2(line.contains(names[row].right(13)), qPrintable(line));
            labels.insert(line.section(QStringLiteral("  "), 0, 0));
        }
        QCOMPARE(labels.size(), 32);
    }
};

QTEST_GUILESS_MAIN(ProgressBoardTest)
#include "ProgressBoardTest.moc"
