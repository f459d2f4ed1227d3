// Checks that a window shows every caption whole, and saves its picture for a look.
#pragma once

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <QWidget>
#include <string>
#include <vector>

namespace quillon::testing {

// Labels, push buttons, check boxes and combo boxes shown inside root that are narrower
// than their size hint (a clipped caption or combo item), as "name: width < hint".
inline std::vector<std::string> ClippedControls(QWidget* root) {
  std::vector<std::string> clipped;
  for (QWidget* w : root->findChildren<QWidget*>()) {
    if (!w->isVisibleTo(root) || w->objectName().startsWith(QLatin1String("qt_"))) continue;
    auto* label = qobject_cast<QLabel*>(w);
    const bool checked = (label && !label->wordWrap() && label->pixmap().isNull()) ||
                         qobject_cast<QPushButton*>(w) || qobject_cast<QCheckBox*>(w) ||
                         qobject_cast<QRadioButton*>(w) || qobject_cast<QComboBox*>(w);
    if (!checked || w->width() >= w->sizeHint().width()) continue;
    QString text;
    if (label) text = label->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) text = b->text();
    if (auto* c = qobject_cast<QComboBox*>(w)) text = c->currentText();
    clipped.push_back(QStringLiteral("%1 \"%2\": %3 < %4")
                          .arg(w->objectName(), text)
                          .arg(w->width())
                          .arg(w->sizeHint().width())
                          .toStdString());
  }
  return clipped;
}

// Widgets whose rectangles overlap among the visible children of one parent (siblings),
// as "name / name".
inline std::vector<std::string> OverlappingControls(QWidget* root) {
  std::vector<std::string> out;
  for (QWidget* parent : root->findChildren<QWidget*>()) {
    QList<QWidget*> kids;
    for (QObject* o : parent->children()) {
      auto* w = qobject_cast<QWidget*>(o);
      if (w && w->isVisibleTo(root) && !w->isWindow() && !w->objectName().startsWith("qt_"))
        kids.append(w);
    }
    for (int i = 0; i < kids.size(); ++i)
      for (int j = i + 1; j < kids.size(); ++j)
        if (kids[i]->geometry().intersects(kids[j]->geometry()))
          out.push_back((kids[i]->objectName() + " / " + kids[j]->objectName()).toStdString());
  }
  return out;
}

// The scale factor of the run (QT_SCALE_FACTOR), for the file names of screenshots.
inline QString ScaleSuffix() {
  const QByteArray scale = qgetenv("QT_SCALE_FACTOR");
  return scale.isEmpty() || scale == "1" ? QStringLiteral("x1")
                                         : QStringLiteral("x") + QString::fromLatin1(scale);
}

// Saves a picture of w as <dir>/<name>_<scale>.png; false when it could not.
inline bool SaveScreenshot(QWidget* w, const QString& dir, const QString& name) {
  if (!QDir().mkpath(dir)) return false;
  // A palette of 256 colours keeps the files small enough to commit beside the README.
  const QImage shot =
      w->grab().toImage().convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
  return shot.save(dir + QLatin1Char('/') + name + QLatin1Char('_') + ScaleSuffix() +
                   QStringLiteral(".png"));
}

}  // namespace quillon::testing
