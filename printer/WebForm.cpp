#include "WebForm.h"

WebForm::WebForm(QWidget* parent)
    : QWidget(parent)
{
}

void WebForm::showType(bool)
{
    show();
}

void WebForm::netSearch(bool)
{
}

bool WebForm::netConnect(const QString&, bool)
{
    return true;
}
