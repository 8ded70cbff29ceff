// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PortChoices.h"
#include "ProductionLog.h"

#include <QList>
#include <QString>

class SelectorImage;

// The one place that says what a programming came to and how the production log keeps it,
// for the windows and the command line alike: the port's device and serial number, the file
// the selector now holds and its hash, the outcome.
class ProductionRecorder
{
public:
    enum class Outcome
    {
        Programmed,
        NotHeld, // the selector would not take some bytes, even written twice
        NoAnswer // the selector's state is unknown, which outweighs any bytes found not held
    };

    // The names of the adapter a programming went through.
    struct Adapter
    {
        QString stableName;
        QString serialNumber;
    };

    // What a programming did.
    struct Programming
    {
        QString port;               // as it was opened
        Adapter adapter;            // as it was when the programming began
        const SelectorImage& image; // what was programmed
        QString currentFile;        // credited where the selector now holds it
        bool everyBlockAnswered;
        QList<int> unconfirmed; // addresses the selector did not hold, even written twice
        bool verifyAsked;
    };

    static Outcome outcome(bool everyBlockAnswered, const QList<int>& unconfirmed);

    explicit ProductionRecorder(QString logPath);

    const ProductionLog& log() const { return m_log; }
    // Where the serial number of a port with a stable name is looked up.
    void setPortListing(PortListing listing) { m_listing = std::move(listing); }

    // Looked up as a programming begins: an adapter pulled out during it has no names left to
    // find when its record is written.
    Adapter adapterOf(const QString& port) const;
    ProductionRecord recordOf(const Programming& programming) const;
    // Appends the programming's record; the failure text, or empty.
    QString record(const Programming& programming) const;

private:
    ProductionLog m_log;
    PortListing m_listing;
};
