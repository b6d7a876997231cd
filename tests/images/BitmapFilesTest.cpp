// Bitmap files from and for an independent tool. ImageMagick's convert writes each kind of file
// at test time from a known picture; TDIB must load them with the right pixels, and convert
// must read TDIB's files back with the right pixels. convert writes bit fields only with its
// larger headers (124 bytes); those files are cut down to the 40-byte header followed by the
// three masks, the form these bitmaps are read in. Top-down files are made from bottom-up ones
// by turning the rows around and negating the height. Run-length 4-bit data, which convert
// does not write, is covered by the store's own tests.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include <unistd.h>

#include "images/DIB.h"
#include "tests/images/ImagesTestSupport.h"

namespace {

// Colours as 0xRRGGBB.
struct Picture {
  int width, height;
  std::vector<uint32_t> pixels;  // rows from the top
  uint32_t At(int x, int y) const { return pixels[y * width + x]; }
};

// Eight colours of full or no intensity per channel: exact at every depth.
Picture Primaries() {
  const uint32_t colours[8] = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF, 0xFF00FF, 0xFFFFFF};
  Picture p{5, 3, {}};
  for (int i = 0; i < 15; ++i) p.pixels.push_back(colours[(i * 3) % 8]);
  return p;
}

// 24 different colours, too many for 4 bits.
Picture ManyColours() {
  Picture p{6, 4, {}};
  for (uint32_t i = 0; i < 24; ++i) p.pixels.push_back((10 * i) << 16 | (255 - 7 * i) << 8 | ((i * 37) % 256));
  return p;
}

Picture BlackAndWhite() {
  Picture p{9, 2, {}};
  for (int i = 0; i < 18; ++i) p.pixels.push_back(i % 3 == 0 || i == 8 ? 0xFFFFFF : 0x000000);
  return p;
}

// Per process, since several test programs may run at once.
std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + "orvalis_bmp_" + std::to_string(getpid()) + "_" + name;
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

