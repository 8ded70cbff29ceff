#pragma once

#include "LinkFrame.h"
#include "RetryBudget.h"
#include "SelectorLink.h"

#include <QObject>
#include <QString>

class SelectorImage;
class TransferDisplay;

// Moves image bytes between the PC and the selector, one exchange per byte: the full read, the
// partial read, or the programming of one address block. Runs on the link's events; reports
// through its display and, after the settling pause, through finished().
class ImageTransfer : public QObject
{
    Q_OBJECT
public:
    enum class Kind
    {
        FullRead,
        PartialRead,
        ProgramBlock
    };

    static constexpr int FirstPartialReadAddress = 120;

    // first..last inclusive; reads use their fixed ranges.
    ImageTransfer(Kind kind, int first, int last, SelectorLink& link, SelectorImage& image,
                  TransferDisplay& display, QObject* parent = nullptr);
    ~ImageTransfer() override;

    static ImageTransfer* fullRead(SelectorLink& link, SelectorImage& image,
                                   TransferDisplay& display, QObject* parent = nullptr);
    static ImageTransfer* partialRead(SelectorLink& link, SelectorImage& image,
                                      TransferDisplay& display, QObject* parent = nullptr);
    static ImageTransfer* programBlock(int begin, int total, SelectorLink& link,
                                       SelectorImage& image, TransferDisplay& display,
                                       QObject* parent = nullptr);

    // False when another link operation holds the link: nothing is sent then.
    bool start();

    Kind kind() const { return m_kind; }
    int address() const { return m_address; }
    int failures() const { return m_budget.failures(); }

signals:
    // The last exchange is over (the settling pause follows); true when every byte went through.
    void completed(bool succeeded);
    // Emitted once, after the settling pause, with the same outcome.
    void finished(bool succeeded);

private:
    bool isRead() const { return m_kind != Kind::ProgramBlock; }
    LinkFrame requestFor(int address) const;
    bool acceptReply(const QByteArray& reply);
    void sendCurrent();
    void onAttempt(const SelectorLink::AttemptResult& result);
    void onFailedAttempt();
    void succeed();
    void giveUp();
    void finish(bool succeeded);

    Kind m_kind;
    int m_first;
    int m_last;
    SelectorLink& m_link;
    SelectorImage& m_image;
    TransferDisplay& m_display;
    RetryBudget m_budget;
    int m_address;
    float m_lastT0 = 0.0F;
    bool m_running = false;
};
