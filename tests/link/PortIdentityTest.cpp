// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortIdentity.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The system as a folder of ours: device files under dev, the stable name a link among them,
// and a tty folder whose devices lead, as in sysfs, into the folder of the USB device they are
// plugged in at. Each snapshot is "kernel name, serial number (- for none), place" per adapter
// listed; the stable name leads to the first, and a name starting with ! is not listed.
class PortIdentityTest : public QObject
{
    Q_OBJECT

    QTemporaryDir root;

    QString dev(const QString& name) const { return root.filePath("dev/" + name); }
    QString stableName() const { return dev("by-id/usb-Alike_Serial-if00-port0"); }

    // The system as snapshot says, and what the stable name leads to in it.
    PortIdentity identityIn(const QStringList& snapshot)
    {
        QDir(root.path()).removeRecursively();
        QDir(root.path()).mkpath("dev/by-id");
        QList<ListedPort> listed;
        for (const QString& adapter : snapshot) {
            const QStringList parts = adapter.split(' ');
            QString name = parts[0];
            const bool isListed = !name.startsWith('!');
            name.remove('!');
            QFile(dev(name)).open(QIODevice::WriteOnly);
            if (adapter == snapshot.constFirst())
                QFile::link(dev(name), stableName());
            if (!isListed)
                continue;
            const QString place = parts[2];
            const QString interface = root.filePath(
                QStringLiteral("devices/pci0000:00/usb1/%1/%1:1.0/%2").arg(place, name));
            QDir().mkpath(interface);
            QDir().mkpath(root.filePath("tty/" + name));
            QFile::link(interface, root.filePath("tty/" + name + "/device"));
            listed.append({dev(name), "0403:6001", parts[1] == "-" ? QString() : parts[1]});
        }
        return PortIdentity::of(stableName(), listed, root.filePath("tty"));
    }

private slots:
    // A stable name may come to lead to another adapter of the same make: the lost port is
    // opened again only where the name still leads to the one chosen.
    void aStableNameReopensOnlyToTheAdapterChosen_data()
    {
        QTest::addColumn<QStringList>("atOpen");
        QTest::addColumn<QStringList>("now");
        QTest::addColumn<bool>("reopens");
        const auto row = [](const char* tag, const QStringList& atOpen, const QStringList& now,
                            bool reopens) { QTest::newRow(tag) << atOpen << now << reopens; };
        row("same serial and place, new kernel name", {"ttyUSB0 A 1-1"}, {"ttyUSB1 A 1-1"}, true);
        row("another serial", {"ttyUSB0 A 1-1"}, {"ttyUSB0 B 1-1"}, false);
        row("no serial, same place", {"ttyUSB0 - 1-1"}, {"ttyUSB0 - 1-1"}, true);
        row("no serial, other place", {"ttyUSB0 - 1-1"}, {"ttyUSB0 - 1-2"}, false);
        row("no serial, behind a hub", {"ttyUSB0 - 1-1.3"}, {"ttyUSB0 - 1-1.4"}, false);
        row("alike at the open, same place", {"ttyUSB0 A 1-1", "ttyUSB1 A 1-2"}, {"ttyUSB0 A 1-1"},
            true);
        row("alike at the open, other place", {"ttyUSB0 A 1-1", "ttyUSB1 A 1-2"}, {"ttyUSB1 A 1-2"},
            false);
        row("alike now, other place", {"ttyUSB0 A 1-1"}, {"ttyUSB1 A 1-2", "ttyUSB0 A 1-3"}, false);
        row("serials apart, place changed", {"ttyUSB0 A 1-1", "ttyUSB1 B 1-2"}, {"ttyUSB0 A 1-3"},
            true);
        row("now to a device not listed", {"ttyUSB0 A 1-1"}, {"!ttyUSB0"}, false);
        row("unlisted then and now", {"!pts0"}, {"!pts1"}, true);
        row("nothing behind the name", {"ttyUSB0 A 1-1"}, {}, true);
    }
    void aStableNameReopensOnlyToTheAdapterChosen()
    {
        QFETCH(QStringList, atOpen);
        QFETCH(QStringList, now);
        const PortIdentity chosen = identityIn(atOpen);
        QTEST(PortIdentity::mayReopen(chosen, identityIn(now)), "reopens");
    }
};

QTEST_GUILESS_MAIN(PortIdentityTest)
#include "PortIdentityTest.moc"
