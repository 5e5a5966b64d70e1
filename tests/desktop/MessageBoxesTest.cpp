// The real message boxes, on the offscreen platform.
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

#include "desktop/MessageBoxes.h"

class MessageBoxesTest : public QObject {
    Q_OBJECT

private slots:
    void ShowAWarningWithOneButtonAndPlainText()
    {
        QStringList seen;
        QTimer::singleShot(0, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            box->accept();
            seen << box->windowTitle() << box->text();
            QCOMPARE(box->icon(), QMessageBox::Warning);
            QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
            QCOMPARE(box->textFormat(), Qt::PlainText);  // a path holding '<' is no markup
        });
        const QString text = QStringLiteral("Folder <b>x</b> & more");
        MessageBoxes::Current().Exclaim(nullptr, QStringLiteral("Information"), text);
        QCOMPARE(seen, (QStringList{QStringLiteral("Information"), text}));
    }
};

QTEST_MAIN(MessageBoxesTest)
#include "MessageBoxesTest.moc"
