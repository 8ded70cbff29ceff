// SPDX-License-Identifier: GPL-3.0-or-later
#include "StatusWindow.h"

#include <QCloseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QWindow>

class StatusWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void closeBoxWorksOnlyWhileCloseIsEnabled()
    {
        // The window system asks for a close by sending this event to the platform window.
        const auto useCloseBox = [](StatusWindow* window) {
            QCloseEvent request;
            QCoreApplication::sendEvent(window->windowHandle(), &request);
        };
        QPointer<StatusWindow> running = new StatusWindow;
        running->show();
        useCloseBox(running);
        QVERIFY(running->isVisible());
        running->close(); // as the transfer does when it succeeds
        QTRY_VERIFY(running.isNull());

        QPointer<StatusWindow> failed = new StatusWindow;
        failed->show();
        failed->comExit()->setEnabled(true);
        useCloseBox(failed);
        QTRY_VERIFY(failed.isNull());
    }
};

QTEST_MAIN(StatusWindowTest)
#include "StatusWindowTest.moc"
