// The six pages of the main window. Each builder creates one page with every control it
// holds (named by component name, with built-in captions and initial states) and lays it
// out; the page's behaviour is connected later by its subsystem's controller.
#pragma once

#include <QWidget>

namespace quillon {

QWidget* BuildFirmwarePage(QWidget* parent);   // TabSheet1 "固件更新"
QWidget* BuildFontPage(QWidget* parent);       // TabSheet2 "字库更新"
QWidget* BuildSettingsPage(QWidget* parent);   // TabSheet3 "参数设置"
QWidget* BuildPrintTestPage(QWidget* parent);  // TabSheet4 "打印测试" (inner pages ts1, ts2)
QWidget* BuildOemPage(QWidget* parent);        // TabSheet5 "OEM区"
QWidget* BuildFontEditPage(QWidget* parent);   // ts3 "字库修改"

}  // namespace quillon
