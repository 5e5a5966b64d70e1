#include "downloader/CConfirmDeleteDlg.h"

#include <QPainter>
#include <QPushButton>

#include "desktop/WindowFrames.h"
#include "skin/CTransRadio.h"
#include "skin/CTransStatic.h"
#include "skin/DialogUnits.h"
#include "skin/GradientFill.h"

namespace {

const QColor kBackgroundTop(255, 255, 255);
const QColor kBackgroundBottom(225, 223, 218);

}  // namespace

CConfirmDeleteDlg::CConfirmDeleteDlg(QWidget* parent) : QDialog(parent, FixedDialogFrame())
{
    setWindowTitle(QStringLiteral("Confirmation"));
    setFont(skin::DialogUnits::DialogFont());
    const skin::DialogUnits units = skin::DialogUnits::ForApplication();
    setFixedSize(units.ToPixelsX(238), units.ToPixelsY(90));

    auto* question =
        new CTransStatic(QStringLiteral("What do you want to do with selected tasks?"), SS_LEFT, this);
    question->setGeometry(units.ToPixels(46, 14, 145, 8));

    m_radioTaskOnly = new CTransRadio(QStringLiteral("Delete task only"), this);
    m_radioTaskOnly->setObjectName(QStringLiteral("deleteTaskOnly"));
    m_radioTaskOnly->setGeometry(units.ToPixels(58, 30, 73, 10));
    m_radioTaskAndFiles = new CTransRadio(QStringLiteral("Delete task and downloaded files"), this);
    m_radioTaskAndFiles->setObjectName(QStringLiteral("deleteTaskAndFiles"));
    m_radioTaskAndFiles->setGeometry(units.ToPixels(58, 46, 121, 10));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setGeometry(units.ToPixels(55, 69, 50, 14));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setGeometry(units.ToPixels(132, 69, 50, 14));

    m_radioTaskOnly->SetCheckState(1);
    m_radioTaskAndFiles->SetCheckState(0);

    connect(m_radioTaskOnly, &CTransRadio::clicked, this, &CConfirmDeleteDlg::OnDeleteTaskOnly);
    connect(m_radioTaskAndFiles, &CTransRadio::clicked, this, &CConfirmDeleteDlg::OnDeleteTaskAndFiles);
    connect(ok, &QPushButton::clicked, this, &CConfirmDeleteDlg::OnOK);
    connect(cancel, &QPushButton::clicked, this, &CConfirmDeleteDlg::reject);
    ok->setFocus();
}

void CConfirmDeleteDlg::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    skin::FillGradient(painter, rect(), kBackgroundTop, kBackgroundBottom, skin::GradientBands::Thin);
}

// Each radio button keeps its own tick (a click on a ticked one clears it), so the pair is
// set again on every click.
void CConfirmDeleteDlg::OnDeleteTaskOnly()
{
    m_radioTaskOnly->SetCheckState(1);
    m_radioTaskAndFiles->SetCheckState(0);
    m_radioTaskOnly->update();
    m_radioTaskAndFiles->update();
}

void CConfirmDeleteDlg::OnDeleteTaskAndFiles()
{
    m_radioTaskOnly->SetCheckState(0);
    m_radioTaskAndFiles->SetCheckState(1);
    m_radioTaskOnly->update();
    m_radioTaskAndFiles->update();
}

void CConfirmDeleteDlg::OnOK()
{
    m_bDeleteFiles = m_radioTaskAndFiles->m_nCheck != 0;
    accept();
}
