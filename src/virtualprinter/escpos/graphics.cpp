#include "virtualprinter/escpos/graphics.h"

#include <algorithm>

namespace quillon::vp::escpos {
namespace {

size_t Le16(std::span<const uint8_t> b, size_t at) {
  return b[at] + 256u * b[at + 1];
}

// A picture defined by functions 67/68/83/84/112/113: `columnar` data is column format.
bool ReadPicture(std::span<const uint8_t> data, int width, int height, bool columnar, Bitmap& out) {
  if (width <= 0 || height <= 0) return false;
  const size_t need = columnar ? static_cast<size_t>(width) * ((height + 7) / 8)
                               : static_cast<size_t>((width + 7) / 8) * height;
  if (data.size() < need) return false;
  if (columnar) {
    out = ColumnImage(data.first(need), width, (height + 7) / 8);
    Bitmap cut(width, height);
    cut.Blit(out, 0, 0);
    out = cut;
  } else {
    out = RasterImage(data.first(need), width, height);
  }
  return true;
}

void Digits(std::vector<uint8_t>& reply, size_t v) {
  for (char c : std::to_string(v)) reply.push_back(static_cast<uint8_t>(c));
}

std::vector<uint8_t> KeyList(uint8_t id, const std::map<uint16_t, Bitmap>& m) {
  std::vector<uint8_t> r = {0x37, id, 0x40};
  for (const auto& [key, pic] : m) {
    r.push_back(static_cast<uint8_t>(key & 0xFF));
    r.push_back(static_cast<uint8_t>(key >> 8));
  }
  r.push_back(0);
  return r;
}

size_t Bytes(const std::map<uint16_t, Bitmap>& m) {
  size_t n = 0;
  for (const auto& [key, pic] : m) n += static_cast<size_t>(pic.stride()) * pic.height();
  return n;
}

}  // namespace

Bitmap ColumnImage(std::span<const uint8_t> data, int columns, int bytes_per_column, int xmul,
                   int ymul) {
  Bitmap out(columns * xmul, bytes_per_column * 8 * ymul);
  for (int c = 0; c < columns; ++c) {
    for (int b = 0; b < bytes_per_column; ++b) {
      const size_t i = static_cast<size_t>(c) * bytes_per_column + b;
      if (i >= data.size() || !data[i]) continue;
      for (int bit = 0; bit < 8; ++bit) {
        if (data[i] & (0x80 >> bit)) out.Fill(c * xmul, (b * 8 + bit) * ymul, xmul, ymul);
      }
    }
  }
  return out;
}

Bitmap RasterImage(std::span<const uint8_t> data, int width, int height) {
  Bitmap out(width, height);
  const size_t stride = static_cast<size_t>((width + 7) / 8);
  for (int y = 0; y < height; ++y) {
    const size_t at = static_cast<size_t>(y) * stride;
    if (at + stride > data.size()) break;
    std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(at), stride, out.row(y));
    if (width % 8) out.row(y)[stride - 1] &= static_cast<uint8_t>(0xFF00u >> (width % 8));
  }
  return out;
}

Bitmap Scaled(const Bitmap& src, int xmul, int ymul) {
  if (xmul == 1 && ymul == 1) return src;
  Bitmap out(src.width() * xmul, src.height() * ymul);
  for (int y = 0; y < src.height(); ++y) {
    for (int x = 0; x < src.width(); ++x) {
      if (src.Get(x, y)) out.Fill(x * xmul, y * ymul, xmul, ymul);
    }
  }
  return out;
}

size_t NvStore::bytes() const {
  size_t n = Bytes(graphics);
  for (const Bitmap& b : bit_images) n += static_cast<size_t>(b.stride()) * b.height();
  return n;
}

// Packed: records of tag ('K' key-coded graphic, 'B' bit image), key (2), width (2),
// height (2), then the raster rows.
std::vector<uint8_t> PackNv(const NvStore& store) {
  std::vector<uint8_t> out;
  auto put = [&](uint8_t tag, uint16_t key, const Bitmap& b) {
    const uint16_t f[] = {key, static_cast<uint16_t>(b.width()), static_cast<uint16_t>(b.height())};
    out.push_back(tag);
    for (uint16_t v : f) {
      out.push_back(static_cast<uint8_t>(v & 0xFF));
      out.push_back(static_cast<uint8_t>(v >> 8));
    }
    for (int y = 0; y < b.height(); ++y) out.insert(out.end(), b.row(y), b.row(y) + b.stride());
  };
  for (const auto& [key, pic] : store.graphics) put('K', key, pic);
  for (size_t i = 0; i < store.bit_images.size(); ++i)
    put('B', static_cast<uint16_t>(i + 1), store.bit_images[i]);
  return out;
}

NvStore UnpackNv(std::span<const uint8_t> packed) {
  NvStore store;
  size_t at = 0;
  while (at + 7 <= packed.size()) {
    const uint8_t tag = packed[at];
    const size_t key = Le16(packed, at + 1), w = Le16(packed, at + 3), h = Le16(packed, at + 5);
    const size_t len = (w + 7) / 8 * h;
    at += 7;
    if ((tag != 'K' && tag != 'B') || at + len > packed.size()) break;
    Bitmap pic = RasterImage(packed.subspan(at, len), static_cast<int>(w), static_cast<int>(h));
    at += len;
    if (tag == 'K') {
      store.graphics[static_cast<uint16_t>(key)] = std::move(pic);
    } else {
      store.bit_images.push_back(std::move(pic));
    }
  }
  return store;
}

