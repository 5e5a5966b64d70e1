#include "downloader/CMyAboutDlg.h"

#include <QPainter>
#include <QPushButton>

#include "downloader/MainWindowRules.h"
#include "platform/CommandLine.h"
#include "skin/CTransStatic.h"
#include "skin/DialogUnits.h"
#include "skin/GradientFill.h"

namespace {

const QColor kBackgroundTop(255, 255, 255);
const QColor kBackgroundBottom(226, 224, 220);
const QColor kStripTop(0, 0, 0);
constexpr int kStripWidth = 25;
constexpr int kIconSize = 32;

}  // namespace

CMyAboutDlg::CMyAboutDlg(const QIcon& icon, QWidget* parent) : QDialog(parent), m_icon(icon)
{
    setWindowTitle(QStringLiteral("About Tavolin"));
    setWindowIcon(icon);
    setFont(skin::DialogUnits::DialogFont());
    const skin::DialogUnits units = skin::DialogUnits::ForApplication();
    setFixedSize(units.ToPixelsX(235), units.ToPixelsY(62));

    auto* version =
        new CTransStatic(QStringLiteral("%1 Version %2")
                             .arg(QLatin1String(kProductName), QLatin1String(platform::ProductVersion())),
                         SS_NOPREFIX, this);
    version->setObjectName(QStringLiteral("version"));
    version->SetType(3);
    version->setGeometry(units.ToPixels(24, 10, 160, 8));
    auto* makers = new CTransStatic(
        QStringLiteral("Downloads videos into a task list and converts them for your players."), SS_NOPREFIX,
        this);
    makers->setGeometry(units.ToPixels(24, 22, 170, 16));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setGeometry(units.ToPixels(178, 41, 50, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void CMyAboutDlg::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    skin::FillGradient(painter, rect(), kBackgroundTop, kBackgroundBottom, skin::GradientBands::Thin);
    skin::FillGradient(painter, QRect(0, 0, kStripWidth, height()), kStripTop, kBackgroundBottom,
                       skin::GradientBands::Thin);
    m_icon.paint(&painter, QRect(width() - 50, 15, kIconSize, kIconSize));
}
