// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingWindow.h"

#include "SelectorImage.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <optional>

namespace {

struct FieldRow
{
    EditorFields::NumericField field;
    const char* nameSuffix; // the box is "Text" + suffix, the bar "HScroll" + suffix
    const char* caption;
};

struct Bank
{
    const char* title;
    int firstCoin;
    bool pricesAboveCoins;
    std::array<FieldRow, 3> priceRows;
};

constexpr int CoinsPerBank = 6;

constexpr std::array<Bank, 2> Banks{{
    {"Bank A",
     1,
     true,
     {{{EditorFields::PriceA, "PriceA", "Price A:"},
       {EditorFields::MultiplyFactorA, "MultiplyFactorA", "Multiply Factor A:"},
       {EditorFields::DivideFactorA, "DivideFactorA", "Divide Factor A:"}}}},
    {"Bank B",
     7,
     false,
     {{{EditorFields::PriceB, "PriceB", "Price B:"},
       {EditorFields::MultiplyFactorB, "MultiplyFactorB", "Multiply Factor B:"},
       {EditorFields::DivideFactorB, "DivideFactorB", "Divide Factor B:"}}}},
}};

QStringList numberEntries(int count)
{
    QStringList entries;
    for (int i = 0; i < count; ++i)
        entries << QString::number(i);
    return entries;
}

QStringList toleranceEntries()
{
    return numberEntries(16);
}

QStringList disableEntries()
{
    return {QStringLiteral("No"), QStringLiteral("Yes")};
}

QStringList separatorEntries()
{
    return numberEntries(4);
}

// The per-coin lists, left to right; the list position is the stored number.
struct ChoiceColumn
{
    const char* namePrefix; // followed by the coin number
    const char* heading;
    const char* range;
    int EditorFields::Coin::*field;
    QStringList (*entries)();
};

constexpr std::array<ChoiceColumn, 5> ChoiceColumns{{
    {"ComboToleranceA", "Tol-A", "(0-15)", &EditorFields::Coin::toleranceA, toleranceEntries},
    {"ComboToleranceB", "Tol-B", "(0-15)", &EditorFields::Coin::toleranceB, toleranceEntries},
    {"ComboToleranceC", "Tol-C", "(0-15)", &EditorFields::Coin::toleranceC, toleranceEntries},
    {"ComboInhibit", "Disable", "(Yes/No)", &EditorFields::Coin::disable, disableEntries},
    {"ComboHopper", "Separator", "(0-3)", &EditorFields::Coin::separator, separatorEntries},
}};

// Grid columns inside a bank frame.
constexpr int CaptionColumn = 0;
constexpr int BoxColumn = 1;
constexpr int BarColumn = 2;
constexpr int FirstChoiceColumn = 3;

struct ModeLayout
{
    const char* caption;
    bool ok;
    std::optional<bool> loadDefault; // nothing: left as it is
    bool program;
    bool exit;
};

ModeLayout modeLayout(EditorMode mode)
{
    switch (mode) {
    case EditorMode::Edit:
        return {"Edit", false, false, true, true};
    case EditorMode::Setting:
        return {"Setting", true, true, false, true};
    case EditorMode::CalibrationSetting:
        // Channel calibration leaves "Load Default Value" alone: hidden in a new window, but
        // still shown if the window was open for teaching.
        return {"Setting", true, std::nullopt, false, false};
    case EditorMode::SettingAfterDefaults:
        return {"Setting", true, false, false, true};
    }
    Q_UNREACHABLE();
    return {};
}

QString coinCaption(int coin)
{
    // The two-digit coins lose the space so that the captions line up.
    return coin < 10 ? QStringLiteral("Coin %1:").arg(coin) : QStringLiteral("Coin%1:").arg(coin);
}

// A caption as a screen reader should say it: without the trailing colon.
QString spoken(QString caption)
{
    if (caption.endsWith(QLatin1Char(':')))
        caption.chop(1);
    return caption;
}

QLabel* createCaption(const QString& text, QWidget* buddy)
{
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

QComboBox* createChoice(const QString& objectName, const QString& accessibleName,
                        const QStringList& entries)
{
    auto* list = new QComboBox;
    list->setObjectName(objectName);
    list->setAccessibleName(accessibleName);
    list->addItems(entries);
    // Choosing an entry replaces a stored value the list could not show.
    QObject::connect(list, &QComboBox::activated, list, [list] { list->setToolTip(QString()); });
    return list;
}

// Shows a stored choice; a value without an entry leaves the list blank and says why.
void showChoice(QComboBox* list, int value)
{
    const bool listed = value >= 0 && value < list->count();
    list->setCurrentIndex(listed ? value : -1);
    list->setToolTip(
        listed ? QString()
               : QObject::tr("Stored value %1 has no entry here; it is kept unless you choose one.")
                     .arg(value));
}

// The chosen entry, or the opened value while the list shows none.
int chosen(const QComboBox* list, int opened)
{
    return list->currentIndex() >= 0 ? list->currentIndex() : opened;
}

} // namespace

SettingWindow::SettingWindow(SelectorImage& image, QWidget* parent)
    : QWidget(parent, Qt::Window), m_image(image)
{
    setObjectName(QStringLiteral("setting"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Setting"));

    auto* banks = new QVBoxLayout;
    for (std::size_t bank = 0; bank < Banks.size(); ++bank)
        banks->addWidget(createBankFrame(bank));

    auto* side = new QVBoxLayout;
    side->addWidget(createGeneralFields());
    side->addStretch();
    side->addLayout(createButtons());

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(banks);
    layout->addLayout(side);

    m_opened = EditorFields::fromImage(m_image);
    showFields(m_opened);
}

void SettingWindow::applyMode(EditorMode mode)
{
    const ModeLayout layout = modeLayout(mode);
    setWindowTitle(QString::fromLatin1(layout.caption));
    m_ok->setVisible(layout.ok);
    if (layout.loadDefault)
        m_loadDefault->setVisible(*layout.loadDefault);
    m_program->setVisible(layout.program);
    m_exit->setVisible(layout.exit);
}

void SettingWindow::setLinkBusy(bool busy)
{
    m_ok->setEnabled(!busy);
    m_program->setEnabled(!busy);
    // The defaults rewrite the cells a running transfer may still be sending.
    m_loadDefault->setEnabled(!busy);
}

QWidget* SettingWindow::createBankFrame(std::size_t bank)
{
    static_assert(ChoiceColumns.size() == CoinChoiceCount);
    const Bank& layout = Banks[bank];
    auto* frame = new QGroupBox(QString::fromLatin1(layout.title));
    auto* grid = new QGridLayout(frame);
    int row = 0;

    const auto addPriceRows = [&] {
        for (const FieldRow& field : layout.priceRows)
            addNumericRow(grid, row++, field.field, QString::fromLatin1(field.caption),
                          QString::fromLatin1(field.nameSuffix));
    };
    if (layout.pricesAboveCoins)
        addPriceRows();

    grid->addWidget(new QLabel(QStringLiteral("Value")), row, BoxColumn, 1, 2, Qt::AlignCenter);
    grid->addWidget(new QLabel(QStringLiteral("(0-255)")), row + 1, BoxColumn, 1, 2,
                    Qt::AlignCenter);
    for (std::size_t k = 0; k < ChoiceColumns.size(); ++k) {
        const int column = FirstChoiceColumn + static_cast<int>(k);
        grid->addWidget(new QLabel(QString::fromLatin1(ChoiceColumns[k].heading)), row, column,
                        Qt::AlignCenter);
        grid->addWidget(new QLabel(QString::fromLatin1(ChoiceColumns[k].range)), row + 1, column,
                        Qt::AlignCenter);
    }
    row += 2;

    for (int coin = layout.firstCoin; coin < layout.firstCoin + CoinsPerBank; ++row, ++coin) {
        CoinControls& controls = m_coins[static_cast<std::size_t>(coin - 1)];
        const QString caption = coinCaption(coin);
        controls.money = createNumericControls(QStringLiteral("Dollar%1").arg(coin),
                                               spoken(caption) + QStringLiteral(" Value"));
        grid->addWidget(createCaption(caption, controls.money.box), row, CaptionColumn);
        grid->addWidget(controls.money.box, row, BoxColumn);
        grid->addWidget(controls.money.bar, row, BarColumn);
        for (std::size_t k = 0; k < ChoiceColumns.size(); ++k) {
            const ChoiceColumn& column = ChoiceColumns[k];
            controls.choices[k] = createChoice(
                QString::fromLatin1(column.namePrefix) + QString::number(coin),
                spoken(caption) + QLatin1Char(' ') + QString::fromLatin1(column.heading),
                column.entries());
            grid->addWidget(controls.choices[k], row, FirstChoiceColumn + static_cast<int>(k));
        }
    }

    if (!layout.pricesAboveCoins)
        addPriceRows();
    return frame;
}

QWidget* SettingWindow::createGeneralFields()
{
    auto* fields = new QWidget;
    auto* grid = new QGridLayout(fields);

    m_outputMode = createChoice(QStringLiteral("ComboOutputMode"), QStringLiteral("Output Mode"),
                                ParameterMap::outputModeTexts());
    grid->addWidget(createCaption(QStringLiteral("Output Mode:"), m_outputMode), 0, 0);
    grid->addWidget(m_outputMode, 0, 1, 1, 2);

    m_inhibitLevel = createChoice(QStringLiteral("Combooutenble"), QStringLiteral("Inhibit Level"),
                                  {QStringLiteral("Low Inhibit"), QStringLiteral("High Inhibit")});
    grid->addWidget(createCaption(QStringLiteral("Inhibit Level:"), m_inhibitLevel), 1, 0);
    grid->addWidget(m_inhibitLevel, 1, 1, 1, 2);

    grid->addWidget(new QLabel(QStringLiteral("x 2 (mS)")), 2, 1);
    addNumericRow(grid, 3, EditorFields::SignalTime, QStringLiteral("Signal Time:"),
                  QStringLiteral("SignalTime"));
    grid->addWidget(new QLabel(QStringLiteral("(Space Time)")), 4, 0);
    addNumericRow(grid, 5, EditorFields::TimerScaleA, QStringLiteral("Timer Scale A:"),
                  QStringLiteral("TimerScale"));

    // Bank B's timer scale is not offered, but it is loaded and written back like the others.
    QLabel* timerScaleB =
        addNumericRow(grid, 6, EditorFields::TimerScaleB, QStringLiteral("Timer Scale B:"),
                      QStringLiteral("HoldTime"));
    timerScaleB->hide();
    m_numeric[EditorFields::TimerScaleB].box->hide();
    m_numeric[EditorFields::TimerScaleB].bar->hide();
    return fields;
}

QLayout* SettingWindow::createButtons()
{
    const auto createButton = [this](const QString& objectName, const QString& text) {
        auto* button = new QPushButton(text, this);
        button->setObjectName(objectName);
        return button;
    };
    m_ok = createButton(QStringLiteral("ComOK"), QStringLiteral("OK"));
    m_loadDefault =
        createButton(QStringLiteral("ComDefault"), QStringLiteral("Load Default Value"));
    m_program =
        createButton(QStringLiteral("Command2"), QStringLiteral("Program to Coin Selector"));
    m_exit = createButton(QStringLiteral("ComExit"), QStringLiteral("Exit"));
    m_loadDefault->hide();

    auto* buttons = new QGridLayout;
    buttons->addWidget(m_ok, 0, 0);
    // One place for both: no mode shows them together.
    buttons->addWidget(m_loadDefault, 0, 1);
    buttons->addWidget(m_program, 0, 1);
    buttons->addWidget(m_exit, 0, 2);

    connect(m_ok, &QPushButton::clicked, this, [this] {
        writeBack();
        emit okAccepted();
        close();
    });
    connect(m_program, &QPushButton::clicked, this, [this] {
        writeBack();
        emit programRequested();
    });
    connect(m_loadDefault, &QPushButton::clicked, this, &SettingWindow::loadDefaultRequested);
    connect(m_exit, &QPushButton::clicked, this, &QWidget::close);
    return buttons;
}

SettingWindow::NumericControls SettingWindow::createNumericControls(const QString& nameSuffix,
                                                                    const QString& accessibleName)
{
    NumericControls controls{new QLineEdit, new QScrollBar(Qt::Horizontal)};
    controls.box->setObjectName(QStringLiteral("Text") + nameSuffix);
    controls.box->setAccessibleName(accessibleName);
    controls.box->setMaximumWidth(
        controls.box->fontMetrics().horizontalAdvance(QStringLiteral("00000000")));
    controls.bar->setObjectName(QStringLiteral("HScroll") + nameSuffix);
    controls.bar->setAccessibleName(accessibleName);
    controls.bar->setRange(0, EditorFields::ScrollMaximum);
    controls.bar->setPageStep(10);
    controls.bar->setMinimumWidth(120);
    // Tracking is on, so this follows the bar while it is dragged too. Typing leaves the bar.
    QLineEdit* box = controls.box;
    connect(controls.bar, &QScrollBar::valueChanged, box,
            [box](int position) { box->setText(QString::number(position)); });
    return controls;
}

QLabel* SettingWindow::addNumericRow(QGridLayout* grid, int row, EditorFields::NumericField field,
                                     const QString& caption, const QString& nameSuffix)
{
    NumericControls& controls = m_numeric[field];
    controls = createNumericControls(nameSuffix, spoken(caption));
    QLabel* label = createCaption(caption, controls.box);
    grid->addWidget(label, row, CaptionColumn);
    grid->addWidget(controls.box, row, BoxColumn);
    grid->addWidget(controls.bar, row, BarColumn);
    return label;
}

void SettingWindow::showFields(const EditorFields& fields)
{
    const auto showNumber = [](const NumericControls& controls, const QString& text) {
        // The bar first: it writes its clamped position into the box, and a value beyond the
        // bar must keep its text.
        controls.bar->setValue(EditorFields::scrollPosition(text));
        controls.box->setText(text);
    };

    showChoice(m_outputMode, fields.outputMode);
    for (std::size_t i = 0; i < m_numeric.size(); ++i)
        showNumber(m_numeric[i], fields.numeric[i]);
    for (std::size_t i = 0; i < m_coins.size(); ++i) {
        showNumber(m_coins[i].money, fields.coins[i].money);
        for (std::size_t k = 0; k < ChoiceColumns.size(); ++k)
            showChoice(m_coins[i].choices[k], fields.coins[i].*ChoiceColumns[k].field);
    }
    showChoice(m_inhibitLevel, fields.inhibitLevel);
}

EditorFields SettingWindow::shownFields() const
{
    EditorFields fields = m_opened;
    fields.outputMode = chosen(m_outputMode, fields.outputMode);
    fields.inhibitLevel = chosen(m_inhibitLevel, fields.inhibitLevel);
    for (std::size_t i = 0; i < m_numeric.size(); ++i)
        fields.numeric[i] = m_numeric[i].box->text();
    for (std::size_t i = 0; i < m_coins.size(); ++i) {
        EditorFields::Coin& coin = fields.coins[i];
        coin.money = m_coins[i].money.box->text();
        for (std::size_t k = 0; k < ChoiceColumns.size(); ++k) {
            int& value = coin.*ChoiceColumns[k].field;
            value = chosen(m_coins[i].choices[k], value);
        }
    }
    return fields;
}

void SettingWindow::writeBack()
{
    shownFields().writeTo(m_image);
}
