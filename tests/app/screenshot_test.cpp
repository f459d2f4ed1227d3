// Saves a picture of every page (and the label sub-page) into build/screenshots, so the
// window can be looked at without a display. Checks that each page fits the window.
#include <QDir>
#include <QTabWidget>

#include "shell_fixture.h"

namespace quillon {
namespace {

using testing::ShellTest;

TEST_F(ShellTest, SavesAScreenshotOfEveryPage) {
  InstallShippedFiles();
  auto w = MakeWindow();
  w->show();
  w->Timer1Timer();
  ASSERT_TRUE(QDir().mkpath(QUILLON_SCREENSHOT_DIR));
  auto save = [&](const QString& name) {
    const QString file = QStringLiteral(QUILLON_SCREENSHOT_DIR "/main_%1.png").arg(name);
    const QPixmap shot = w->grab();
    EXPECT_FALSE(shot.isNull());
    EXPECT_TRUE(shot.save(file)) << file.toStdString();
  };
  QTabWidget* pages = w->PageControl1();
  for (int i = 0; i < pages->count(); ++i) {
    pages->setCurrentIndex(i);
    QWidget* page = pages->widget(i);
    // Every control is reachable without scrolling at the window's starting size.
    EXPECT_LE(page->minimumSizeHint().width(), pages->width() + 1) << i;
    save(QStringLiteral("%1_%2").arg(i + 1).arg(page->objectName()));
  }
  pages->setCurrentIndex(3);
  auto* inner = w->findChild<QTabWidget*>("PageControl2");
  ASSERT_NE(inner, nullptr);
  inner->setCurrentIndex(1);
  save("4_TabSheet4_ts2");
}

}  // namespace
}  // namespace quillon
