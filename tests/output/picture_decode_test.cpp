// Picture files decoded without Qt: the formats the window offers, transparency, names in
// any script, and files that are not pictures.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/utf8_path.h"
#include "output/picture_decode.h"

namespace quillon {
namespace {

using Bytes = std::vector<uint8_t>;

// 16 x 2 GIF: a black first row, then a row of white and one black pixel.
const Bytes kGif = {0x47, 0x49, 0x46, 0x38, 0x37, 0x61, 0x10, 0x00, 0x02, 0x00, 0x81, 0x00,
                    0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00,
                    0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x02, 0x00, 0x00, 0x08,
                    0x11, 0x00, 0x01, 0x08, 0x1C, 0x48, 0xB0, 0x20, 0x80, 0x00, 0x08, 0x0F,
                    0x22, 0x5C, 0xC8, 0x10, 0x61, 0x40, 0x00, 0x3B};

void Put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A bottom-up bitmap of the given depth; rows are given top first, already padded.
Bytes Bitmap(int w, int h, int bits, const Bytes& palette, const std::vector<Bytes>& rows) {
  Bytes pix;
  for (auto r = rows.rbegin(); r != rows.rend(); ++r) pix.insert(pix.end(), r->begin(), r->end());
  const uint32_t offset = 54 + static_cast<uint32_t>(palette.size());
  Bytes b = {'B', 'M'};
  Put32(b, offset + static_cast<uint32_t>(pix.size()));
  Put32(b, 0);
  Put32(b, offset);
  Put32(b, 40);
  Put32(b, static_cast<uint32_t>(w));
  Put32(b, static_cast<uint32_t>(h));
  b.insert(b.end(), {1, 0, static_cast<uint8_t>(bits), 0});
  for (int i = 0; i < 6; ++i) Put32(b, 0);
  b.insert(b.end(), palette.begin(), palette.end());
  b.insert(b.end(), pix.begin(), pix.end());
  return b;
}

TEST(PictureDecode, FormatsGiveOpaquePixelsTopRowFirst) {
  const uint32_t K = 0xFF000000, W = 0xFFFFFFFF, R = 0xFFFF0000;
  struct Case {
    const char* name;
    Bytes file;
    int w, h;
    std::vector<uint32_t> first;  // leading pixels, top row first
  };
  const Case cases[] = {
      {"24-bit bmp",
       Bitmap(2, 2, 24, {}, {{0, 0, 255, 255, 255, 255, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0}}),
       2,
       2,
       {R, W, K, K}},
      {"1-bit bmp",
       Bitmap(3, 1, 1, {0, 0, 0, 0, 255, 255, 255, 0}, {{0xA0, 0, 0, 0}}),
       3,
       1,
       {W, K, W}},
      {"gif", kGif, 16, 2, {K, K}},
  };
  for (const Case& c : cases) {
    Picture p;
    std::string error;
    ASSERT_TRUE(DecodePicture(c.file.data(), c.file.size(), p, error)) << c.name << ": " << error;
    EXPECT_EQ(p.width, c.w) << c.name;
    EXPECT_EQ(p.height, c.h) << c.name;
    ASSERT_GE(p.pixels.size(), c.first.size());
    EXPECT_EQ(std::vector<uint32_t>(p.pixels.begin(), p.pixels.begin() + c.first.size()), c.first)
        << c.name;
  }
}

// The bitmaps of tests/data/pictures (written by make_pictures.py from the file format
// alone): run-length compressed 8- and 4-bit pictures, and 32-bit ones whose fourth byte is
// transparency only where the header declares an alpha mask.
TEST(PictureDecode, CompressedAndThirtyTwoBitBitmapsAsWindowsReadsThem) {
  const char* dir = std::getenv("QUILLON_TEST_DATA");
  const std::string folder = std::string(dir ? dir : "tests/data") + "/pictures/";
  const uint32_t K = 0xFF000000, W = 0xFFFFFFFF, R = 0xFFFF0000, G = 0xFF00FF00, clear = 0;
  struct Case {
    const char* name;
    int w, h;
    std::vector<uint32_t> pixels;  // top row first
  };
  const Case cases[] = {
      {"rle8.bmp", 6, 4, {K, K, K, K, W, W, R, R, W, K, K, K, W, R, W, R, G, G, W, W, W, R, R, R}},
      {"rle4.bmp", 5, 3, {W, W, K, K, K, R, W, W, R, R, W, R, W, R, W}},
      {"rgb32_padding.bmp", 3, 1, {K, K, W}},
      {"v5_alpha.bmp", 2, 1, {clear, K}},
  };
  for (const Case& c : cases) {
    Picture p;
    std::string error;
    ASSERT_TRUE(LoadPictureFile(folder + c.name, p, error)) << c.name << ": " << error;
    EXPECT_EQ(p.width, c.w) << c.name;
    EXPECT_EQ(p.height, c.h) << c.name;
    EXPECT_EQ(p.pixels, c.pixels) << c.name;
  }
  // The clear pixel is white on paper.
  Picture p;
  std::string error;
  ASSERT_TRUE(LoadPictureFile(folder + "v5_alpha.bmp", p, error)) << error;
  EXPECT_EQ(OnWhite(p.pixels[0]), 0xFFFFFFFFu);

  // Hostile streams stay inside the picture: runs past the row's end, moves past the last
  // row, literal groups and moves cut off by the file's end.
  std::ifstream in(Utf8Path(folder + "rle8.bmp"), std::ios::binary);
  const Bytes rle8((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const Bytes streams[] = {{255, 1, 255, 2, 0, 0, 0, 2, 255, 255, 3, 1},
                           {0, 2, 5, 200, 7, 1},
                           {0, 255, 1, 2, 3},
                           {0, 2, 1}};
  for (const Bytes& stream : streams) {
    Bytes file(rle8.begin(), rle8.begin() + 70);  // headers and colour table
    file.insert(file.end(), stream.begin(), stream.end());
    ASSERT_TRUE(DecodePicture(file.data(), file.size(), p, error)) << error;
    EXPECT_EQ(p.pixels.size(), 24u);
  }
}

TEST(PictureDecode, FilesThatAreNotPicturesSayWhyAndNameTheFile) {
  const auto dir = std::filesystem::temp_directory_path() / "quillon_picture_decode";
  std::filesystem::create_directories(dir);
  const std::string folder = PathUtf8(dir) + "/";
  const Bytes truncated(kGif.begin(), kGif.begin() + 8);
  const Bytes huge = Bitmap(40000, 40000, 24, {}, {});
  struct Case {
    std::string name;
    Bytes bytes;
  };
  const Case bad[] = {{"empty.bmp", {}},
                      {"text.png", {'h', 'e', 'l', 'l', 'o'}},
                      {"cut.gif", truncated},
                      {"huge.bmp", huge}};
  for (const Case& c : bad) {
    std::ofstream(Utf8Path(folder + c.name), std::ios::binary)
        .write(reinterpret_cast<const char*>(c.bytes.data()),
               static_cast<std::streamsize>(c.bytes.size()));
    Picture p;
    p.width = 7;
    std::string error;
    EXPECT_FALSE(LoadPictureFile(folder + c.name, p, error)) << c.name;
    EXPECT_NE(error.find(c.name), std::string::npos) << error;
    EXPECT_EQ(p.width, 7) << c.name;  // the output is left alone
  }
  std::string error;
  Picture p;
  EXPECT_FALSE(LoadPictureFile(folder + "missing.bmp", p, error));
  EXPECT_NE(error.find("cannot be opened"), std::string::npos) << error;

  // A name in Chinese characters opens as any other.
  const std::string chinese = folder + "图片.gif";
  std::ofstream(Utf8Path(chinese), std::ios::binary)
      .write(reinterpret_cast<const char*>(kGif.data()), static_cast<std::streamsize>(kGif.size()));
  EXPECT_TRUE(LoadPictureFile(chinese, p, error)) << error;
  EXPECT_EQ(p.width, 16);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace quillon
