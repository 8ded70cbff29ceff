// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliSession.h"

#include "ApplicationCore.h"
#include "BlockSequence.h"
#include "CheckCommand.h"
#include "CliReport.h"
#include "CoinDataFile.h"
#include "FieldValue.h"
#include "PortChoices.h"
#include "PortFailure.h"
#include "PortReport.h"
#include "SelectorLink.h"

#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>

#include <algorithm>

namespace {

const QString StandardOutput = QStringLiteral("-");

QString commandName(CliRequest::Command command)
{
    switch (command) {
    case CliRequest::Command::Help:
    case CliRequest::Command::Version:
        break;
    case CliRequest::Command::Read:
        return QStringLiteral("read");
    case CliRequest::Command::Program:
        return QStringLiteral("program");
    case CliRequest::Command::Diff:
        return QStringLiteral("diff");
    case CliRequest::Command::Show:
        return QStringLiteral("show");
    case CliRequest::Command::Ports:
        return QStringLiteral("ports");
    case CliRequest::Command::Log:
        return QStringLiteral("log");
    case CliRequest::Command::Check:
        return QStringLiteral("check");
    }
    return QStringLiteral("help");
}

} // namespace

CliSession::CliSession(ApplicationCore& core, CliRequest request, QIODevice& out, QIODevice& err,
                       bool showProgress, QObject* parent)
    : CliSession(core, std::move(request), out, err, TerminalProgress(err, showProgress), parent)
{
}

CliSession::CliSession(ApplicationCore& core, CliRequest request, QIODevice& out, QIODevice& err,
                       TerminalProgress progress, QObject* parent)
    : QObject(parent), m_core(core), m_request(std::move(request)), m_out(out), m_err(err),
      m_progress(std::move(progress))
{
    connect(&m_core.link(), &SelectorLink::portFailed, this, [this] {
        say(QStringLiteral("port %1 closed: %2").arg(m_device, PortFailure::lostLine()));
    });
    connect(&m_core, &ApplicationCore::productionLogFailed, this, &CliSession::say);
}

void CliSession::start()
{
    m_core.setTransferDisplay(&m_progress);
    switch (m_request.command) {
    case CliRequest::Command::Help:
        writeOut(CommandLine::helpText().toUtf8());
        finish(ExitCode::Success);
        break;
    case CliRequest::Command::Version:
        writeOut(CommandLine::versionText().toUtf8());
        finish(ExitCode::Success);
        break;
    case CliRequest::Command::Read:
        read();
        break;
    case CliRequest::Command::Program:
        program();
        break;
    case CliRequest::Command::Diff:
        diff();
        break;
    case CliRequest::Command::Show:
        show();
        break;
    case CliRequest::Command::Ports:
        ports();
        break;
    case CliRequest::Command::Log:
        log();
        break;
    case CliRequest::Command::Check: {
        auto* check = new CheckCommand(m_core.link(), m_request, m_out, m_err, this);
        m_check = check;
        connect(check, &CheckCommand::finished, this, &CliSession::finish);
        check->start();
        break;
    }
    }
}

void CliSession::read()
{
    if (!openPort())
        return;
    readSelector([this] {
        const SelectorImage& image = m_core.image();
        const QString& output = m_request.output;
        if (output == StandardOutput) {
            writeOut(CoinDataFile::serialize(image));
            finish(ExitCode::Success);
            return;
        }
        if (!output.isEmpty()) {
            QString error;
            if (!CoinDataFile::save(output, image, &error)) {
                fail(ExitCode::Usage,
                     QStringLiteral("Can not save file %1: %2").arg(output, error));
                return;
            }
        }
        if (m_request.json) {
            QJsonObject result{{QStringLiteral("port"), m_device},
                               {QStringLiteral("parameters"), CliReport::parameterJson(image)}};
            if (!output.isEmpty())
                result.insert(QStringLiteral("file"), output);
            succeed(result);
            return;
        }
        if (output.isEmpty())
            writeOut(CliReport::parameterTable(image).toUtf8());
        else
            say(QStringLiteral("Read the selector on %1 into %2").arg(m_device, output));
        finish(ExitCode::Success);
    });
}

