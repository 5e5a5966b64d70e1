#include <chrono>
#include <string>

#include <QtTest>

#include "DialogsTestSupport.h"
#include "downloader/ClipboardDuplicates.h"

class ClipboardDuplicatesTest : public QObject {
    Q_OBJECT

private slots:
    void sameAddressIsOfferedOnceAMinuteAndNeverWhenListed()
    {
        std::chrono::steady_clock::time_point now{};
        ClipboardDuplicates duplicates([&] { return now; });
        const auto listed = [](std::string_view address) { return address == "http://h/listed.mp4"; };
        // Seconds since the start, the copied address, whether it is offered.
        const struct {
            int second;
            const char* address;
            bool offered;
        } steps[] = {
            {0, "http://h/a.mp4", true},
            {10, "http://h/a.mp4", false},
            {10, "http://h/a.mp4 ", false},  // the same address with a blank after it
            {11, "http://h/b.mp4", true},
            {12, "http://h/listed.mp4", false},
            {59, "http://h/a.mp4", false},
            // A held-back copy does not make the wait longer.
            {60, "http://h/a.mp4", true},
            {61, "http://h/a.mp4", false},
            {71, "http://h/b.mp4", true},
            {500, "http://h/listed.mp4", false},
        };
        for (const auto& step : steps) {
            now = std::chrono::steady_clock::time_point{} + std::chrono::seconds(step.second);
            QVERIFY2(
                duplicates.Admit(step.address, listed) == step.offered,
                qPrintable(QStringLiteral("%1 s: %2").arg(step.second).arg(QLatin1String(step.address))));
        }
    }
};

static RegisterTest registerClipboardDuplicatesTest([] { return new ClipboardDuplicatesTest; });

#include "ClipboardDuplicatesTest.moc"
