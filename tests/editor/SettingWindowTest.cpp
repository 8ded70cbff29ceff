// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingWindow.h"
#include "DefaultSets.h"
#include "SelectorImage.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

Q_DECLARE_METATYPE(EditorMode)

class SettingWindowTest : public QObject
{
    Q_OBJECT

private:
    SelectorImage m_image;
    QPointer<SettingWindow> m_window;

    SettingWindow* open()
    {
        m_window = new SettingWindow(m_image);
        return m_window;
    }

    template <typename T> T* control(const QString& name) const
    {
        auto* found = m_window->findChild<T*>(name);
        if (!found)
            qFatal("no control %s", qPrintable(name));
        return found;
    }

    QString text(const QString& name) const { return control<QLineEdit>(name)->text(); }
    QString choice(const QString& name) const { return control<QComboBox>(name)->currentText(); }
    void click(const QString& name) const
    {
        QTest::mouseClick(control<QPushButton>(name), Qt::LeftButton);
    }

    // Edits every kind of control once.
    void editSomething() const
    {
        control<QComboBox>("ComboOutputMode")->setCurrentIndex(5);
        control<QComboBox>("Combooutenble")->setCurrentIndex(0);
        control<QScrollBar>("HScrollPriceB")->setValue(42);
        QLineEdit* money = control<QLineEdit>("TextDollar9");
        money->clear();
        QTest::keyClicks(money, "300");
        control<QComboBox>("ComboToleranceA3")->setCurrentIndex(9);
        control<QComboBox>("ComboToleranceC12")->setCurrentIndex(1);
        control<QComboBox>("ComboInhibit4")->setCurrentIndex(1);
        control<QComboBox>("ComboHopper7")->setCurrentIndex(3);
    }

private slots:
    void init() { m_image = SelectorImage(); }
    void cleanup() { delete m_window; }

    void showsTheEditorDefaults()
    {
        DefaultSets::applyEditorDefaults(m_image);
        open();
        for (int c = 1; c <= 12; ++c) {
            const QString n = QString::number(c);
            QCOMPARE(text("TextDollar" + n), "0");
            QCOMPARE(choice("ComboToleranceA" + n), "0");
            QCOMPARE(choice("ComboToleranceB" + n), "5");
            QCOMPARE(choice("ComboToleranceC" + n), "5");
            QCOMPARE(choice("ComboInhibit" + n), "No");
            QCOMPARE(choice("ComboHopper" + n), "0");
        }
        QCOMPARE(choice("ComboOutputMode"), "2. Pulse output with INHIBIT");
        QCOMPARE(choice("Combooutenble"), "High Inhibit");
        QCOMPARE(text("TextSignalTime"), "100");
        QCOMPARE(control<QScrollBar>("HScrollSignalTime")->value(), 100);
        for (const char* field : {"PriceA", "MultiplyFactorA", "DivideFactorA", "PriceB",
                                  "MultiplyFactorB", "DivideFactorB", "TimerScale"})
            QCOMPARE(text(QStringLiteral("Text") + field), "1");
    }

    void layout()
    {
        open();
        QCOMPARE(m_window->objectName(), "setting");
        QVERIFY(m_window->isWindow());
        QVERIFY(m_window->testAttribute(Qt::WA_DeleteOnClose));
        // A fresh window offers OK, Program and Exit until its opener applies a mode.
        QVERIFY(!control<QPushButton>("ComOK")->isHidden());
        QVERIFY(!control<QPushButton>("Command2")->isHidden());
        QVERIFY(!control<QPushButton>("ComExit")->isHidden());
        QVERIFY(control<QPushButton>("ComDefault")->isHidden());
        // The hidden timer scale B row exists but is not shown; bank B's prices are.
        QVERIFY(control<QLineEdit>("TextHoldTime")->isHidden());
        QVERIFY(control<QScrollBar>("HScrollHoldTime")->isHidden());
        for (QLabel* label : m_window->findChildren<QLabel*>())
            QCOMPARE(label->isHidden(), label->text() == "Timer Scale B:");
        QVERIFY(control<QLineEdit>("TextDivideFactorB")->isVisibleTo(m_window));
        // Every input can be named by a screen reader.
        for (QWidget* input : m_window->findChildren<QWidget*>()) {
            if (qobject_cast<QLineEdit*>(input) || qobject_cast<QComboBox*>(input) ||
                qobject_cast<QScrollBar*>(input))
                QVERIFY2(!input->accessibleName().isEmpty(), qPrintable(input->objectName()));
        }
        QCOMPARE(control<QComboBox>("ComboHopper12")->accessibleName(), "Coin12 Separator");
    }

