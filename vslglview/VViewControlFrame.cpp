#include "VViewControlFrame.h"

#include "ui_ViewControlFrame.h"

// The icons live in a resource file of this static library; its initialiser
// would otherwise be dropped by the linker.
static void InitViewControlResources()
{
    Q_INIT_RESOURCE(viewcontrol);
}

VViewControlFrame::VViewControlFrame(QWidget* parent) : QFrame(parent), m_ui(new Ui::ViewControlFrame)
{
    InitViewControlResources();
    m_ui->setupUi(this);
    SetButtonID();
    connect(m_ui->buttonGroup, SIGNAL(buttonClicked(int)), this, SLOT(slot_ButtonClicked(int)));
}

VViewControlFrame::~VViewControlFrame() = default;

void VViewControlFrame::SetButtonID()
{
    QButtonGroup* g = m_ui->buttonGroup;
    g->setId(m_ui->button_ZoomIn, 0);
    g->setId(m_ui->button_ZoomOut, 1);
    g->setId(m_ui->button_Left, 2);
    g->setId(m_ui->button_Right, 3);
    g->setId(m_ui->button_Up, 4);
    g->setId(m_ui->button_Down, 5);
    g->setId(m_ui->button_Center, 6);
}

void VViewControlFrame::slot_ButtonClicked(int buttonID)
{
    emit signal_ViewControl(buttonID);
}
