// The enlarged glyph: a grid of 12-pixel cells with 1-pixel lines, set dots painted red.
// Every selection of a cell (a click, a drag onto it, or the keyboard moving onto it) is
// reported so the editor can toggle that dot.
#pragma once

#include <QWidget>
#include <functional>

namespace quillon {

class GlyphGrid : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kCell = 12;
  static constexpr int kPitch = kCell + 1;  // cell plus grid line
  static constexpr int kMaxColumns = 24;
  static constexpr int kRows = 24;

  explicit GlyphGrid(QWidget* parent = nullptr);

  // Whether dot (column, row) is set; asked for every cell while painting.
  void SetDotSource(std::function<bool(int, int)> dot) { dot_ = std::move(dot); }
  void SetColumnCount(int columns);
  int columnCount() const { return columns_; }
  int currentColumn() const { return col_; }
  int currentRow() const { return row_; }
  // The top-left pixel of a cell, for tests and the ruler.
  static QPoint CellOrigin(int column, int row) { return {1 + column * kPitch, 1 + row * kPitch}; }

 signals:
  void cellSelected(int column, int row);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  bool CellAt(QPoint pos, int& column, int& row) const;
  void Select(int column, int row);

  std::function<bool(int, int)> dot_;
  int columns_ = kMaxColumns;
  int col_ = 0;
  int row_ = 0;
};

}  // namespace quillon
