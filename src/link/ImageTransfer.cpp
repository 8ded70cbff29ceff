#include "ImageTransfer.h"

#include "LinkClock.h"
#include "LinkCommands.h"
#include "ParameterMap.h"
#include "SelectorImage.h"
#include "TransferDisplay.h"

#include <QPointer>

#include <array>

namespace {

constexpr int ProgressMaximum = SelectorImage::SelectorByteCount;
const QString TimeoutText = QStringLiteral("Communication time out !");

// The transfer puts this first calibration record into the image before every block it writes.
constexpr std::array<int, ParameterMap::CalibrationRecordSize> FixedRecord{4, 52, 107, 61};

} // namespace

ImageTransfer::ImageTransfer(Kind kind, int first, int last, SelectorLink& link,
                             SelectorImage& image, TransferDisplay& display, QObject* parent)
    : QObject(parent), m_kind(kind), m_first(first), m_last(last), m_link(link), m_image(image),
      m_display(display), m_address(first)
{
}

ImageTransfer::~ImageTransfer()
{
    // Torn down mid-run (its window closed): leave the link free and without a dangling callback.
    if (m_running) {
        m_link.abandonWait();
        m_link.endOperation();
    }
}

ImageTransfer* ImageTransfer::fullRead(SelectorLink& link, SelectorImage& image,
                                       TransferDisplay& display, QObject* parent)
{
    return new ImageTransfer(Kind::FullRead, 0, SelectorImage::SelectorByteCount - 1, link, image,
                             display, parent);
}

ImageTransfer* ImageTransfer::partialRead(SelectorLink& link, SelectorImage& image,
                                          TransferDisplay& display, QObject* parent)
{
    return new ImageTransfer(Kind::PartialRead, FirstPartialReadAddress,
                             SelectorImage::SelectorByteCount - 1, link, image, display, parent);
}

ImageTransfer* ImageTransfer::programBlock(int begin, int total, SelectorLink& link,
                                           SelectorImage& image, TransferDisplay& display,
                                           QObject* parent)
{
    return new ImageTransfer(Kind::ProgramBlock, begin, total, link, image, display, parent);
}

bool ImageTransfer::start()
{
    if (!m_link.beginOperation())
        return false;
    m_running = true;
    m_display.showWindow();
    switch (m_kind) {
    case Kind::FullRead:
        m_display.setStatus(QStringLiteral("Try to communicate"), StatusColour::Blue);
        break;
    case Kind::PartialRead:
        m_display.setStatus(QStringLiteral("Try to communication"), StatusColour::Blue);
        break;
    case Kind::ProgramBlock:
        m_display.setStatus(QStringLiteral("Communication"), StatusColour::Blue);
        m_display.setProgress(0);
        for (std::size_t i = 0; i < FixedRecord.size(); ++i)
            m_image.setNumber(ParameterMap::calibrationRecord(1) + static_cast<int>(i),
                              FixedRecord[i]);
        break;
    }
    m_display.setProgressMaximum(ProgressMaximum);
    m_link.setReceiveThreshold(SelectorLink::ReplyThreshold);
    m_link.flushInput();
    m_address = m_first;
    if (m_address > m_last) {
        succeed();
        return true;
    }
    sendCurrent();
    return true;
}

LinkFrame ImageTransfer::requestFor(int address) const
{
    switch (m_kind) {
    case Kind::FullRead:
        return LinkCommands::readRequest(address);
    case Kind::PartialRead:
        return LinkCommands::partialReadRequest(address);
    case Kind::ProgramBlock:
        break;
    }
    return LinkCommands::writeRequest(address, m_image.selectorByte(address));
}

void ImageTransfer::sendCurrent()
{
    // The partial read sets its colour once and never shows progress.
    if (m_kind != Kind::PartialRead) {
        m_display.setStatusColour(StatusColour::Blue);
        m_display.setProgress(m_address);
    }
    m_link.startAttempt(requestFor(m_address),
                        [this](const SelectorLink::AttemptResult& result) { onAttempt(result); });
}

bool ImageTransfer::acceptReply(const QByteArray& reply)
{
    if (!isRead())
        return LinkCommands::isValidWriteReply(reply);
    if (!LinkCommands::isValidReadReply(reply, m_address))
        return false;
    m_image.setNumber(m_address, static_cast<quint8>(reply.at(3)));
    return true;
}

void ImageTransfer::onAttempt(const SelectorLink::AttemptResult& result)
{
    m_lastT0 = result.t0;
    switch (result.outcome) {
    case SelectorLink::Outcome::PortFailed:
    case SelectorLink::Outcome::Cancelled:
        // Retrying on a port that is gone would only repeat the time-out.
        giveUp();
        return;
    case SelectorLink::Outcome::TimedOut:
        m_display.setStatus(TimeoutText, StatusColour::Red);
        onFailedAttempt();
        return;
    case SelectorLink::Outcome::Replied:
        break;
    }
    if (!acceptReply(result.reply)) {
        onFailedAttempt();
        return;
    }
    if (++m_address > m_last)
        succeed();
    else
        sendCurrent();
}

void ImageTransfer::onFailedAttempt()
{
    if (m_budget.recordFailure())
        giveUp();
    else
        sendCurrent();
}

void ImageTransfer::succeed()
{
    if (!isRead())
        m_link.sendFrame(LinkCommands::endOfBlock());
    m_display.closeWindow();
    finish(true);
}

void ImageTransfer::giveUp()
{
    m_display.enableClose();
    m_display.setStatus(m_kind == Kind::FullRead ? QStringLiteral("Read selector error")
                                                 : QStringLiteral("Program to selector error"),
                        StatusColour::Red);
    finish(false);
}

void ImageTransfer::finish(bool succeeded)
{
    m_running = false;
    emit completed(succeeded);
    // Reads pause from their last request; a block pauses from its end (after the end frame).
    const float reference = isRead() ? m_lastT0 : static_cast<float>(m_link.clock().now());
    QPointer<ImageTransfer> self(this);
    m_link.endOperationAfterPause(reference, [self, succeeded] {
        if (self)
            emit self->finished(succeeded);
    });
}
