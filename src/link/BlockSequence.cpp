#include "BlockSequence.h"

#include "ImageTransfer.h"

QList<BlockSequence::Block> BlockSequence::standardBlocks()
{
    return {{0, 84}, {86, 123}, {128, 188}};
}

BlockSequence::BlockSequence(QList<Block> blocks, SelectorLink& link, SelectorImage& image,
                             TransferDisplay& display, QObject* parent)
    : QObject(parent), m_blocks(std::move(blocks)), m_link(link), m_image(image), m_display(display)
{
}

bool BlockSequence::start()
{
    m_next = 0;
    m_allSucceeded = true;
    return startBlock();
}

bool BlockSequence::startBlock()
{
    if (m_next >= m_blocks.size()) {
        emit finished(m_allSucceeded);
        return true;
    }
    const Block block = m_blocks.at(m_next++);
    auto* transfer =
        ImageTransfer::programBlock(block.begin, block.total, m_link, m_image, m_display, this);
    connect(transfer, &ImageTransfer::finished, this, [this, transfer](bool succeeded) {
        transfer->deleteLater();
        m_allSucceeded = m_allSucceeded && succeeded;
        if (!startBlock())
            emit finished(false);
    });
    if (!transfer->start()) {
        delete transfer;
        return false;
    }
    return true;
}