void CliSession::program()
{
    const QString& file = m_request.files.constFirst();
    // Opened as the windows open a file to program, so the production log names it.
    if (!m_core.openFileToProgram(file)) {
        fail(ExitCode::Usage, m_core.statusText());
        return;
    }
    if (!openPort())
        return;
    // The same read-back with one rewrite as the windows' verification.
    m_core.setVerifyAfterProgramming(m_request.verify);
    m_core.mnuProgram_Click([this, file](bool) {
        m_progress.finishLine();
        const QString agreed = QStringLiteral("Programmed %1 into the selector on %2 and read it "
                                              "back: the selector holds every byte programmed")
                                   .arg(file, m_device);
        switch (m_core.lastProgrammingOutcome()) {
        case ProductionRecorder::Outcome::NoAnswer:
            failTransfer(BlockSequence::failureText());
            return;
        case ProductionRecorder::Outcome::NotHeld:
            showUnconfirmed(m_core.image());
            return;
        case ProductionRecorder::Outcome::Programmed:
            break;
        }
        if (m_request.verify) {
            report({}, QString(), agreed);
            return;
        }
        say(QStringLiteral("Programmed %1 into the selector on %2").arg(file, m_device));
        succeed({{QStringLiteral("port"), m_device}, {QStringLiteral("verified"), false}});
    });
}

void CliSession::showUnconfirmed(const SelectorImage& programmed)
{
    // The programming knows which addresses the selector would not take, even written twice;
    // what the selector holds there instead is read for the technician.
    readSelector([this, programmed, addresses = m_core.unconfirmedAddresses()] {
        QList<ByteDifference> found;
        for (const int address : addresses)
            found.append(
                {address, programmed.selectorByte(address), m_core.image().selectorByte(address)});
        report(found,
               QStringLiteral("The selector holds other bytes than were programmed "
                              "(programmed -> read):"),
               QString());
    });
}

void CliSession::diff()
{
    SelectorImage first;
    if (!loadListed(m_request.files.constFirst(), first, false))
        return;
    if (m_request.files.size() == 2) {
        SelectorImage second;
        if (loadListed(m_request.files.constLast(), second, false))
            report(CliReport::differences(first, second, CliReport::selectorAddresses()), QString(),
                   QString());
        return;
    }
    if (!openPort())
        return;
    readSelector([this, first] {
        report(CliReport::differences(first, m_core.image(), CliReport::selectorAddresses()),
               QString(), QString());
    });
}

void CliSession::show()
{
    SelectorImage image;
    if (!loadListed(m_request.files.constFirst(), image, true))
        return;
    if (m_request.json) {
        succeed({{QStringLiteral("file"), m_request.files.constFirst()},
                 {QStringLiteral("parameters"), CliReport::parameterJson(image)}});
        return;
    }
    writeOut(CliReport::parameterTable(image).toUtf8());
    finish(ExitCode::Success);
}

void CliSession::ports()
{
    const QSettings settings;
    const PortChoices choices(PortChoices::present());
    if (m_request.json) {
        succeed(PortReport::json(choices, settings));
        return;
    }
    writeOut(PortReport::text(choices, settings).toUtf8());
    finish(ExitCode::Success);
}

void CliSession::log()
{
    const QList<QStringList> entries = m_core.productionLog().entries(m_request.since);
    if (m_request.json) {
        const QStringList columns = ProductionLog::columns();
        QJsonArray lines;
        for (const QStringList& entry : entries) {
            QJsonObject line;
            for (qsizetype i = 0; i < columns.size(); ++i)
                line.insert(columns[i], entry[i]);
            lines.append(line);
        }
        succeed({{QStringLiteral("file"), m_core.productionLog().path()},
                 {QStringLiteral("entries"), lines}});
        return;
    }
    QByteArray text = ProductionLog::csvLine(ProductionLog::columns());
    for (const QStringList& entry : entries)
        text += ProductionLog::csvLine(entry);
    writeOut(text);
    finish(ExitCode::Success);
}

void CliSession::report(const QList<ByteDifference>& found, const QString& heading,
                        const QString& agreed)
{
    if (m_request.json) {
        QJsonArray differences;
        for (const ByteDifference& difference : found)
            differences.append(CliReport::differenceJson(difference));
        QJsonObject result{{QStringLiteral("command"), commandName(m_request.command)},
                           {QStringLiteral("ok"), found.isEmpty()},
                           {QStringLiteral("differences"), differences}};
        if (!m_device.isEmpty())
            result.insert(QStringLiteral("port"), m_device);
        printJson(result);
    } else {
        if (found.isEmpty() && !agreed.isEmpty())
            say(agreed);
        if (!found.isEmpty() && !heading.isEmpty())
            say(heading);
        for (const ByteDifference& difference : found)
            writeOut((CliReport::differenceLine(difference) + QLatin1Char('\n')).toUtf8());
    }
    finish(found.isEmpty() ? ExitCode::Success : ExitCode::Difference);
}

