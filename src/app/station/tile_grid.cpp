#include "app/station/tile_grid.h"

#include <QGridLayout>
#include <QResizeEvent>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

namespace quillon {

bool PortBefore(const QString& a, const QString& b) {
  // Runs of digits compare as numbers, everything else character by character.
  int i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (a[i].isDigit() && b[j].isDigit()) {
      int ei = i, ej = j;
      while (ei < a.size() && a[ei].isDigit()) ++ei;
      while (ej < b.size() && b[ej].isDigit()) ++ej;
      const qulonglong x = a.mid(i, ei - i).toULongLong();
      const qulonglong y = b.mid(j, ej - j).toULongLong();
      if (x != y) return x < y;
      i = ei;
      j = ej;
    } else {
      if (a[i] != b[j]) return a[i] < b[j];
      ++i;
      ++j;
    }
  }
  return (a.size() - i) < (b.size() - j) || ((a.size() - i) == (b.size() - j) && a < b);
}

TileGrid::TileGrid(const StationTexts& texts, QWidget* parent)
    : QScrollArea(parent), texts_(texts), inner_(new QWidget), tiles_(&PortBefore) {
  setWidgetResizable(true);
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  auto* column = new QVBoxLayout(inner_);
  grid_ = new QGridLayout;
  column->addLayout(grid_);
  column->addStretch(1);
  setWidget(inner_);
}

PortTile* TileGrid::Tile(const QString& port) {
  if (PortTile* tile = Find(port)) return tile;
  auto* tile = new PortTile(port, texts_, inner_);
  tile->setObjectName(QStringLiteral("tile_") + port);
  tiles_[port] = tile;
  Reflow(true);
  return tile;
}

PortTile* TileGrid::Find(const QString& port) const {
  auto it = tiles_.find(port);
  return it == tiles_.end() ? nullptr : it->second;
}

std::vector<PortTile*> TileGrid::Tiles() const {
  std::vector<PortTile*> out;
  for (const auto& [port, tile] : tiles_) out.push_back(tile);
  return out;
}

void TileGrid::TickAll() {
  for (const auto& [port, tile] : tiles_) tile->Tick();
}

void TileGrid::resizeEvent(QResizeEvent* event) {
  QScrollArea::resizeEvent(event);
  Reflow(false);
}

void TileGrid::Reflow(bool force) {
  if (tiles_.empty()) return;
  int tile_width = 0;
  for (const auto& [port, tile] : tiles_)
    tile_width = std::max({tile_width, tile->minimumWidth(), tile->minimumSizeHint().width()});
  const int spacing = grid_->horizontalSpacing() >= 0 ? grid_->horizontalSpacing() : 6;
  const QMargins m = inner_->layout()->contentsMargins();
  // The vertical scroll bar may appear once the rows are placed: its room is kept free.
  const int room = viewport()->width() - m.left() - m.right() -
                   (verticalScrollBar()->isVisible() ? 0 : verticalScrollBar()->sizeHint().width());
  // No empty columns: a bench of one or two printers gets wide tiles.
  const int columns =
      std::clamp((room + spacing) / (tile_width + spacing), 1, static_cast<int>(tiles_.size()));
  if (columns == columns_ && !force) return;
  columns_ = columns;
  for (const auto& [port, tile] : tiles_) grid_->removeWidget(tile);
  int i = 0;
  for (const auto& [port, tile] : tiles_) {
    grid_->addWidget(tile, i / columns, i % columns);
    tile->show();
    ++i;
  }
  for (int c = 0; c < columns; ++c) grid_->setColumnStretch(c, 1);
  for (int c = columns; c < grid_->columnCount(); ++c) grid_->setColumnStretch(c, 0);
}

}  // namespace quillon
