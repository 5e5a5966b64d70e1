// How ended tasks become notifications: which endings go together, and what is said.
#include <sstream>

#include <QtTest>

#include "desktop/EndingBatch.h"

namespace {

TaskEnding Ending(const QString& name, bool completed)
{
    return {name, completed ? QStringLiteral("Task Completed") : QStringLiteral("Download Failed"),
            completed ? QStringLiteral("/v/") + name : QString(), completed};
}

}  // namespace

class EndingBatchTest : public QObject {
    Q_OBJECT

private slots:
    void endingsWithinTwoSecondsOfTheFirstGoTogether()
    {
        // Steps at milliseconds from the start: "add <name> <ms>", "take <ms> <names told>",
        // "due <ms or none>".
        const char* script =
            "add a 0, due 2000, add b 1999, take 1999, take 2000 a b, due none, take 9000,"
            "add c 2100, add d 4099, due 4100, take 4100 c d, add e 4100, take 6099, take 6100 e";
        EndingBatch batch;
        const auto at = [](long ms) { return EndingBatch::TimePoint{} + std::chrono::milliseconds(ms); };
        std::istringstream steps(script);
        for (std::string step; std::getline(steps, step, ',');) {
            std::istringstream words(step);
            std::string verb, name;
            words >> verb;
            if (verb == "add") {
                long ms = 0;
                words >> name >> ms;
                batch.Add(Ending(QString::fromStdString(name), true), at(ms));
            } else if (verb == "due") {
                words >> name;
                QVERIFY2(
                    batch.DueAt() == (name == "none" ? std::nullopt : std::optional(at(std::stol(name)))),
                    step.c_str());
            } else {
                long ms = 0;
                words >> ms;
                QStringList expected, told;
                while (words >> name)
                    expected << QString::fromStdString(name);
                for (const TaskEnding& ending : batch.TakeDue(at(ms)))
                    told << ending.name;
                QVERIFY2(told == expected, step.c_str());
            }
        }
    }

    void oneEndingIsToldWithItsFileSeveralAreCounted()
    {
        const struct {
            std::vector<TaskEnding> endings;
            const char* summary;
            const char* body;
            const char* file;
        } rows[] = {
            {{Ending(QStringLiteral("a.mp4"), true)}, "Task Completed", "a.mp4", "/v/a.mp4"},
            {{Ending(QStringLiteral("a.flv"), false)}, "Download Failed", "a.flv", ""},
            {{Ending(QStringLiteral("a"), true), Ending(QStringLiteral("b"), false),
              Ending(QStringLiteral("c"), true), Ending(QStringLiteral("d"), true)},
             "3 tasks completed, 1 failed",
             "a: Task Completed\nb: Download Failed\nc: Task Completed\nd: Task Completed",
             ""},
            {{Ending(QStringLiteral("a"), true), Ending(QStringLiteral("b"), false)},
             "1 task completed, 1 failed",
             "a: Task Completed\nb: Download Failed",
             ""},
            {{Ending(QStringLiteral("a"), false), Ending(QStringLiteral("b"), false)},
             "2 tasks failed",
             "a: Download Failed\nb: Download Failed",
             ""},
            {std::vector<TaskEnding>(7, Ending(QStringLiteral("x"), true)), "7 tasks completed",
             "x: Task Completed\nx: Task Completed\nx: Task Completed\nx: Task Completed\nx: Task "
             "Completed\nand 2 more",
             ""},
        };
        for (const auto& row : rows) {
            const NotificationText text = DescribeEndings(row.endings);
            QCOMPARE(text.summary, QString::fromUtf8(row.summary));
            QCOMPARE(text.body, QString::fromUtf8(row.body));
            QCOMPARE(text.file, QString::fromUtf8(row.file));
        }
    }
};

QTEST_APPLESS_MAIN(EndingBatchTest)
#include "EndingBatchTest.moc"
