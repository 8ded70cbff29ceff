// SPDX-License-Identifier: GPL-3.0-or-later
#include "MemoryWindow.h"

#include "AppPaths.h"
#include "ApplicationCore.h"
#include "EventDecoder.h"
#include "LinkCommands.h"
#include "LinkListener.h"
#include "MemoryGridText.h"
#include "ParameterMap.h"
#include "SelectorImage.h"
#include "SelectorLink.h"
#include "StatusColours.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <span>

namespace {

constexpr int CoinCount = 12;
constexpr int LastImageAddress = SelectorImage::SelectorByteCount - 1;

struct Column
{
    const char* caption;
    int firstAddress;
    int step; // from one coin's box to the next
};

// The coin record, then the Y and dH references.
constexpr std::array<Column, 9> CoinTable{{{"EA", 0, 7},
                                           {"EB", 1, 7},
                                           {"CGMA", 2, 7},
                                           {"TLD", 3, 7},
                                           {"IXSS BABA", 4, 7},
                                           {"MAD", 5, 7},
                                           {"MONEY", 6, 7},
                                           {"M1", 96, 2},
                                           {"M2", 97, 2}}};
constexpr std::array<Column, 5> SecondCoinTable{
    {{"MT1", 129, 1}, {"MT2", 141, 1}, {"TD", 153, 1}, {"TM", 165, 1}, {"", 177, 1}}};

struct SingleBoxes
{
    const char* caption; // over all of its boxes
    int firstAddress;
    int count;
};
constexpr std::array<SingleBoxes, 20> Singles{{{"Output mode", 84, 1},
                                               {"Serial no.", 85, 1},
                                               {"A-Price", 86, 1},
                                               {"A_Scale Multipl", 87, 1},
                                               {"A_Scale Divied", 88, 1},
                                               {"B-Price", 89, 1},
                                               {"B_Scale Multipl", 90, 1},
                                               {"B_Scale Divied", 91, 1},
                                               {"T_output", 92, 1},
                                               {"A-TIMERmul", 93, 1},
                                               {"B-TIMERmul", 94, 1},
                                               {"T-hold", 95, 1},
                                               {"Coin separator", 128, 1},
                                               {"Std1L", 120, 1},
                                               {"Std1H", 121, 1},
                                               {"This1L", 122, 1},
                                               {"This1H", 123, 1},
                                               {"Passwrod", 124, 2},
                                               {"", 126, 2},
                                               {"", 189, 1}}};
constexpr int SingleColumns = 10;

QString hexadecimal(int value)
{
    return QString::number(value, 16).toUpper();
}

QString addressName(int address)
{
    return QStringLiteral("Address %1").arg(address);
}

} // namespace

