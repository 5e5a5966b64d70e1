#pragma once
// Several Qt Test objects in one program: each test file registers its object, and the
// program's main runs them all in one application.

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include <QObject>
#include <QtTest>

using TestFactory = std::function<QObject*()>;

inline std::vector<TestFactory>& RegisteredTests()
{
    static std::vector<TestFactory> tests;
    return tests;
}

struct RegisterTest {
    explicit RegisterTest(TestFactory factory) { RegisteredTests().push_back(std::move(factory)); }
};

// Runs every registered object, one after another; 0 when all of them passed.
inline int RunRegisteredTests(int argc, char** argv)
{
    int failures = 0;
    for (const TestFactory& factory : RegisteredTests()) {
        std::unique_ptr<QObject> test(factory());
        failures += QTest::qExec(test.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
