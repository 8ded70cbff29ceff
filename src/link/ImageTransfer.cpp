// SPDX-License-Identifier: GPL-3.0-or-later
#include "ImageTransfer.h"

#include "BlockVerification.h"
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

ImageTransfer* ImageTransfer::read(Kind kind, SelectorLink& link, SelectorImage& image,
                                   TransferDisplay& display, QObject* parent)
{
    Q_ASSERT(kind != Kind::ProgramBlock);
    const int first = kind == Kind::PartialRead ? FirstPartialReadAddress : 0;
    const int last =
        kind == Kind::SamplingRead ? LastSamplingReadAddress : SelectorImage::SelectorByteCount - 1;
    return new ImageTransfer(kind, first, last, link, image, display, parent);
}

ImageTransfer* ImageTransfer::fullRead(SelectorLink& link, SelectorImage& image,
                                       TransferDisplay& display, QObject* parent)
{
    return read(Kind::FullRead, link, image, display, parent);
}

ImageTransfer* ImageTransfer::partialRead(SelectorLink& link, SelectorImage& image,
                                          TransferDisplay& display, QObject* parent)
{
    return read(Kind::PartialRead, link, image, display, parent);
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
    case Kind::SamplingRead:
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
    m_display.setProgressMaximum(m_kind == Kind::SamplingRead ? ProgressMaximum - 1
                                                              : ProgressMaximum);
    m_link.setReceiveThreshold(SelectorLink::ReplyThreshold);
    m_link.flushInput();
    m_address = m_first;
    m_needsReadBack = false;
    m_sent.clear();
    m_echoes = EchoTally();
    m_answered = true;
    m_failureText.clear();
    if (m_address > m_last) {
        succeed();
        return true;
    }
    sendCurrent(false); // the flush has just emptied the line
    return true;
}

QList<int> ImageTransfer::rewrittenAddresses() const
{
    return m_verification ? m_verification->rewritten() : QList<int>();
}

QList<int> ImageTransfer::unconfirmedAddresses() const
{
    return m_verification ? m_verification->stillDiffering() : QList<int>();
}

LinkFrame ImageTransfer::requestFor(int address)
{
    switch (m_kind) {
    case Kind::FullRead:
        return LinkCommands::readRequest(address);
    case Kind::PartialRead:
    case Kind::SamplingRead:
        return LinkCommands::partialReadRequest(address);
    case Kind::ProgramBlock:
        break;
    }
    const quint8 value = m_image.selectorByte(address);
    m_sent.insert(address, value);
    return LinkCommands::writeRequest(address, value);
}

void ImageTransfer::sendCurrent(bool newAddress)
{
    // The partial read sets its colour once and never shows progress.
    if (m_kind == Kind::SamplingRead) {
        m_display.setStatus(QStringLiteral("Transfer byte:%1").arg(m_address), StatusColour::Blue);
        m_display.setProgress(m_address);
    } else if (m_kind != Kind::PartialRead) {
        m_display.setStatusColour(StatusColour::Blue);
        m_display.setProgress(m_address);
    }
    // Whatever came before the first request for an address is no answer to it. Stale bytes in
    // a block mean some answer went astray: the block is read back.
    if (newAddress && m_link.discardInput() > 0 && !isRead())
        m_needsReadBack = true;
    m_link.startAttempt(
        requestFor(m_address),
        [this](const SelectorLink::AttemptResult& result) { onAttempt(result); },
        [this](const QByteArray& reply) { return isReply(reply); },
        isRead() ? SelectorLink::LoneCopy::AfterQuiet : SelectorLink::LoneCopy::AtOnce);
}

bool ImageTransfer::isReply(const QByteArray& reply) const
{
    return isRead() ? LinkCommands::isValidReadReply(reply, m_address)
                    : LinkCommands::isValidWriteReply(reply);
}

bool ImageTransfer::acceptReply(const QByteArray& reply)
{
    if (!isReply(reply))
        return false;
    if (!isRead()) {
        // Taken, as the protocol has it, whatever it names; but an answer that names another
        // write may be a late one while this request was lost: the block is read back.
        if (!LinkCommands::echoesWrite(reply, m_address, m_sent.value(m_address)))
            m_needsReadBack = true;
        return true;
    }
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
        onFailedAttempt(result.outcome);
        return;
    case SelectorLink::Outcome::Replied:
        break;
    }
    if (!acceptReply(result.reply)) {
        onFailedAttempt(result.outcome);
        return;
    }
    m_echoes.record(result.requestCopy);
    if (++m_address > m_last)
        succeed();
    else
        sendCurrent(true);
}

void ImageTransfer::onFailedAttempt(SelectorLink::Outcome outcome)
{
    m_needsReadBack = true;
    if (m_budget.recordFailure())
        giveUp();
    else
        m_link.prepareRepeat(outcome, [this] { sendCurrent(false); });
}

void ImageTransfer::succeed()
{
    if (isRead() && m_echoes.onlyEchoed(m_link.lineEchoes())) {
        giveUp(EchoTally::text());
        return;
    }
    if (!isRead()) {
        m_link.sendFrame(LinkCommands::endOfBlock());
        if (m_needsReadBack || m_verifyAfterProgramming) {
            // The read-back follows the block's settling pause, inside the same operation.
            QPointer<ImageTransfer> self(this);
            m_link.pauseThen(static_cast<float>(m_link.clock().now()), [self] {
                if (self && self->m_running)
                    self->startReadBack();
            });
            return;
        }
    }
    succeedAndClose();
}

void ImageTransfer::startReadBack()
{
    QList<BlockVerification::SentByte> sent;
    for (auto it = m_sent.cbegin(); it != m_sent.cend(); ++it)
        sent.append({it.key(), it.value()});
    delete m_verification;
    m_verification = new BlockVerification(std::move(sent), m_link, m_display, this);
    connect(m_verification, &BlockVerification::finished, this, [this](bool holdsEveryByte) {
        if (holdsEveryByte) {
            succeedAndClose();
            return;
        }
        giveUp(m_verification->failure(), m_verification->answered());
    });
    m_verification->start();
}

void ImageTransfer::succeedAndClose()
{
    if (isRead() || m_closesWindowOnSuccess)
        m_display.closeWindow();
    finish(true);
}

void ImageTransfer::giveUp(const QString& why, bool answered)
{
    m_answered = answered;
    m_failureText = m_kind == Kind::FullRead ? QStringLiteral("Read selector error")
                                             : QStringLiteral("Program to selector error");
    if (!why.isEmpty())
        m_failureText += QStringLiteral(": ") + why;
    m_display.enableClose();
    m_display.setStatus(m_failureText, StatusColour::Red);
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
