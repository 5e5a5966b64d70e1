#pragma once
#include <QString>

class QWidget;

// Every message box of both programs: exclamation icon, one OK button, a caption of
// "Information" (refused input) or "Tavolin" (missing data folder, unwritable files).
// Windows call Exclaim; tests install a recorder instead of real boxes.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Blocks until the user dismisses the box (a recorder returns at once).
    virtual void Exclaim(QWidget* owner, const QString& caption, const QString& text) = 0;

    static MessageBoxes& Current();            // real boxes unless a recorder was installed
    static void Install(MessageBoxes* boxes);  // null restores the real boxes
};
