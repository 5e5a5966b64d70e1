#pragma once
#include <functional>
#include <utility>
#include <vector>

#include <QObject>
#include <QString>
#include <QStringList>

#include "fetch/ServiceConfig.h"
#include "fetch/WatchUrl.h"
#include "skin/MessageBoxes.h"

// The test objects of dialogs_tests, run one after another by its main.
using TestFactory = std::function<QObject*()>;
std::vector<TestFactory>& DialogTests();

struct RegisterDialogTest {
    explicit RegisterDialogTest(TestFactory factory) { DialogTests().push_back(std::move(factory)); }
};

// Takes the message boxes' place for as long as it lives; records "caption | text".
class RecordedBoxes : public MessageBoxes {
public:
    RecordedBoxes() { MessageBoxes::Install(this); }
    ~RecordedBoxes() override { MessageBoxes::Install(nullptr); }

    void Exclaim(QWidget*, const QString& caption, const QString& text) override
    {
        m_log << caption + " | " + text;
    }

    QStringList m_log;
};

// A watch-page address of the run's service host.
inline QString WatchUrl(const QString& id)
{
    return QString::fromStdString(WatchUrlPrefix(ServiceConfig::Current().m_csServiceHost)) + id;
}
