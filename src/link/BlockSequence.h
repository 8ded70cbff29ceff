// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QString>

class SelectorImage;
class SelectorLink;
class TransferDisplay;

// Programs address blocks one after the other, each whatever became of the one before. The
// outcome is the worst of its blocks: when any block gave up, the sequence ends with the status
// window open, its red failure text and "close" enabled, whatever the later blocks did (they
// still run and show their progress, but no longer close the window).
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
    // What a failed sequence leaves in the status window (red), as a failed block does; a
    // sequence shows its first failed block's own text, which begins so.
    static QString failureText();
    // The failure, naming the addresses the selector does not hold.
    static QString unconfirmedText(const QList<int>& addresses);

    BlockSequence(QList<Block> blocks, SelectorLink& link, SelectorImage& image,
                  TransferDisplay& display, QObject* parent = nullptr);

    // False when another link operation holds the link: nothing is sent then.
    bool start();
    // So far: false once any block has given up.
    bool allSucceeded() const { return m_allSucceeded; }
    // Every block is read back, even one whose attempts all went through.
    void setVerifyAfterProgramming(bool on) { m_verifyAfterProgramming = on; }
    // So far: the addresses still differing after their block wrote them again, in order.
    QList<int> unconfirmedAddresses() const { return m_unconfirmed; }
    // So far: false once a block has given up for want of an answer rather than for bytes the
    // selector answered but does not hold.
    bool everyBlockAnswered() const { return m_everyBlockAnswered; }

signals:
    // After the last block's settling pause; true when every block went through.
    void finished(bool allSucceeded);

private:
    bool startBlock();
    void showFailure();

    QList<Block> m_blocks;
    SelectorLink& m_link;
    SelectorImage& m_image;
    TransferDisplay& m_display;
    qsizetype m_next = 0;
    bool m_allSucceeded = true;
    bool m_verifyAfterProgramming = false;
    bool m_everyBlockAnswered = true;
    QList<int> m_unconfirmed;
    QString m_failure; // the first failed block's text
};