    void barSetsItsBox_data()
    {
        QTest::addColumn<QString>("field");
        QTest::newRow("signal time") << "SignalTime";
        QTest::newRow("hidden timer scale B") << "HoldTime";
        QTest::newRow("price B") << "PriceB";
        QTest::newRow("coin 12 value") << "Dollar12";
    }
    void barSetsItsBox()
    {
        QFETCH(QString, field);
        open();
        auto* bar = control<QScrollBar>("HScroll" + field);
        bar->setValue(77);
        QCOMPARE(text("Text" + field), "77");
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(text("Text" + field), "78");
        // Dragging: the box follows the handle before it is released.
        bar->setSliderDown(true);
        bar->setSliderPosition(200);
        QCOMPARE(text("Text" + field), "200");
        bar->setSliderDown(false);
    }

    void typingLeavesTheBar()
    {
        m_image.setCell(92, "30");
        open();
        auto* box = control<QLineEdit>("TextSignalTime");
        box->clear();
        QTest::keyClicks(box, "123");
        QCOMPARE(box->text(), "123");
        QCOMPARE(control<QScrollBar>("HScrollSignalTime")->value(), 30);
    }

    void valuesTheBarCannotShowStayInTheBox()
    {
        m_image.setCell(92, "300");
        m_image.setCell(6, "2.5");
        m_image.setCell(4, "300"); // Disable 2: no entry
        open();
        QCOMPARE(text("TextSignalTime"), "300");
        QCOMPARE(control<QScrollBar>("HScrollSignalTime")->value(), 255);
        QCOMPARE(text("TextDollar1"), "2");
        QCOMPARE(control<QScrollBar>("HScrollDollar1")->value(), 2);
        QCOMPARE(control<QComboBox>("ComboInhibit1")->currentIndex(), -1);
        click("Command2");
        QCOMPARE(m_image.cell(92), "300");
        QCOMPARE(m_image.cell(6), "2");
        QCOMPARE(m_image.cell(4), "300");
        // Choosing an entry replaces the stored Disable, keeping separator 2 and tolerance A 12.
        control<QComboBox>("ComboInhibit1")->setCurrentIndex(0);
        click("Command2");
        QCOMPARE(m_image.cell(4), "44");
    }

    void exitAndCloseBoxDiscardEdits_data()
    {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("Exit") << false;
        QTest::newRow("close box") << true;
    }
    void exitAndCloseBoxDiscardEdits()
    {
        QFETCH(bool, closeBox);
        DefaultSets::applyEditorDefaults(m_image);
        m_image.setCell(200, "kept");
        const SelectorImage before = m_image;
        open()->show();
        editSomething();
        if (closeBox)
            m_window->close();
        else
            click("ComExit");
        QTRY_VERIFY(m_window.isNull());
        QVERIFY(m_image == before);
    }

    void okWritesBackAndCloses()
    {
        DefaultSets::applyEditorDefaults(m_image);
        open()->show();
        QSignalSpy accepted(m_window, &SettingWindow::okAccepted);
        editSomething();
        click("ComOK");
        QCOMPARE(accepted.count(), 1);
        QCOMPARE(m_image.cell(84), "5");
        QCOMPARE(m_image.cell(89), "42");
        QCOMPARE(m_image.cell(62), "300");
        QCOMPARE(m_image.cell(18), "9");
        QCOMPARE(m_image.cell(140), "21");
        QCOMPARE(m_image.cell(25), "128");
        QCOMPARE(m_image.cell(46), "48");
        QTRY_VERIFY(m_window.isNull());
    }

