// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppTestEnvironment.h"
#include "SelectorSimulator.h"
#include "TarnvelloVersion.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <algorithm>
#include <csignal>

namespace {

constexpr int Patience = 60000; // ms; generous, the machine may be busy

} // namespace

// The three programs as a user starts them: what they say of themselves without a display, and
// the window program ending on a signal as its close button ends it.
class ProgramProcessTest : public QObject
{
    Q_OBJECT

    AppTestEnvironment environment;

private slots:
    void init() { environment.reset(); }

    void eachProgramTellsItsVersionAndUsageWithoutADisplay_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("name");
        QTest::newRow("tarnvello") << TARNVELLO_APP << "tarnvello";
        QTest::newRow("tarnvello-cli") << TARNVELLO_CLI << "tarnvello-cli";
        QTest::newRow("selector-sim") << SELECTOR_SIM << "selector-sim";
    }
    void eachProgramTellsItsVersionAndUsageWithoutADisplay()
    {
        QFETCH(QString, program);
        QFETCH(QString, name);
        QProcessEnvironment noDisplay = QProcessEnvironment::systemEnvironment();
        for (const char* variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            noDisplay.remove(variable);
        const QString version = name + ' ' + TarnvelloVersion::Number + '\n';
        for (const QString& option : {QString("--version"), QString("--help")}) {
            QProcess process;
            process.setProcessEnvironment(noDisplay);
            process.start(program, {option});
            QVERIFY(process.waitForFinished(Patience));
            QCOMPARE(process.exitCode(), 0);
            const QString said = QString::fromUtf8(process.readAllStandardOutput());
            QVERIFY2(said.startsWith(option == "--version" ? version : "Usage: " + name),
                     qPrintable(said));
        }
    }

    void aSignalClosesTheWindowProgramAsItsCloseButtonDoes_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
    }
    void aSignalClosesTheWindowProgramAsItsCloseButtonDoes()
    {
        QFETCH(int, signal);
        selectorsim::SelectorSimulator simulator;
        QVERIFY2(simulator.start(), simulator.errorString().c_str());
        const QString device = QString::fromStdString(simulator.devicePath());
        QSettings().setValue("Ports/Com1", device);

        QProcess program;
        program.start(TARNVELLO_APP, QStringList());
        QVERIFY(program.waitForStarted(Patience));
        const QDir descriptors(QString("/proc/%1/fd").arg(program.processId()));
        const auto holdsThePort = [&] {
            const QFileInfoList open = descriptors.entryInfoList(QDir::AllEntries | QDir::System);
            return std::any_of(open.begin(), open.end(), [&](const QFileInfo& descriptor) {
                return descriptor.symLinkTarget() == device;
            });
        };
        QTRY_VERIFY_WITH_TIMEOUT(holdsThePort(), Patience);

        QCOMPARE(kill(pid_t(program.processId()), signal), 0);
        QTRY_COMPARE_WITH_TIMEOUT(program.state(), QProcess::NotRunning, Patience);
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QSettings settings;
        settings.sync();
        QVERIFY(settings.contains("Settings/MainLeft")); // the placement, as on closing
    }
};

QTEST_GUILESS_MAIN(ProgramProcessTest)
#include "ProgramProcessTest.moc"
