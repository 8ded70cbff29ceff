#pragma once

#include <QList>
#include <QObject>

class SelectorImage;
class SelectorLink;
class TransferDisplay;

// Programs address blocks one after the other, each whatever became of the one before.
class BlockSequence : public QObject
{
    Q_OBJECT
public:
    struct Block
    {
        int begin;
        int total; // last address, inclusive
    };

    // The standard programming: everything but the serial number (85) and the second
    // calibration record (124..127).
    static QList<Block> standardBlocks();

    BlockSequence(QList<Block> blocks, SelectorLink& link, SelectorImage& image,
                  TransferDisplay& display, QObject* parent = nullptr);

    // False when another link operation holds the link: nothing is sent then.
    bool start();

signals:
    // After the last block's settling pause; true when every block went through.
    void finished(bool allSucceeded);

private:
    bool startBlock();

    QList<Block> m_blocks;
    SelectorLink& m_link;
    SelectorImage& m_image;
    TransferDisplay& m_display;
    qsizetype m_next = 0;
    bool m_allSucceeded = true;
};
