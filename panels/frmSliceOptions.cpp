#include "frmSliceOptions.h"

#include "ui_frmSliceOptions.h"

// On this system the backslash is part of the file name.
const char* const frmSliceOptions::kConfigFile = "c:\\DLPconfig.txt";

frmSliceOptions::frmSliceOptions(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::frmSliceOptions)
{
    ui->setupUi(this);
    connect(ui->okBtn, &QPushButton::clicked, this, &frmSliceOptions::okBtn_clicked);
    connect(ui->cancelBtn, &QPushButton::clicked, this, &frmSliceOptions::cancelBtn_clicked);
}

frmSliceOptions::~frmSliceOptions()
{
    delete ui;
}

void frmSliceOptions::okBtn_clicked()
{
    m_config.Save(kConfigFile);
    close();
}

void frmSliceOptions::cancelBtn_clicked()
{
    close();
}
