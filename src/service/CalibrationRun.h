// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CalibrationStatistics.h"
#include "CoinReportSession.h"
#include "TransferDisplay.h"

#include <QObject>
#include <QString>

#include <optional>

class ApplicationCore;

// Calibrates the selector on one reference coin: starts calibration measuring, collects forty
// coin reports, stops measuring, stores the calibration record of the core's TOKEN into the
// image and programs the record's four addresses into the selector. It holds the link as
// one operation from start() until the settling pause after its stop frame, then hands it to
// the program transfer; it reports through signals and never touches widgets. Destroyed midway
// (its window closed), it stops measuring on the selector without calling back; a program
// transfer already started runs to its end.
class CalibrationRun : public QObject
{
    Q_OBJECT
public:
    enum class Outcome
    {
        Programmed,    // the record is stored and in the selector
        ProgramFailed, // the record is stored; its program transfer failed
        Measured,      // TOKEN names no record: the results are shown, nothing is stored
        Cancelled,     // cancel() before the programming began; nothing stored or programmed
        SelectorError, // no valid start reply in five attempts, or the port failed
    };
    Q_ENUM(Outcome)

    static constexpr int SampleCount = CalibrationStatistics::SampleCount;

    explicit CalibrationRun(ApplicationCore& core, QObject* parent = nullptr);

    // False when another link operation holds the link: nothing is sent then.
    bool start();
    // The user's Cancel. Takes effect until the record's programming begins; during the start
    // handshake it takes effect once the handshake has succeeded.
    void cancel();

    // Its coins as they come, and those it ignores.
    const CoinReportSession& session() const { return m_session; }

signals:
    void statusChanged(const QString& text, StatusColour colour);
    // accepted: coins taken so far; awaited: the coin now awaited (1..40), 0 before the first.
    void progressChanged(int accepted, int awaited);
    // The selector failed a check of its record; the record is stored and programmed all the
    // same.
    void rejected(const QString& text);
    // The statistics of forty collected coins, before the record is stored.
    void measured(const CalibrationStatistics& statistics);
    // The record's programming begins: from here on Cancel has no effect.
    void programmingStarted();
    // Emitted once at the end: after the program transfer, after the settling pause that
    // follows the stop frame, or at once when the selector never answered the start.
    void finished(CalibrationRun::Outcome outcome);

private:
    void onEnded(CoinReportSession::Ending ending);
    void showResults();
    void afterStop();
    void program(int first);

    ApplicationCore& m_core;
    CoinReportSession m_session;
    std::optional<CalibrationStatistics> m_statistics; // once the coins are in
    bool m_cancelRequested = false;
};
