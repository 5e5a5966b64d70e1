#include "downloader/HelpWindow.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent), m_browser(new QTextBrowser(this))
{
    setWindowTitle(QStringLiteral("Tavolin Help"));
    setObjectName(QStringLiteral("help"));
    // The page links only within itself; anything else would need another program.
    m_browser->setOpenExternalLinks(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_browser);
    layout->addWidget(buttons);
    resize(720, 640);
}

bool HelpWindow::Load(const QString& path)
{
    const QFileInfo page(path);
    if (!page.isFile() || !page.isReadable())
        return false;
    m_browser->setSource(QUrl::fromLocalFile(page.absoluteFilePath()));
    if (!m_browser->documentTitle().isEmpty())
        setWindowTitle(m_browser->documentTitle());
    return true;
}
