#pragma once

#include "dlp/slicebuildconfig.h"

#include <QString>
#include <QWidget>

namespace Ui {
class frmSliceOptions;
}

// A stand-alone options form; OK writes its own (default) build
// configuration to a fixed text file in the working directory.
class frmSliceOptions : public QWidget
{
    Q_OBJECT
public:
    explicit frmSliceOptions(QWidget* parent = nullptr);
    ~frmSliceOptions() override;

    bool GetValues() { return true; }
    void SetValues() {}

    static const char* const kConfigFile;

public slots:
    void okBtn_clicked();
    void cancelBtn_clicked();

private:
    Ui::frmSliceOptions* ui;
    DLP::SliceBuildConfig m_config;
};