GraphicsResult GraphicsFunctions::Run(std::span<const uint8_t> body, std::vector<uint8_t>& nv) {
  GraphicsResult r;
  if (body.size() < 2) {
    r.error = "graphics function without a function number";
    return r;
  }
  const uint8_t fn = body[1];
  auto define = [&](std::map<uint16_t, Bitmap>& store, size_t capacity, bool columnar,
                    size_t used) {
    // a kc1 kc2 b xL xH yL yH [c d1..dk]: the first colour's data is the picture.
    if (body.size() < 11) {
      r.error = "graphics definition cut short";
      return false;
    }
    const uint16_t key = static_cast<uint16_t>(body[3] + 256 * body[4]);
    const int w = static_cast<int>(Le16(body, 6)), h = static_cast<int>(Le16(body, 8));
    Bitmap pic;
    if (body.size() < 12 || !ReadPicture(body.subspan(11), w, h, columnar, pic)) {
      r.error = "graphics definition with sizes its data does not fill";
      return false;
    }
    const size_t old =
        store.count(key) ? static_cast<size_t>(store[key].stride()) * store[key].height() : 0;
    if (used - old + static_cast<size_t>(pic.stride()) * pic.height() > capacity) {
      r.error = "graphics memory full";
      return false;
    }
    store[key] = std::move(pic);
    return true;
  };
  auto print = [&](const std::map<uint16_t, Bitmap>& store) {
    // kc1 kc2 x y: the picture at x, y times its size.
    if (body.size() < 6) {
      r.error = "graphics print cut short";
      return;
    }
    const auto it = store.find(static_cast<uint16_t>(body[2] + 256 * body[3]));
    if (it == store.end()) {
      r.error = "no graphics stored under that key";
      return;
    }
    r.print = Scaled(it->second, body[4] == 2 ? 2 : 1, body[5] == 2 ? 2 : 1);
    r.print_now = true;
  };
  NvStore stored;
  const bool touches_nv = fn == 64 || fn == 65 || fn == 66 || fn == 67 || fn == 68 || fn == 69 ||
                          fn == 48 || fn == 51 || fn == 0 || fn == 3;
  if (touches_nv) stored = UnpackNv(nv);
  bool nv_changed = false;
  switch (fn) {
    case 0:
    case 48:
      r.reply = {0x37, 0x30};
      Digits(r.reply, kNvCapacity);
      r.reply.push_back(0);
      break;
    case 3:
    case 51:
      r.reply = {0x37, 0x31};
      Digits(r.reply, kNvCapacity - std::min(kNvCapacity, stored.bytes()));
      r.reply.push_back(0);
      break;
    case 4:
    case 52:
      r.reply = {0x37, 0x32};
      Digits(r.reply, kDownloadCapacity - std::min(kDownloadCapacity, Bytes(download_)));
      r.reply.push_back(0);
      break;
    case 1:
    case 49:
      break;  // reference dot density: the virtual head has one
    case 2:
    case 50:
      if (!buffer_.empty()) {
        r.print = buffer_;
        r.print_now = true;
        buffer_ = Bitmap();
      }
      break;
    case 64:
      r.reply = KeyList(0x70, stored.graphics);
      break;
    case 65:
      stored.graphics.clear(), nv_changed = true;
      break;
    case 66:
      if (body.size() >= 4)
        nv_changed = stored.graphics.erase(static_cast<uint16_t>(body[2] + 256 * body[3])) > 0;
      break;
    case 67:
    case 68:
      nv_changed = define(stored.graphics, kNvCapacity, fn == 68, stored.bytes());
      break;
    case 69:
      print(stored.graphics);
      break;
    case 80:
      r.reply = KeyList(0x72, download_);
      break;
    case 81:
      download_.clear();
      break;
    case 82:
      if (body.size() >= 4) download_.erase(static_cast<uint16_t>(body[2] + 256 * body[3]));
      break;
    case 83:
    case 84:
      define(download_, kDownloadCapacity, fn == 84, Bytes(download_));
      break;
    case 85:
      print(download_);
      break;
    case 112:
    case 113: {
      // a bx by c xL xH yL yH d1..dk
      if (body.size() < 10) {
        r.error = "graphics data cut short";
        break;
      }
      const int w = static_cast<int>(Le16(body, 6)), h = static_cast<int>(Le16(body, 8));
      Bitmap pic;
      if (!ReadPicture(body.subspan(10), w, h, fn == 113, pic)) {
        r.error = "graphics data with sizes its data does not fill";
        break;
      }
      if (body[5] != 49 && !buffer_.empty()) break;  // further colours: one-colour head
      buffer_ = Scaled(pic, body[3] == 2 ? 2 : 1, body[4] == 2 ? 2 : 1);
      break;
    }
    default:
      r.error = "graphics function " + std::to_string(fn) + " is not supported";
      break;
  }
  if (nv_changed) nv = PackNv(stored);
  return r;
}

std::string GraphicsFunctions::DefineBitImages(std::span<const uint8_t> args,
                                               std::vector<uint8_t>& nv) {
  NvStore stored = UnpackNv(nv);
  std::vector<Bitmap> images;
  size_t at = 1;
  for (int i = 0; i < args[0]; ++i) {
    if (at + 4 > args.size()) return "NV bit image cut short";
    const int x = static_cast<int>(Le16(args, at)), y = static_cast<int>(Le16(args, at + 2));
    const size_t len = static_cast<size_t>(x) * y * 8;
    at += 4;
    if (at + len > args.size()) return "NV bit image cut short";
    images.push_back(ColumnImage(args.subspan(at, len), x * 8, y));
    at += len;
  }
  stored.bit_images = std::move(images);
  if (stored.bytes() > kNvCapacity) return "NV memory full";
  nv = PackNv(stored);
  return {};
}

}  // namespace quillon::vp::escpos