MemoryWindow::MemoryWindow(ApplicationCore& core, QWidget* parent)
    : QWidget(parent, Qt::Window), m_core(core)
{
    setObjectName(QStringLiteral("memory"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("advance"));

    m_op10 = new QRadioButton(QStringLiteral("OCT"), this);
    m_op10->setObjectName(QStringLiteral("op10"));
    m_op16 = new QRadioButton(QStringLiteral("HEX"), this);
    m_op16->setObjectName(QStringLiteral("op16"));
    m_op10->setChecked(true);
    connect(m_op10, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            showIn(false);
    });
    connect(m_op16, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            showIn(true);
    });

    m_command3 = new QPushButton(QStringLiteral("Read"), this);
    m_command3->setObjectName(QStringLiteral("Command3"));
    m_command3->setToolTip(QStringLiteral("Read from selector"));
    m_command1 = new QPushButton(QStringLiteral("Program"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setToolTip(QStringLiteral("Write to selector"));
    m_command2 = new QPushButton(QStringLiteral("Exit"), this);
    m_command2->setObjectName(QStringLiteral("Command2"));
    m_command2->setToolTip(QStringLiteral("Exit"));
    connect(m_command3, &QPushButton::clicked, this, &MemoryWindow::readSelector);
    connect(m_command1, &QPushButton::clicked, this, &MemoryWindow::programSelector);
    connect(m_command2, &QPushButton::clicked, this, &MemoryWindow::exitWithCopy);

    auto* commands = new QHBoxLayout;
    commands->addWidget(m_op10);
    commands->addWidget(m_op16);
    commands->addStretch();
    commands->addWidget(m_command3);
    commands->addWidget(m_command1);
    commands->addWidget(m_command2);

    m_labelStats = new QLabel(this);
    m_labelStats->setObjectName(QStringLiteral("labelStats"));
    m_labelStats->setAccessibleDescription(QStringLiteral("Status"));
    m_labelStats->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(createCoinTables());
    layout->addWidget(createSingleBoxes());
    layout->addWidget(createMonitorRows());
    layout->addLayout(commands);
    layout->addWidget(m_labelStats);

    showCells(0, LastImageAddress);
    for (int address = 0; address <= LastImageAddress; ++address)
        m_boxes[static_cast<std::size_t>(address)]->setToolTip(
            QStringLiteral("%1($%2)").arg(address).arg(hexadecimal(address)));

    setLinkBusy(m_core.link().isBusy());
    connect(&m_core.link(), &SelectorLink::busyChanged, this, &MemoryWindow::setLinkBusy);
    LinkListener::of(m_core.link()).attach(this, [this](const QByteArray& message) {
        showMessage(message);
    });
}

QLineEdit* MemoryWindow::createBox(int address, const QString& accessibleName)
{
    auto* box = new QLineEdit(this);
    box->setObjectName(QStringLiteral("m_%1").arg(address));
    box->setAccessibleName(accessibleName);
    box->setMaximumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    m_boxes[static_cast<std::size_t>(address)] = box;
    return box;
}

QWidget* MemoryWindow::createCoinTables()
{
    auto* tables = new QWidget(this);
    auto* grid = new QGridLayout(tables);
    // Two tables side by side, each with its own column of coin numbers.
    int firstColumn = 0;
    for (const auto& columns :
         {std::span<const Column>(CoinTable), std::span<const Column>(SecondCoinTable)}) {
        for (int coin = 1; coin <= CoinCount; ++coin)
            grid->addWidget(new QLabel(QString::number(coin), tables), coin, firstColumn);
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const Column& column = columns[c];
            const int gridColumn = firstColumn + 1 + static_cast<int>(c);
            const QString caption = QString::fromLatin1(column.caption);
            grid->addWidget(new QLabel(caption, tables), 0, gridColumn);
            for (int coin = 1; coin <= CoinCount; ++coin) {
                const int address = column.firstAddress + column.step * (coin - 1);
                const QString name = caption.isEmpty()
                                         ? addressName(address)
                                         : QStringLiteral("%1 coin %2").arg(caption).arg(coin);
                grid->addWidget(createBox(address, name), coin, gridColumn);
            }
        }
        firstColumn += static_cast<int>(columns.size()) + 2;
    }
    grid->setColumnMinimumWidth(static_cast<int>(CoinTable.size()) + 1, 16);
    return tables;
}

QWidget* MemoryWindow::createSingleBoxes()
{
    auto* singles = new QWidget(this);
    auto* grid = new QGridLayout(singles);
    int row = 0;
    int column = 0;
    for (const SingleBoxes& single : Singles) {
        if (column + single.count > SingleColumns) {
            row += 2;
            column = 0;
        }
        const QString caption = QString::fromLatin1(single.caption);
        auto* label = new QLabel(caption, singles);
        grid->addWidget(label, row, column, 1, single.count);
        for (int i = 0; i < single.count; ++i) {
            const int address = single.firstAddress + i;
            QString name = caption.isEmpty() ? addressName(address) : caption;
            if (!caption.isEmpty() && single.count > 1)
                name += QStringLiteral(" %1").arg(i + 1);
            QLineEdit* box = createBox(address, name);
            if (single.count == 1)
                label->setBuddy(box);
            grid->addWidget(box, row + 1, column + i);
        }
        column += single.count;
    }
    return singles;
}

