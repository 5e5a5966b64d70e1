#include <chrono>

#include <QtTest>

#include "DialogsTestSupport.h"
#include "downloader/ClipboardDuplicates.h"

class ClipboardDuplicatesTest : public QObject {
    Q_OBJECT

private slots:
    void sameAddressIsOfferedOnceAMinuteAndNeverWhenListed()
    {
        std::chrono::seconds now{0};
        ClipboardDuplicates duplicates([&] { return std::chrono::steady_clock::time_point(now); });
        const auto listed = [](std::string_view address) { return address == "http://h/l.mp4"; };
        // Seconds since the start, the copied address, whether it is offered. A held-back
        // copy does not make the wait longer.
        const std::tuple<int, const char*, bool> steps[] = {
            {0, "http://h/a.mp4", true},   {10, "http://h/a.mp4 ", false}, {11, "http://h/b.mp4", true},
            {12, "http://h/l.mp4", false}, {59, "http://h/a.mp4", false},  {60, "http://h/a.mp4", true},
            {61, "http://h/a.mp4", false}, {71, "http://h/b.mp4", true},
        };
        for (const auto& [second, address, offered] : steps) {
            now = std::chrono::seconds(second);
            QVERIFY2(duplicates.Admit(address, listed) == offered, address);
        }
    }
};

static RegisterTest registerClipboardDuplicatesTest([] { return new ClipboardDuplicatesTest; });

#include "ClipboardDuplicatesTest.moc"
