// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProductionRecorder.h"

#include "CoinDataFile.h"
#include "ParameterMap.h"
#include "SelectorImage.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <utility>

namespace {

// Whether programming image put into the selector what file holds: the calibration record
// every block puts in is not the file's to say.
bool programsFile(const SelectorImage& image, const SelectorImage& file)
{
    const int fixedBegin = ParameterMap::calibrationRecord(1);
    for (int address = 0; address < SelectorImage::SelectorByteCount; ++address)
        if ((address < fixedBegin || address >= fixedBegin + ParameterMap::CalibrationRecordSize) &&
            image.selectorByte(address) != file.selectorByte(address))
            return false;
    return true;
}

QString outcomeColumn(ProductionRecorder::Outcome outcome)
{
    switch (outcome) {
    case ProductionRecorder::Outcome::Programmed:
        return QLatin1String(ProductionLog::Outcome::Programmed);
    case ProductionRecorder::Outcome::NotHeld:
        return QLatin1String(ProductionLog::Outcome::NotHeld);
    case ProductionRecorder::Outcome::NoAnswer:
        break;
    }
    return QLatin1String(ProductionLog::Outcome::NoAnswer);
}

} // namespace

ProductionRecorder::Outcome ProductionRecorder::outcome(bool everyBlockAnswered,
                                                        const QList<int>& unconfirmed)
{
    if (!everyBlockAnswered)
        return Outcome::NoAnswer;
    return unconfirmed.isEmpty() ? Outcome::Programmed : Outcome::NotHeld;
}

ProductionRecorder::ProductionRecorder(QString logPath) : m_log(std::move(logPath)) {}

ProductionRecorder::Adapter ProductionRecorder::adapterOf(const QString& port) const
{
    Adapter adapter;
    // Only a device with a stable name (a USB adapter) has a serial number to ask the system
    // for; asking lists every serial device, which takes milliseconds that the other ports of
    // a bench would wait.
    adapter.stableName = PortChoices::stableNameOf(port, m_listing.stableNameFolder);
    if (!adapter.stableName.isEmpty()) {
        // Named, so that the device found outlives the statement that finds it.
        const PortChoices choices(m_listing.present());
        if (const SerialDevice* device = choices.find(port))
            adapter.serialNumber = device->serialNumber;
    }
    return adapter;
}

ProductionRecord ProductionRecorder::recordOf(const Programming& programming) const
{
    ProductionRecord record;
    record.time = QDateTime::currentDateTime();
    record.port = programming.port;
    record.stableName = programming.adapter.stableName;
    record.serialNumber = programming.adapter.serialNumber;
    record.file = QStringLiteral("image");
    SelectorImage fromFile;
    QFile file(programming.currentFile);
    if (CoinDataFile::load(programming.currentFile, fromFile) == CoinDataFile::LoadResult::Loaded &&
        programsFile(programming.image, fromFile) && file.open(QIODevice::ReadOnly)) {
        record.file = QFileInfo(programming.currentFile).absoluteFilePath();
        record.sha256 =
            QString::fromLatin1(QCryptographicHash::hash(file.read(CoinDataFile::MaxFileSize),
                                                         QCryptographicHash::Sha256)
                                    .toHex());
    }
    record.outcome =
        outcomeColumn(outcome(programming.everyBlockAnswered, programming.unconfirmed));
    // A programming that gave up was not read back to its end.
    record.verified = programming.verifyAsked && programming.everyBlockAnswered;
    record.differing = programming.unconfirmed;
    return record;
}

QString ProductionRecorder::record(const Programming& programming) const
{
    return m_log.append(recordOf(programming));
}
