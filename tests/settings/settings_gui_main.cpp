// Runs the settings GUI tests offscreen.
#include <gtest/gtest.h>

#include <QApplication>

#include "core/ansi_codepage.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // The Chinese code page the printers are made for, whatever the locale of the test run.
  quillon::SetAnsiCodePage(936);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
