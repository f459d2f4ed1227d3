// Build tool: draws the program's icon (a receipt printer feeding a printed slip) from one
// list of shapes, as SVG and as RGBA PNG files of the sizes the desktop asks for.
// Usage: quillon-make-icon OUT.svg SIZE:OUT.png...
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

// On a 256-unit canvas; later shapes cover earlier ones.
struct Shape {
  enum Kind { kRect, kCircle } kind;
  double x0, y0, x1, y1;  // bounds (a circle: its square)
  double r;               // corner radius of a rectangle
  uint32_t rgb;
};

const Shape kShapes[] = {
    {Shape::kRect, 64, 20, 192, 140, 6, 0xFAFAFA},  // the slip coming out
    {Shape::kRect, 84, 44, 172, 52, 4, 0x90A4AE},   // printed lines
    {Shape::kRect, 84, 64, 156, 72, 4, 0x90A4AE},      {Shape::kRect, 84, 84, 164, 92, 4, 0x90A4AE},
    {Shape::kRect, 20, 104, 236, 224, 28, 0x37474F},    // the printer
    {Shape::kRect, 52, 100, 204, 116, 8, 0x263238},     // the paper slot
    {Shape::kRect, 44, 168, 164, 200, 10, 0x546E7A},    // front panel
    {Shape::kCircle, 184, 168, 216, 200, 0, 0x66BB6A},  // the ready lamp
};

bool Inside(const Shape& s, double x, double y) {
  if (s.kind == Shape::kCircle) {
    const double cx = (s.x0 + s.x1) / 2, cy = (s.y0 + s.y1) / 2, r = (s.x1 - s.x0) / 2;
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
  }
  if (x < s.x0 || x > s.x1 || y < s.y0 || y > s.y1) return false;
  const double cx = std::clamp(x, s.x0 + s.r, s.x1 - s.r);
  const double cy = std::clamp(y, s.y0 + s.r, s.y1 - s.r);
  return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= s.r * s.r;
}

std::string Hex(uint32_t rgb) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%06X", rgb);
  return buf;
}

std::string Svg() {
  std::string out =
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
      "viewBox=\"0 0 256 256\">\n";
  char buf[256];
  for (const Shape& s : kShapes) {
    if (s.kind == Shape::kCircle)
      std::snprintf(buf, sizeof buf, "  <circle cx=\"%g\" cy=\"%g\" r=\"%g\" fill=\"%s\"/>\n",
                    (s.x0 + s.x1) / 2, (s.y0 + s.y1) / 2, (s.x1 - s.x0) / 2, Hex(s.rgb).c_str());
    else
      std::snprintf(
          buf, sizeof buf,
          "  <rect x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\" rx=\"%g\" fill=\"%s\"/>\n", s.x0,
          s.y0, s.x1 - s.x0, s.y1 - s.y0, s.r, Hex(s.rgb).c_str());
    out += buf;
  }
  return out + "</svg>\n";
}

// RGBA pixels, each pixel sampled 4 x 4 times for smooth edges.
std::vector<uint8_t> Draw(int size) {
  constexpr int kSub = 4;
  std::vector<uint8_t> px(static_cast<size_t>(size) * size * 4);
  const double unit = 256.0 / size;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      double r = 0, g = 0, b = 0, a = 0;
      for (int sy = 0; sy < kSub; ++sy) {
        for (int sx = 0; sx < kSub; ++sx) {
          const double ux = (x + (sx + 0.5) / kSub) * unit, uy = (y + (sy + 0.5) / kSub) * unit;
          const Shape* top = nullptr;
          for (const Shape& s : kShapes)
            if (Inside(s, ux, uy)) top = &s;
          if (!top) continue;
          r += (top->rgb >> 16) & 0xFF;
          g += (top->rgb >> 8) & 0xFF;
          b += top->rgb & 0xFF;
          a += 1;
        }
      }
      uint8_t* p = &px[(static_cast<size_t>(y) * size + x) * 4];
      if (a > 0) {
        p[0] = static_cast<uint8_t>(std::lround(r / a));
        p[1] = static_cast<uint8_t>(std::lround(g / a));
        p[2] = static_cast<uint8_t>(std::lround(b / a));
        p[3] = static_cast<uint8_t>(std::lround(255.0 * a / (kSub * kSub)));
      }
    }
  }
  return px;
}

void Chunk(std::string& png, const char* type, const std::string& data) {
  auto be32 = [&](uint32_t v) {
    for (int i = 3; i >= 0; --i) png += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  be32(static_cast<uint32_t>(data.size()));
  const std::string body = std::string(type, 4) + data;
  png += body;
  be32(static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

bool WritePng(const std::string& path, int size) {
  const std::vector<uint8_t> px = Draw(size);
  std::string raw;
  for (int y = 0; y < size; ++y) {
    raw += '\0';  // no filter
    raw.append(reinterpret_cast<const char*>(&px[static_cast<size_t>(y) * size * 4]),
               static_cast<size_t>(size) * 4);
  }
  uLongf packed_len = compressBound(raw.size());
  std::string packed(packed_len, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packed_len,
                reinterpret_cast<const Bytef*>(raw.data()), raw.size(), 9) != Z_OK)
    return false;
  packed.resize(packed_len);
  std::string header;
  for (int i = 3; i >= 0; --i) header += static_cast<char>((size >> (8 * i)) & 0xFF);
  header += header;
  header += std::string("\x08\x06\x00\x00\x00", 5);  // 8 bits, RGBA, deflate, no interlace
  std::string png = "\x89PNG\r\n\x1a\n";
  Chunk(png, "IHDR", header);
  Chunk(png, "IDAT", packed);
  Chunk(png, "IEND", "");
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << png;
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: quillon-make-icon OUT.svg SIZE:OUT.png...\n", stderr);
    return 2;
  }
  std::ofstream svg(argv[1], std::ios::binary | std::ios::trunc);
  svg << Svg();
  if (!svg) return 1;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    const size_t colon = arg.find(':');
    const int size = colon == std::string::npos ? 0 : std::atoi(arg.substr(0, colon).c_str());
    if (size < 16 || size > 1024 || !WritePng(arg.substr(colon + 1), size)) {
      std::fprintf(stderr, "quillon-make-icon: cannot write %s\n", arg.c_str());
      return 1;
    }
  }
  return 0;
}