QWidget* MemoryWindow::createMonitorRows()
{
    auto* monitor = new QGroupBox(this);
    auto* grid = new QGridLayout(monitor);
    using Row = MemoryMonitor::Row;
    struct Query
    {
        Row row;
        int firstNumber; // of the row's boxes, TextN
        const char* caption;
        LinkFrame frame;
    };
    const std::array<Query, 3> queries{{{Row::Id, 6, "ID", LinkCommands::idQuery()},
                                        {Row::Chp, 16, "CHP", LinkCommands::chpQuery()},
                                        {Row::Cpr, 26, "CPR", LinkCommands::cprQuery()}}};

    m_rows[static_cast<std::size_t>(Row::LastMessage)] =
        createRow(grid, 0, 1, QStringLiteral("Last message"));
    for (std::size_t q = 0; q < queries.size(); ++q) {
        const Query& query = queries[q];
        const int row = static_cast<int>(q) + 1;
        const QString caption = QString::fromLatin1(query.caption);
        RowBoxes& boxes = m_rows[static_cast<std::size_t>(query.row)];
        boxes = createRow(grid, row, query.firstNumber, caption);

        // The buttons are numbered 4 to 9: the query, then its "Clear".
        auto* send = new QPushButton(caption, monitor);
        send->setObjectName(QStringLiteral("Command%1").arg(2 * row + 2));
        connect(send, &QPushButton::clicked, this,
                [this, frame = query.frame] { m_core.link().sendFrame(frame); });
        auto* clear = new QPushButton(QStringLiteral("Clear"), monitor);
        clear->setObjectName(QStringLiteral("Command%1").arg(2 * row + 3));
        clear->setAccessibleName(caption + QStringLiteral(" Clear"));
        connect(clear, &QPushButton::clicked, this, [&boxes] {
            for (QLineEdit* box : boxes)
                box->setText(QStringLiteral("0"));
        });
        grid->addWidget(send, row, 0);
        grid->addWidget(clear, row, 1 + MemoryMonitor::RowBoxCount);
        m_queries[q] = send;
    }
    return monitor;
}

MemoryWindow::RowBoxes MemoryWindow::createRow(QGridLayout* grid, int row, int firstNumber,
                                               const QString& name)
{
    RowBoxes boxes{};
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        const int index = static_cast<int>(i);
        auto* box = new QLineEdit(grid->parentWidget());
        box->setObjectName(QStringLiteral("Text%1").arg(firstNumber + index));
        box->setAccessibleName(QStringLiteral("%1 byte %2").arg(name).arg(index));
        box->setReadOnly(true);
        grid->addWidget(box, row, 1 + index);
        boxes[i] = box;
    }
    return boxes;
}

void MemoryWindow::showIn(bool hexadecimal)
{
    if (m_abc != hexadecimal)
        return;
    // Text that is not a byte could be one in the other mode ("123" typed in hexadecimal, "AB"
    // in decimal): the view stays until it is mended, so switching never changes what is
    // programmed.
    if (!everyBoxSaysAByte()) {
        (m_abc ? m_op10 : m_op16)->setChecked(true);
        return;
    }
    // The spare box is never programmed; it is converted when it holds a byte.
    for (QLineEdit* box : m_boxes)
        if (const std::optional<int> value = MemoryGridText::byteValue(box->text(), !hexadecimal))
            box->setText(MemoryGridText::byteText(*value, hexadecimal));
    m_abc = !hexadecimal;
}

void MemoryWindow::showCells(int first, int last)
{
    for (int address = first; address <= last; ++address)
        m_boxes[static_cast<std::size_t>(address)]->setText(
            MemoryGridText::byteText(m_core.image().selectorByte(address), !m_abc));
}