void Convert(const std::string& arguments) {
  const std::string command = "/usr/bin/convert " + arguments + " 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// The picture as a plain PPM, written by us, then converted with the given options.
Bytes Converted(const Picture& picture, const std::string& options, const std::string& name) {
  const std::string source = TempPath(name + ".ppm"), target = TempPath(name + ".bmp");
  std::ostringstream ppm;
  ppm << "P3\n" << picture.width << " " << picture.height << "\n255\n";
  for (uint32_t c : picture.pixels) ppm << (c >> 16) << " " << ((c >> 8) & 0xFF) << " " << (c & 0xFF) << "\n";
  const std::string text = ppm.str();
  WriteFile(source, Bytes(text.begin(), text.end()));
  Convert(source + " " + options + " " + target);
  Bytes file = ReadFile(target);
  std::remove(source.c_str());
  std::remove(target.c_str());
  return file;
}

uint32_t LE(const Bytes& bytes, size_t at, int size = 4) {
  uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | bytes.at(at + i);
  return value;
}

void SetLE(Bytes& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<unsigned char>(value >> (8 * i));
}

// A file with a longer header as the 40-byte header, the three masks and the pixels.
Bytes WithInfoHeaderAndMasks(const Bytes& file) {
  Bytes out;
  out.reserve(file.size());
  out.assign(file.begin(), file.begin() + 14 + 52);
  SetLE(out, 14, 40);
  out.insert(out.end(), file.begin() + LE(file, 10), file.end());
  SetLE(out, 10, 14 + 52);
  SetLE(out, 2, static_cast<uint32_t>(out.size()));
  return out;
}

Bytes TopDown(const Bytes& file) {
  Bytes out = file;
  const int32_t width = static_cast<int32_t>(LE(file, 18)), height = static_cast<int32_t>(LE(file, 22));
  const size_t rowBytes = (width * LE(file, 28, 2) + 31) / 32 * 4, pixels = LE(file, 10);
  for (int32_t y = 0; y < height; ++y)
    std::copy_n(file.begin() + pixels + y * rowBytes, rowBytes, out.begin() + pixels + (height - 1 - y) * rowBytes);
  SetLE(out, 22, static_cast<uint32_t>(-height));
  return out;
}

std::unique_ptr<TDIB> Load(const Bytes& file) {
  auto dib = std::make_unique<TDIB>();
  TBytesStream stream(file);
  dib->LoadFromStream(stream);
  return dib;
}

// The colour of a pixel as 0xRRGGBB, whatever the bitmap's depth.
uint32_t ColourAt(TDIB& dib, int x, int y) {
  const DWORD value = dib.Pixels(x, y);
  switch (dib.BitCount()) {
    case 16: {
      const TDIBPixelLayout& l = dib.ImagePixelLayout();
      auto channel = [&](Integer mask, Integer bits) {
        const uint32_t v = (value & mask) >> __builtin_ctz(mask);
        return v * 255 / ((1u << bits) - 1);
      };
      return channel(l.RBitMask, l.RBitCount) << 16 | channel(l.GBitMask, l.GBitCount) << 8 |
             channel(l.BBitMask, l.BBitCount);
    }
    case 24: return (value & 0xFF) << 16 | (value & 0xFF00) | value >> 16;
    case 32: return value & 0xFFFFFF;
    default: {
      const RGBQUAD& c = dib.ColorTable()[value];
      return uint32_t{c.rgbRed} << 16 | c.rgbGreen << 8 | c.rgbBlue;
    }
  }
}

void ExpectPicture(TDIB& dib, const Picture& expected, int bitCount) {
  ASSERT_EQ(dib.BitCount(), bitCount);
  ASSERT_EQ(dib.Width(), expected.width);
  ASSERT_EQ(dib.Height(), expected.height);
  for (int y = 0; y < expected.height; ++y)
    for (int x = 0; x < expected.width; ++x)
      ASSERT_EQ(ColourAt(dib, x, y), expected.At(x, y)) << "pixel " << x << "," << y << " at " << bitCount << " bits";
}

const std::string kBmp3 = "-define bmp:format=bmp3 ";

TEST(BitmapFilesIn, PaletteFilesOfOneFourAndEightBits) {
  const Picture bw = BlackAndWhite(), primaries = Primaries(), many = ManyColours();
  Bytes one = Converted(bw, kBmp3 + "-monochrome", "one");
  ASSERT_EQ(LE(one, 28, 2), 1u);
  ExpectPicture(*Load(one), bw, 1);

  Bytes four = Converted(primaries, kBmp3 + "-type palette -compress None", "four");
  ASSERT_EQ(LE(four, 28, 2), 4u);
  ExpectPicture(*Load(four), primaries, 4);

  Bytes eight = Converted(many, kBmp3 + "-type palette -compress None", "eight");
  ASSERT_EQ(LE(eight, 28, 2), 8u);
  ASSERT_EQ(LE(eight, 30), 0u);
  ExpectPicture(*Load(eight), many, 8);
  ExpectPicture(*Load(TopDown(eight)), many, 8);
}

TEST(BitmapFilesIn, RunLengthEightBits) {
  const Picture many = ManyColours();
  Bytes rle = Converted(many, kBmp3 + "-type palette -compress RLE", "rle8");
  ASSERT_EQ(LE(rle, 30), 1u);
  auto dib = Load(rle);
  EXPECT_TRUE(dib->Image().Compressed);
  ExpectPicture(*dib, many, 8);
}

TEST(BitmapFilesIn, SixteenBitFields) {
  const Picture primaries = Primaries();
  for (const char* subtype : {"RGB565", "RGB555"}) {
    Bytes file = Converted(primaries, std::string("-type truecolor -define bmp:format=bmp4 -define bmp:subtype=") + subtype,
                           subtype);
    ASSERT_EQ(LE(file, 28, 2), 16u);
    ASSERT_EQ(LE(file, 30), 3u);
    auto dib = Load(WithInfoHeaderAndMasks(file));
    EXPECT_EQ(dib->ImagePixelLayout().GBitCount, subtype[4] == '6' ? 6 : 5);
    ExpectPicture(*dib, primaries, 16);
  }
}

TEST(BitmapFilesIn, TwentyFourAndThirtyTwoBits) {
  const Picture many = ManyColours();
  Bytes rgb = Converted(many, kBmp3 + "-type truecolor", "rgb");
  ASSERT_EQ(LE(rgb, 28, 2), 24u);
  ExpectPicture(*Load(rgb), many, 24);
  ExpectPicture(*Load(TopDown(rgb)), many, 24);

  Bytes argb = Converted(many, "-type truecolormatte -define bmp:format=bmp4 -define bmp:subtype=ARGB8888", "argb");
  ASSERT_EQ(LE(argb, 28, 2), 32u);
  ExpectPicture(*Load(WithInfoHeaderAndMasks(argb)), many, 32);
}

TEST(BitmapFilesIn, CoreHeader) {
  const Picture primaries = Primaries();
  Bytes core = Converted(primaries, "-type palette -define bmp:format=bmp2", "core");
  ASSERT_EQ(LE(core, 14), 12u);
  ExpectPicture(*Load(core), primaries, LE(core, 24, 2));
}

// The pixels convert reads from a file, as 0xRRGGBB by position.
Picture ReadBack(const std::string& path, int width, int height) {
  Picture picture{width, height, std::vector<uint32_t>(width * height, 0xFFFFFFFF)};
  FILE* pipe = popen(("/usr/bin/convert " + path + " -depth 8 txt:-").c_str(), "r");
  if (!pipe) return picture;
  char line[256];
  while (std::fgets(line, sizeof line, pipe)) {
    int x, y, r, g, b;
    if (std::sscanf(line, "%d,%d: (%d,%d,%d", &x, &y, &r, &g, &b) == 5 && x < width && y < height)
      picture.pixels[y * width + x] = static_cast<uint32_t>(r << 16 | g << 8 | b);
  }
  pclose(pipe);
  return picture;
}

TEST(BitmapFilesOut, ConvertReadsWhatTDIBWrites) {
  const Picture many = ManyColours(), primaries = Primaries();
  struct Case {
    int bits;
    const Picture* picture;
  };
  for (const Case& c : {Case{4, &primaries}, Case{8, &many}, Case{16, &primaries}, Case{24, &many}, Case{32, &many}}) {
    TDIB dib;
    if (c.bits == 16) MakeDIBPixelLayout(5, 6, 5, dib.PixelLayout());
    dib.SetSize(c.picture->width, c.picture->height, c.bits);
    for (int y = 0; y < c.picture->height; ++y)
      for (int x = 0; x < c.picture->width; ++x) {
        const uint32_t colour = c.picture->At(x, y);
        const int i = y * c.picture->width + x;
        switch (c.bits) {
          case 4:
          case 8: {
            dib.ColorTable()[i] = PackRGBQuad(colour >> 16, colour >> 8, colour);
            dib.SetPixels(x, y, i);
            break;
          }
          case 16: dib.SetPixels(x, y, (colour >> 19) << 11 | ((colour >> 10) & 0x3F) << 5 | (colour & 0xFF) >> 3); break;
          case 24: dib.SetPixels(x, y, (colour & 0xFF) << 16 | (colour & 0xFF00) | colour >> 16); break;
          default: dib.SetPixels(x, y, colour); break;
        }
      }
    dib.ApplyColorTable();
    const std::string path = TempPath("written" + std::to_string(c.bits) + ".bmp");
    dib.SaveToFile(path);
    const Picture back = ReadBack(path, c.picture->width, c.picture->height);
    std::remove(path.c_str());
    EXPECT_EQ(back.pixels, c.picture->pixels) << c.bits << " bits";
  }
}

}  // namespace
