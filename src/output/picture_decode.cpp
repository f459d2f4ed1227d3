// Picture decoding through stb_image, limited to the formats the program offers; the
// bitmaps stb_image does not read as Windows does are handled in bmp_file.
#include "output/picture_decode.h"

#include <fstream>
#include <memory>
#include <vector>

#include "core/utf8_path.h"
#include "output/bmp_file.h"
#include "output/stb_image_config.h"

namespace quillon {
namespace {

struct StbFree {
  void operator()(unsigned char* p) const { stbi_image_free(p); }
};

std::string FileName(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool DecodePicture(const uint8_t* data, size_t size, Picture& out, std::string& error) {
  if (size == 0) {
    error = "the file is empty";
    return false;
  }
  if (size > kMaxPictureFileBytes) {
    error = "the file is too large";
    return false;
  }
  BmpInfo bmp;
  const bool is_bmp = ReadBmpInfo(data, size, bmp);
  if (is_bmp && IsRleBmp(bmp)) return DecodeRleBmp(data, size, bmp, out, error);
  const int len = static_cast<int>(size);
  int w = 0, h = 0, channels = 0;
  if (!stbi_info_from_memory(data, len, &w, &h, &channels)) {
    const char* why = stbi_failure_reason();
    error = why ? std::string("not a supported picture: ") + why : "not a supported picture";
    return false;
  }
  if (w <= 0 || h <= 0 || int64_t{w} * h > kMaxPicturePixels) {
    error =
        "the picture is too large (" + std::to_string(w) + " x " + std::to_string(h) + " pixels)";
    return false;
  }
  std::unique_ptr<unsigned char, StbFree> rgba(
      stbi_load_from_memory(data, len, &w, &h, &channels, 4));
  if (!rgba) {
    const char* why = stbi_failure_reason();
    error = why ? std::string("the picture is damaged: ") + why : "the picture is damaged";
    return false;
  }
  Picture p;
  p.width = w;
  p.height = h;
  p.pixels.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
  const unsigned char* px = rgba.get();
  // A bitmap has transparency only where its header declares an alpha mask; in a plain
  // 32-bit bitmap the fourth byte is padding, whatever it holds.
  const uint32_t opaque = is_bmp && !bmp.alpha_declared ? 0xFF000000u : 0;
  for (uint32_t& dst : p.pixels) {
    dst = uint32_t{px[3]} << 24 | uint32_t{px[0]} << 16 | uint32_t{px[1]} << 8 | px[2] | opaque;
    px += 4;
  }
  out = std::move(p);
  return true;
}

bool LoadPictureFile(const std::string& path, Picture& out, std::string& error) {
  const std::string shown = "\"" + FileName(path) + "\" cannot be read as a picture (";
  std::ifstream in(Utf8Path(path), std::ios::binary);
  if (!in) {
    error = shown + "the file cannot be opened). Nothing was sent.";
    return false;
  }
  in.seekg(0, std::ios::end);
  const std::streamoff end = in.tellg();
  in.seekg(0, std::ios::beg);
  if (end < 0 || static_cast<uint64_t>(end) > kMaxPictureFileBytes) {
    error = shown + (end < 0 ? "the file cannot be read" : "the file is too large") +
            "). Nothing was sent.";
    return false;
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(end));
  if (!bytes.empty() && !in.read(reinterpret_cast<char*>(bytes.data()), end)) {
    error = shown + "the file cannot be read). Nothing was sent.";
    return false;
  }
  std::string why;
  if (!DecodePicture(bytes.data(), bytes.size(), out, why)) {
    error = shown + why + "). Nothing was sent.";
    return false;
  }
  return true;
}

}  // namespace quillon
