// Picture printing: the packed raster sent as GS v 0 raster bit-image commands of at most
// 24 dot rows each.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "output/bitmap_conv.h"

namespace quillon {

class Messages;

class FlowUi;
class PrinterLink;

inline constexpr int kBandRows = 24;
inline constexpr size_t kBandBufferSize = 4096;
// The widest picture whose 24-row band fits the band buffer: 170 bytes a row.
inline constexpr int kMaxPrintWidth = static_cast<int>(kBandBufferSize / kBandRows) * 8;
inline constexpr size_t kRasterHeaderSize = 8;

// The GS v 0 command of one band: 1D 76 30 00, bytes per row and rows (both low byte
// first), then the band's rows.
std::vector<uint8_t> RasterBandCommand(const uint8_t* buf, uint16_t width, uint16_t height);

// Sends one band (height rows of width bytes) to the printer without awaiting a reply.
// False when the band could not be handed over (the printer went away).
bool Print_BitMap(PrinterLink& link, const uint8_t* buf, uint16_t width, uint16_t height);

// Why a picture cannot be printed (empty when it can). Texts from messages when given,
// else the English ones.
std::string CheckPrintablePicture(const Picture& img, Messages* messages = nullptr);

// Prints a picture: dithers and packs it, opens the link, sends its bands with progress
// (position = rows sent) and closes the link. A picture that cannot be printed is refused
// with a warning box before anything is sent. Stops between bands when the user cancels.
// Returns true when every band was sent.
bool PrintPicture(PrinterLink& link, const Picture& img, FlowUi& ui);

}  // namespace quillon
