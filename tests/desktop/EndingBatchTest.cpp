// Which ended tasks are told together.
#include <sstream>

#include <QtTest>

#include "desktop/EndingBatch.h"

class EndingBatchTest : public QObject {
    Q_OBJECT

private slots:
    void endingsWithinTwoSecondsOfTheFirstGoTogether()
    {
        // At milliseconds from the start: "add <name> <ms>", "take <ms> <names told>".
        const char* script =
            "add a 0, add b 1999, take 1999, take 2000 a b, take 9000, add c 2100, add d 4099, "
            "take 4100 c d, add e 4100, take 6099, take 6100 e";
        EndingBatch batch;
        std::istringstream steps(script);
        for (std::string step; std::getline(steps, step, ',');) {
            std::istringstream words(step);
            std::string verb, name;
            long ms = 0;
            words >> verb;
            const auto at = [&] { return EndingBatch::TimePoint{} + std::chrono::milliseconds(ms); };
            if (verb == "add") {
                words >> name >> ms;
                batch.Add({QString::fromStdString(name), {}, {}, true}, at());
                continue;
            }
            words >> ms;
            QStringList expected, told;
            while (words >> name)
                expected << QString::fromStdString(name);
            for (const TaskEnding& ending : batch.TakeDue(at()))
                told << ending.name;
            QVERIFY2(told == expected, step.c_str());
        }
    }
};

QTEST_APPLESS_MAIN(EndingBatchTest)
#include "EndingBatchTest.moc"
