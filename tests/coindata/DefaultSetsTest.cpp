// SPDX-License-Identifier: GPL-3.0-or-later
#include "DefaultSets.h"
#include "SelectorImage.h"

#include <QTest>

#include <array>

namespace {

using Cells = std::array<QString, SelectorImage::CellCount>;

const QString Untouched = QStringLiteral("old");

struct Range
{
    int first;
    int last;
    const char* text;
    int step = 1;
};

// The expected image, written out as address ranges so that it does not depend on the code
// under test; later ranges override earlier ones.
Cells expectedCells(std::initializer_list<Range> ranges)
{
    Cells cells;
    cells.fill(Untouched);
    for (const Range& range : ranges) {
        for (int address = range.first; address <= range.last; address += range.step)
            cells[static_cast<std::size_t>(address)] = QString::fromLatin1(range.text);
    }
    return cells;
}

SelectorImage imageFilledWith(const QString& text)
{
    SelectorImage image;
    for (int address = 0; address < SelectorImage::CellCount; ++address)
        image.setCell(address, text);
    return image;
}

void compareCells(const SelectorImage& image, const Cells& expected)
{
    for (int address = 0; address < SelectorImage::CellCount; ++address) {
        const QString& want = expected[static_cast<std::size_t>(address)];
        QVERIFY2(image.cell(address) == want,
                 qPrintable(QStringLiteral("cell %1 holds \"%2\", expected \"%3\"")
                                .arg(address)
                                .arg(image.cell(address), want)));
    }
}

} // namespace

class DefaultSetsTest : public QObject
{
    Q_OBJECT
private slots:
    void mainWindowDefaultsResetTheFirst120CellsOnly()
    {
        const Cells expected = expectedCells({{0, 119, "0"},
                                              {4, 81, "10", 7},
                                              {84, 84, "128"},
                                              {86, 91, "1"},
                                              {92, 92, "50"},
                                              {93, 94, "1"},
                                              {129, 140, "85"}});
        SelectorImage image = imageFilledWith(Untouched);
        DefaultSets::applyMainWindowDefaults(image);
        compareCells(image, expected);
    }

    void editorDefaultsSetEveryCell()
    {
        const Cells expected = expectedCells({{0, 255, "0"},
                                              {3, 80, "170", 7},
                                              {84, 84, "129"},
                                              {86, 91, "1"},
                                              {92, 92, "100"},
                                              {93, 94, "1"},
                                              {129, 140, "85"},
                                              {141, 152, "153"}});
        SelectorImage image = imageFilledWith(Untouched);
        DefaultSets::applyEditorDefaults(image);
        compareCells(image, expected);
    }
};

QTEST_GUILESS_MAIN(DefaultSetsTest)
#include "DefaultSetsTest.moc"
