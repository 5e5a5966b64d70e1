#include "desktop/MessageBoxes.h"

#include <atomic>

#include <QMessageBox>

namespace {

class DesktopMessageBoxes final : public MessageBoxes {
public:
    void Exclaim(QWidget* owner, const QString& caption, const QString& text) override
    {
        QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok, owner);
        // Paths land in these texts; one holding '<' must not be read as markup.
        box.setTextFormat(Qt::PlainText);
        box.exec();
    }
};

std::atomic<MessageBoxes*> g_pInstalled{nullptr};

}  // namespace

MessageBoxes& MessageBoxes::Current()
{
    if (MessageBoxes* installed = g_pInstalled.load())
        return *installed;
    static DesktopMessageBoxes desktop;
    return desktop;
}

void MessageBoxes::Install(MessageBoxes* boxes)
{
    g_pInstalled.store(boxes);
}
