// The tiles of every port, ordered by port path, in as many columns as the width allows;
// rows that do not fit scroll. From one tile to sixteen the layout holds on a 1366 x 768
// screen at any scale.
#pragma once

#include <QScrollArea>
#include <map>
#include <vector>

#include "app/station/port_tile.h"

class QGridLayout;

namespace quillon {

class TileGrid final : public QScrollArea {
  Q_OBJECT

 public:
  TileGrid(const StationTexts& texts, QWidget* parent = nullptr);

  // The tile of port, made (in its place) when the port has its first printer.
  PortTile* Tile(const QString& port);
  // The tile of port or null.
  PortTile* Find(const QString& port) const;
  // In port order.
  std::vector<PortTile*> Tiles() const;
  void TickAll();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Reflow(bool force);

  const StationTexts& texts_;
  QWidget* inner_;
  QGridLayout* grid_;
  std::map<QString, PortTile*, bool (*)(const QString&, const QString&)> tiles_;
  int columns_ = 0;
};

// "1-2.10" after "1-2.9": port paths compared number by number.
bool PortBefore(const QString& a, const QString& b);

}  // namespace quillon