bool CliSession::openPort()
{
    m_device = CommandLine::portDevice(m_request.port, QSettings());
    if (m_core.openPort(m_device))
        return true;
    fail(ExitCode::PortUnavailable,
         QStringLiteral("Can not open port: ") + m_core.link().openFailure());
    return false;
}

bool CliSession::loadFile(const QString& path, SelectorImage& image)
{
    const CoinDataFile::LoadResult result = CoinDataFile::load(path, image);
    if (result == CoinDataFile::LoadResult::Loaded)
        return true;
    fail(ExitCode::Usage, CoinDataFile::failureText(result, path));
    return false;
}

bool CliSession::loadListed(const QString& path, SelectorImage& image, bool refuseWithoutNumbers)
{
    if (CoinDataFile::loadComplete(path, image) == CoinDataFile::LoadResult::Loaded)
        return true;
    if (!loadFile(path, image))
        return false;
    const auto& cells = image.cells();
    const bool holdsNumbers = std::any_of(cells.begin(), cells.end(), [](const QString& cell) {
        return FieldValue::leadingNumber(cell).has_value();
    });
    if (!holdsNumbers && refuseWithoutNumbers) {
        fail(ExitCode::Usage,
             CoinDataFile::failureText(CoinDataFile::LoadResult::NotCoinData, path));
        return false;
    }
    say(QStringLiteral("Not a complete coin data file: %1 (program refuses it); what it does "
                       "not give as a number counts as 0")
            .arg(path));
    return true;
}

void CliSession::readSelector(std::function<void()> then)
{
    m_core.mnuReadSelector_Click([this, then = std::move(then)](bool succeeded) {
        m_progress.finishLine();
        if (succeeded)
            then();
        else
            failTransfer(QStringLiteral("Read selector error"));
    });
}

void CliSession::failTransfer(const QString& fallback)
{
    // The transfer's own red text says what went wrong, as the status window would; the hint
    // says what to look at on the bench.
    const QString port =
        m_request.port == m_device
            ? m_device
            : QStringLiteral("%1 (%2 in the settings)").arg(m_device, m_request.port);
    fail(ExitCode::NoAnswer,
         m_progress.lastColour() == StatusColour::Red ? m_progress.lastStatus() : fallback,
         QStringLiteral("Check the cable and the selector's power, and that the selector is "
                        "on the port %1")
             .arg(port));
}

void CliSession::writeOut(const QByteArray& bytes)
{
    m_out.write(bytes);
}

void CliSession::say(const QString& text)
{
    m_progress.finishLine();
    m_err.write((text + QLatin1Char('\n')).toUtf8());
}

void CliSession::printJson(const QJsonObject& object)
{
    writeOut(QJsonDocument(object).toJson(QJsonDocument::Indented));
}

void CliSession::succeed(const QJsonObject& json)
{
    if (m_request.json) {
        QJsonObject object = json;
        object.insert(QStringLiteral("command"), commandName(m_request.command));
        object.insert(QStringLiteral("ok"), true);
        printJson(object);
    }
    finish(ExitCode::Success);
}

void CliSession::fail(ExitCode code, const QString& text, const QString& hint)
{
    say(QStringLiteral("tarnvello-cli: %1").arg(text));
    if (!hint.isEmpty())
        say(hint);
    if (m_request.json)
        printJson({{QStringLiteral("command"), commandName(m_request.command)},
                   {QStringLiteral("ok"), false},
                   {QStringLiteral("exitCode"), static_cast<int>(code)},
                   {QStringLiteral("error"), text}});
    finish(code);
}

bool CliSession::isProgramming() const
{
    return m_core.isProgramming();
}

QString CliSession::slowAnswerHint() const
{
    if (m_check)
        return m_check->hint();
    const AnswerLateness& lateness = m_core.link().answerLateness();
    return lateness.isSlow() ? AnswerLateness::hint(*lateness.medianMs()) : QString();
}

void CliSession::finish(ExitCode code)
{
    if (m_finished)
        return;
    m_finished = true;
    if (const QString hint = slowAnswerHint(); !hint.isEmpty())
        say(hint);
    m_core.setTransferDisplay(nullptr);
    emit finished(static_cast<int>(code));
}
