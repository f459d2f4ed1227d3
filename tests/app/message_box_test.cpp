// The real message boxes behind MSGDLG: buttons, icons, default button and results.
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/qt_dialogs.h"
#include "temp_folder.h"

namespace quillon {
namespace {

struct Seen {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton default_button = QMessageBox::NoButton;
  QString title;
};

// Shows one box of kind, presses key on it as soon as it is up and returns the result.
int PressOnBox(int kind, Qt::Key key, Seen* seen) {
  QTimer poll;
  poll.setInterval(5);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    poll.stop();
    seen->icon = box->icon();
    seen->buttons = box->standardButtons();
    if (box->defaultButton()) seen->default_button = box->standardButton(box->defaultButton());
    seen->title = box->windowTitle();
    QTest::keyClick(box, key);
  });
  poll.start();
  testing::TempProgramFolder dir;
  std::string language = "CHS";
  QtDialogPresenter presenter(nullptr);
  MsgIni msg(dir.file("language_msg.ini"), language, presenter);
  return msg.MSGDLG(kind, "", "text");
}

TEST(MessageBoxes, QuestionDefaultsToCancelSoEnterOnTheFreshBoxCancels) {
  Seen seen;
  EXPECT_EQ(PressOnBox(kMsgQuestion, Qt::Key_Return, &seen), kMsgResultCancel);
  EXPECT_EQ(seen.icon, QMessageBox::Question);
  EXPECT_EQ(seen.buttons, QMessageBox::Ok | QMessageBox::Cancel);
  EXPECT_EQ(seen.default_button, QMessageBox::Cancel);
  EXPECT_EQ(seen.title.toStdString(), kApplicationTitle);
}

TEST(MessageBoxes, OkBoxesAnswerOkAndErrorCancelAnswersCancelOnEscape) {
  const std::pair<int, QMessageBox::Icon> ok_kinds[] = {
      {kMsgPlain, QMessageBox::NoIcon},
      {kMsgInfo, QMessageBox::Information},
      {kMsgWarning, QMessageBox::Warning},
      {kMsgError, QMessageBox::Critical},
  };
  for (const auto& [kind, icon] : ok_kinds) {
    Seen seen;
    EXPECT_EQ(PressOnBox(kind, Qt::Key_Return, &seen), kMsgResultOk) << kind;
    EXPECT_EQ(seen.icon, icon) << kind;
    EXPECT_EQ(seen.buttons, QMessageBox::Ok) << kind;
  }
  Seen seen;
  EXPECT_EQ(PressOnBox(kMsgErrorCancel, Qt::Key_Escape, &seen), kMsgResultCancel);
  EXPECT_EQ(seen.icon, QMessageBox::Critical);
  EXPECT_EQ(seen.default_button, QMessageBox::Ok);
}

TEST(MessageBoxes, UnknownKindShowsNothing) {
  QtDialogPresenter presenter(nullptr);
  EXPECT_EQ(presenter.Show(7, "t", "x"), -1);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
}  // namespace quillon