bool MemoryWindow::everyBoxSaysAByte()
{
    // The last refusal no longer stands.
    if (m_markedBox) {
        m_markedBox->setPalette(QPalette());
        showStatus(QString(), StatusColour::Blue);
    }
    m_markedBox = nullptr;
    for (int address = 0; address <= LastImageAddress; ++address) {
        QLineEdit* box = m_boxes[static_cast<std::size_t>(address)];
        if (MemoryGridText::byteValue(box->text(), !m_abc))
            continue;
        showStatus(QStringLiteral("Not one byte at address %1($%2)")
                       .arg(address)
                       .arg(hexadecimal(address)),
                   StatusColour::Red);
        QPalette marked = box->palette();
        marked.setColor(QPalette::Text, StatusColours::color(StatusColour::Red));
        box->setPalette(marked);
        box->setFocus();
        m_markedBox = box;
        return false;
    }
    return true;
}

void MemoryWindow::copyGridToImage()
{
    // Only the bytes that were changed: a cell whose byte its box still says keeps its own
    // text ("87.34", "", "300"), as the file it came from has it.
    SelectorImage& image = m_core.image();
    for (int address = 0; address <= LastImageAddress; ++address) {
        const int shown =
            *MemoryGridText::byteValue(m_boxes[static_cast<std::size_t>(address)]->text(), !m_abc);
        if (shown != image.selectorByte(address))
            image.setNumber(address, shown);
    }
}

void MemoryWindow::readSelector()
{
    if (m_core.link().isBusy())
        return;
    m_core.mnuReadSelector_Click([window = QPointer(this)](bool) {
        // In either mode, so that an Exit cannot put the old values back over the new read.
        if (window)
            window->showCells(0, BoxCount - 1);
    });
}

void MemoryWindow::programSelector()
{
    if (m_core.link().isBusy() || !everyBoxSaysAByte())
        return;
    copyGridToImage();
    // Every box as the window shows bytes ("c8" typed is C8), as after a read.
    showCells(0, LastImageAddress);
    // Every byte of the selector, the serial number and the second record included.
    m_core.setBegin(0);
    m_core.setTotal(LastImageAddress);
    m_core.program_to_selector([window = QPointer(this)](bool) {
        // The transfer wrote its own first calibration record; the grid shows what it wrote.
        const int record = ParameterMap::calibrationRecord(1);
        if (window)
            window->showCells(record, record + ParameterMap::CalibrationRecordSize - 1);
    });
}

void MemoryWindow::exitWithCopy()
{
    if (m_core.link().isBusy() || !everyBoxSaysAByte())
        return;
    copyGridToImage();
    if (!m_monitor.log().isEmpty()) {
        AppPaths::ensureDataFolder();
        const QString path = AppPaths::dataFile(AppPaths::EventLogFileName);
        QString error;
        if (!m_monitor.writeLog(path, &error)) {
            // The window goes away; the main window's status line keeps the failure in view.
            const QString failure = QStringLiteral("Can not write file %1: %2").arg(path, error);
            showStatus(failure, StatusColour::Red);
            m_core.showStatus(failure, StatusColour::Red);
        }
    }
    close();
}

void MemoryWindow::showMessage(const QByteArray& bytes)
{
    for (const MemoryMonitor::RowUpdate& update : m_monitor.take(bytes, m_op10->isChecked())) {
        const RowBoxes& boxes = m_rows[static_cast<std::size_t>(update.row)];
        for (std::size_t i = 0; i < boxes.size(); ++i)
            boxes[i]->setText(update.texts[i]);
    }
    const std::optional<EventDecoder::Decoded> decoded = EventDecoder::decode(bytes);
    if (decoded && decoded->status)
        showStatus(decoded->status->text, decoded->status->colour);
}

void MemoryWindow::showStatus(const QString& text, StatusColour colour)
{
    StatusColours::show(*m_labelStats, text, colour);
}

void MemoryWindow::setLinkBusy(bool busy)
{
    // A query sent in the middle of a transfer would answer in place of a transfer's reply;
    // Exit would put the grid over the part of the image a read has already refreshed, or
    // under the part a programming has yet to write.
    m_command1->setEnabled(!busy);
    m_command2->setEnabled(!busy);
    m_command3->setEnabled(!busy);
    for (QPushButton* query : m_queries)
        query->setEnabled(!busy);
}