    void programWritesBackBeforeItAsksAndStaysOpen()
    {
        open()->show();
        control<QComboBox>("ComboToleranceB2")->setCurrentIndex(7);
        QStringList seenByProgram;
        connect(m_window, &SettingWindow::programRequested, this,
                [&] { seenByProgram << m_image.cell(130) << m_image.cell(94); });
        click("Command2");
        // The empty hidden timer scale B cell comes back as 0.
        QCOMPARE(seenByProgram, QStringList({"7", "0"}));
        QTest::qWait(0);
        QVERIFY(!m_window.isNull());
        QVERIFY(m_window->isVisible());
    }

    void loadDefaultOnlyAsks()
    {
        const SelectorImage before = m_image;
        open()->applyMode(EditorMode::Setting);
        m_window->show();
        QSignalSpy requested(m_window, &SettingWindow::loadDefaultRequested);
        editSomething();
        click("ComDefault");
        QCOMPARE(requested.count(), 1);
        QVERIFY(m_image == before);
    }

    void modes_data()
    {
        QTest::addColumn<EditorMode>("mode");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<bool>("loadDefault");
        QTest::addColumn<bool>("program");
        QTest::addColumn<bool>("exit");
        QTest::newRow("edit") << EditorMode::Edit << "Edit" << false << false << true << true;
        QTest::newRow("teach") << EditorMode::Setting << "Setting" << true << true << false << true;
        QTest::newRow("calibration")
            << EditorMode::CalibrationSetting << "Setting" << true << false << false << false;
        QTest::newRow("after defaults")
            << EditorMode::SettingAfterDefaults << "Setting" << true << false << false << true;
    }
    void modes()
    {
        QFETCH(EditorMode, mode);
        QFETCH(QString, caption);
        QFETCH(bool, ok);
        QFETCH(bool, loadDefault);
        QFETCH(bool, program);
        QFETCH(bool, exit);
        open()->show();
        // Start from the opposite set so that every button has to change.
        m_window->applyMode(mode == EditorMode::Edit ? EditorMode::Setting : EditorMode::Edit);
        control<QLineEdit>("TextPriceA")->setText("edited");
        m_window->applyMode(mode);
        QCOMPARE(m_window->windowTitle(), caption);
        QCOMPARE(control<QPushButton>("ComOK")->isVisible(), ok);
        QCOMPARE(control<QPushButton>("ComDefault")->isVisible(), loadDefault);
        QCOMPARE(control<QPushButton>("Command2")->isVisible(), program);
        QCOMPARE(control<QPushButton>("ComExit")->isVisible(), exit);
        QCOMPARE(text("TextPriceA"), "edited");
    }

    void calibrationLeavesLoadDefaultAsItWas()
    {
        open()->show();
        m_window->applyMode(EditorMode::CalibrationSetting);
        QVERIFY(!control<QPushButton>("ComDefault")->isVisible());
        m_window->applyMode(EditorMode::Setting);
        m_window->applyMode(EditorMode::CalibrationSetting);
        QVERIFY(control<QPushButton>("ComDefault")->isVisible());
        QVERIFY(!control<QPushButton>("ComExit")->isVisible());
    }

    void linkBusyDisablesOnlyTheLinkButtons()
    {
        open()->show();
        QSignalSpy programmed(m_window, &SettingWindow::programRequested);
        m_window->setLinkBusy(true);
        QVERIFY(!control<QPushButton>("Command2")->isEnabled());
        QVERIFY(!control<QPushButton>("ComOK")->isEnabled());
        QVERIFY(control<QPushButton>("ComExit")->isEnabled());
        QVERIFY(!control<QPushButton>("ComDefault")->isEnabled());
        QVERIFY(control<QComboBox>("ComboOutputMode")->isEnabled());
        QVERIFY(control<QLineEdit>("TextDollar1")->isEnabled());
        click("Command2");
        QCOMPARE(programmed.count(), 0);
        m_window->setLinkBusy(false);
        QVERIFY(control<QPushButton>("ComDefault")->isEnabled());
        click("Command2");
        QCOMPARE(programmed.count(), 1);
    }
};

QTEST_MAIN(SettingWindowTest)
#include "SettingWindowTest.moc"
