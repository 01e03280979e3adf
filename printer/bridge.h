#pragma once

#include <QObject>
#include <QPointer>

class QMessageBox;

// The object a printer's own page reaches over the web channel, under the
// name "bridge". One instance serves every form and lives until exit.
class bridge : public QObject
{
    Q_OBJECT
public:
    static bridge* instance();

public slots:
    void showMsgBox();

private:
    bridge() = default;
    QPointer<QMessageBox> m_box; // the box shown, until it is closed
};
