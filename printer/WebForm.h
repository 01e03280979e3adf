#pragma once

#include <QString>
#include <QVector>
#include <QWidget>

// The network printer page. This build has no network scan: the page offers
// the interface the panels use and finds nothing.
class WebForm : public QWidget
{
    Q_OBJECT
public:
    explicit WebForm(QWidget* parent = nullptr);

    void showType(bool withDeviceList);
    void netSearch(bool);
    bool netConnect(const QString& entry, bool connect);

signals:
    void signal_dev_list(QVector<QString> list);
    void signal_dev_connected(QString dev);
};
