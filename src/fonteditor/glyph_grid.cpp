// Painting and cell selection of the enlarged glyph grid.
#include "fonteditor/glyph_grid.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace quillon {

GlyphGrid::GlyphGrid(QWidget* parent) : QWidget(parent) {
  setFixedSize(kMaxColumns * kPitch + 1, kRows * kPitch + 1);
  setFocusPolicy(Qt::StrongFocus);
}

void GlyphGrid::SetColumnCount(int columns) {
  columns_ = std::clamp(columns, 1, kMaxColumns);
  col_ = std::min(col_, columns_ - 1);
  update();
}

void GlyphGrid::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().color(QPalette::Window));
  const int width = columns_ * kPitch + 1;
  p.fillRect(0, 0, width, height(), Qt::darkGray);  // the grid lines
  for (int row = 0; row < kRows; ++row) {
    for (int column = 0; column < columns_; ++column) {
      const bool set = dot_ && dot_(column, row);
      p.fillRect(QRect(CellOrigin(column, row), QSize(kCell, kCell)),
                 set ? QColor(255, 0, 0) : QColor(255, 255, 255));
    }
  }
  if (hasFocus()) {  // show where the keyboard is
    p.setPen(QPen(Qt::blue, 1, Qt::DotLine));
    p.drawRect(QRect(CellOrigin(col_, row_) - QPoint(1, 1), QSize(kCell + 1, kCell + 1)));
  }
}

bool GlyphGrid::CellAt(QPoint pos, int& column, int& row) const {
  if (pos.x() < 1 || pos.y() < 1) return false;
  column = (pos.x() - 1) / kPitch;
  row = (pos.y() - 1) / kPitch;
  return column < columns_ && row < kRows;
}

void GlyphGrid::Select(int column, int row) {
  col_ = column;
  row_ = row;
  emit cellSelected(column, row);
  update();
}

void GlyphGrid::mousePressEvent(QMouseEvent* event) {
  int column, row;
  // A click selects its cell even when it is selected already: each click toggles a dot.
  if (event->button() == Qt::LeftButton && CellAt(event->position().toPoint(), column, row)) {
    Select(column, row);
  }
}

void GlyphGrid::mouseMoveEvent(QMouseEvent* event) {
  int column, row;
  if ((event->buttons() & Qt::LeftButton) && CellAt(event->position().toPoint(), column, row) &&
      (column != col_ || row != row_)) {
    Select(column, row);
  }
}

void GlyphGrid::keyPressEvent(QKeyEvent* event) {
  int column = col_, row = row_;
  switch (event->key()) {
    case Qt::Key_Left:
      --column;
      break;
    case Qt::Key_Right:
      ++column;
      break;
    case Qt::Key_Up:
      --row;
      break;
    case Qt::Key_Down:
      ++row;
      break;
    case Qt::Key_Home:
      column = 0;
      break;
    case Qt::Key_End:
      column = columns_ - 1;
      break;
    case Qt::Key_PageUp:
      row = 0;
      break;
    case Qt::Key_PageDown:
      row = kRows - 1;
      break;
    default:
      QWidget::keyPressEvent(event);
      return;
  }
  column = std::clamp(column, 0, columns_ - 1);
  row = std::clamp(row, 0, kRows - 1);
  // Only a move onto another cell selects it; at the edge nothing changes.
  if (column != col_ || row != row_) Select(column, row);
}

}  // namespace quillon
