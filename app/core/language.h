#pragma once

#include <QString>

// The translation chosen for this run from "<config>/VexmorMachine.ini"
// [MachineConfig] Language: ":/Resources/lang/zh-cn.qm" for any non-empty
// text other than "English", else ":/Resources/lang/en.qm".
QString vexmorTranslationFile();
