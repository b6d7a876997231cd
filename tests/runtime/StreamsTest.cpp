#include "runtime/Streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "tests/MessageOf.h"

namespace fs = std::filesystem;

namespace {

std::string Content(TCustomMemoryStream& stream) {
  return std::string(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size()));
}

class TempFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    Folder = fs::temp_directory_path() /
             ("orvalis-streams-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(Folder);
  }
  void TearDown() override { fs::remove_all(Folder); }

  std::string PathOf(const std::string& name) const { return (Folder / name).string(); }
  void WriteFile(const std::string& name, const std::string& content) const {
    fs::create_directories((Folder / name).parent_path());
    std::ofstream(Folder / name, std::ios::binary) << content;
  }
  std::string ReadFile(const std::string& name) const {
    std::ifstream in(Folder / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path Folder;
};

using TFileStreamTest = TempFolder;
using TMemoryStreamFiles = TempFolder;

}  // namespace

TEST(TMemoryStream, WritesReadsAndSeeks) {
  TMemoryStream stream;
  EXPECT_EQ(stream.ClassName(), "TMemoryStream");
  stream.WriteBuffer("hello world", 11);
  EXPECT_EQ(stream.Position(), 11);
  EXPECT_EQ(stream.Size(), 11);
  EXPECT_EQ(stream.Seek(-5, soFromEnd), 6);
  char buffer[16] = {};
  EXPECT_EQ(stream.Read(buffer, 16), 5);
  EXPECT_EQ(std::string(buffer, 5), "world");
  EXPECT_EQ(stream.Read(buffer, 16), 0);
  EXPECT_EQ(stream.Seek(-11, soFromCurrent), 0);
  stream.WriteBuffer("J", 1);
  stream.SetPosition(0);
  stream.ReadBuffer(buffer, 5);
  EXPECT_EQ(std::string(buffer, 5), "Jello");
  EXPECT_EQ(stream.Read(buffer, 0), 0);
  EXPECT_EQ(stream.Read(buffer, -3), 0);
  EXPECT_EQ(stream.Write(buffer, -3), 0);
  EXPECT_EQ(stream.Position(), 5);
}

TEST(TMemoryStream, GrowsOverGapsWithZerosAndShrinks) {
  TMemoryStream stream;
  stream.SetPosition(4);
  stream.WriteBuffer("ab", 2);
  EXPECT_EQ(Content(stream), std::string("\0\0\0\0ab", 6));
  stream.SetSize(3);
  EXPECT_EQ(stream.Position(), 3);  // the position follows the end back
  stream.SetSize(5);
  EXPECT_EQ(Content(stream), std::string(5, '\0'));
  std::string big(100000, 'x');
  stream.SetPosition(0);
  stream.WriteBuffer(big.data(), static_cast<Integer>(big.size()));
  EXPECT_EQ(Content(stream), big);
  stream.Clear();
  EXPECT_EQ(stream.Size(), 0);
  EXPECT_EQ(stream.Position(), 0);
  EXPECT_EQ(stream.Memory(), nullptr);
}

TEST(TMemoryStream, NegativePositionsReadAndWriteNothing) {
  TMemoryStream stream;
  stream.WriteBuffer("abc", 3);
  EXPECT_EQ(stream.Seek(-10, soFromBeginning), -10);
  char c;
  EXPECT_EQ(stream.Read(&c, 1), 0);
  EXPECT_EQ(stream.Write("x", 1), 0);
  EXPECT_EQ(Content(stream), "abc");
  EXPECT_EQ(stream.Seek(INT64_MAX, soFromEnd), -1);  // past the end of the position's range
}

TEST(TMemoryStream, RefusesSizesBeyondItsLimit) {
  TMemoryStream stream;
  const std::string text = "Kein Speicher beim Erweitern eines Memory-Streams";
  EXPECT_EQ(MessageOf<EStreamError>([&] { stream.SetSize(int64_t{INT32_MAX} + 1); }), text);
  EXPECT_EQ(MessageOf<EStreamError>([&] { stream.SetSize(-1); }), text);
  stream.SetPosition(INT32_MAX);
  EXPECT_EQ(MessageOf<EStreamError>([&] { stream.Write("x", 1); }), text);
  EXPECT_EQ(stream.Size(), 0);
}

TEST(TStream, ShortReadsAndWritesRaise) {
  TMemoryStream stream;
  stream.WriteBuffer("abc", 3);
  stream.SetPosition(1);
  char buffer[4];
  EXPECT_EQ(MessageOf<EReadError>([&] { stream.ReadBuffer(buffer, 3); }), "Stream-Lesefehler");
  stream.ReadBuffer(buffer, 0);  // nothing asked, nothing missing

  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  ::close(pipeEnds[0]);
  std::signal(SIGPIPE, SIG_IGN);
  THandleStream closedPipe(pipeEnds[1]);
  EXPECT_EQ(MessageOf<EWriteError>([&] { closedPipe.WriteBuffer("x", 1); }), "Stream-Schreibfehler");
  ::close(pipeEnds[1]);
}

TEST(TStream, CopyFromCopiesAPartOrTheWholeSource) {
  TMemoryStream source;
  std::string data(150000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
  source.WriteBuffer(data.data(), static_cast<Integer>(data.size()));

  TMemoryStream whole;
  EXPECT_EQ(whole.CopyFrom(source, 0), 150000);
  EXPECT_EQ(Content(whole), data);

  TMemoryStream part;
  source.SetPosition(100);
  EXPECT_EQ(part.CopyFrom(source, 70000), 70000);
  EXPECT_EQ(Content(part), data.substr(100, 70000));

  source.SetPosition(149990);
  TMemoryStream tooMuch;
  EXPECT_THROW(tooMuch.CopyFrom(source, 11), EReadError);
  EXPECT_THROW(tooMuch.CopyFrom(source, -1), EReadError);
}

TEST(TMemoryStream, LoadFromStreamReplacesTheContentAndRewinds) {
  TMemoryStream source;
  source.WriteBuffer("new content", 11);
  TMemoryStream stream;
  stream.WriteBuffer("old content that is longer", 26);
  stream.LoadFromStream(source);
  EXPECT_EQ(Content(stream), "new content");
  EXPECT_EQ(stream.Position(), 0);
}

TEST_F(TMemoryStreamFiles, SaveToFileAndLoadFromFileRoundTrip) {
  TMemoryStream stream;
  stream.WriteBuffer("\x00\xFF binary", 9);
  stream.SaveToFile(PathOf("out.bin"));
  EXPECT_EQ(ReadFile("out.bin"), std::string("\x00\xFF binary", 9));
  TMemoryStream loaded;
  loaded.LoadFromFile(PathOf("out.bin"));
  EXPECT_EQ(Content(loaded), std::string("\x00\xFF binary", 9));
  EXPECT_EQ(MessageOf<EFOpenError>([&] { loaded.LoadFromFile(PathOf("missing.bin")); }),
            "Datei " + PathOf("missing.bin") + " kann nicht geöffnet werden");
}

TEST_F(TFileStreamTest, ReadsWritesAndTruncates) {
  {
    TFileStream file(PathOf("a.dat"), fmCreate);
    EXPECT_EQ(file.ClassName(), "TFileStream");
    file.WriteBuffer("0123456789", 10);
    EXPECT_EQ(file.Size(), 10);
    file.SetSize(4);
    EXPECT_EQ(file.Position(), 4);
  }
  EXPECT_EQ(ReadFile("a.dat"), "0123");
  {
    TFileStream file(PathOf("a.dat"), fmOpenReadWrite | fmShareExclusive);
    file.Seek(0, soFromEnd);
    file.WriteBuffer("45", 2);
    file.SetPosition(1);
    char buffer[8];
    EXPECT_EQ(file.Read(buffer, 8), 5);
    EXPECT_EQ(std::string(buffer, 5), "12345");
  }
  {
    TFileStream file(PathOf("a.dat"), fmOpenRead);
    EXPECT_EQ(file.Write("x", 1), 0);  // opened for reading only
    EXPECT_EQ(file.Size(), 6);
  }
  TFileStream(PathOf("a.dat"), fmCreate);
  EXPECT_EQ(ReadFile("a.dat"), "");
}

TEST_F(TFileStreamTest, FailedOpensRaiseWithTheNameAsGiven) {
  std::string missing = PathOf("gfx\\none.dxg");
  EXPECT_EQ(MessageOf<EFOpenError>([&] { TFileStream(missing, fmOpenRead | fmShareDenyWrite); }),
            "Datei " + missing + " kann nicht geöffnet werden");
  fs::create_directories(Folder / "folder");
  EXPECT_THROW(TFileStream(PathOf("folder"), fmOpenRead), EFOpenError);
  EXPECT_EQ(MessageOf<EFCreateError>([&] { TFileStream(PathOf("no/such/x"), fmCreate); }),
            "Datei " + PathOf("no/such/x") + " kann nicht erstellt werden");
  WriteFile("b.dat", "b");
  EXPECT_THROW(TFileStream(PathOf("b.dat"), 0x0003), EFOpenError);  // no such access mode
  EXPECT_THROW(TFileStream(PathOf("b.dat"), fmOpenRead | 0x0050), EFOpenError);
}

TEST_F(TFileStreamTest, BackslashesAndLetterCaseOfTheOriginalPlatformAreAccepted) {
  WriteFile("gfx/ship2.dxg", "ship");
  TMemoryStream stream;
  stream.LoadFromFile(Folder.string() + "\\GFX\\Ship2.DXG");
  EXPECT_EQ(Content(stream), "ship");
  EXPECT_TRUE(FileExists(Folder.string() + "\\gfx\\SHIP2.dxg"));
  EXPECT_FALSE(FileExists(Folder.string() + "\\gfx"));
  EXPECT_FALSE(FileExists(Folder.string() + "\\gfx\\ship3.dxg"));
  EXPECT_EQ(HostFileName(Folder.string() + "\\Gfx\\new.dxg"), Folder.string() + "/gfx/new.dxg");
  EXPECT_EQ(HostFileName("a\\b/c"), "a/b/c");
  // Creating through another case overwrites the existing file, as the original platform does.
  { TFileStream(Folder.string() + "/GFX/SHIP2.dxg", fmCreate).WriteBuffer("new", 3); }
  EXPECT_EQ(ReadFile("gfx/ship2.dxg"), "new");
}

TEST_F(TFileStreamTest, ShareModesConflictLikeTheOriginalPlatform) {
  WriteFile("s.dat", "keep me");
  std::string name = PathOf("s.dat");
  {
    TFileStream reader(name, fmOpenRead | fmShareDenyWrite);
    TFileStream secondReader(name, fmOpenRead | fmShareDenyWrite);  // readers coexist
    EXPECT_THROW(TFileStream(name, fmOpenWrite | fmShareDenyNone), EFOpenError);
    EXPECT_THROW(TFileStream(name, fmOpenReadWrite | fmShareDenyNone), EFOpenError);
    // A create that is refused must not have truncated the file first.
    EXPECT_THROW(TFileStream(name, fmCreate), EFCreateError);
    // The new open would deny writing, but nobody writes: fine. Denying reading is not.
    TFileStream third(name, fmOpenRead | fmShareDenyWrite);
    EXPECT_THROW(TFileStream(name, fmOpenRead | fmShareDenyRead), EFOpenError);
    EXPECT_THROW(TFileStream(name, fmOpenRead | fmShareExclusive), EFOpenError);
    EXPECT_THROW(TFileStream(name, fmOpenRead), EFOpenError);  // compatibility mode is exclusive
  }
  EXPECT_EQ(ReadFile("s.dat"), "keep me");
  {
    TFileStream writer(name, fmOpenWrite | fmShareDenyNone);
    TFileStream reader(name, fmOpenRead | fmShareDenyNone);
    EXPECT_THROW(TFileStream(name, fmOpenRead | fmShareDenyWrite), EFOpenError);
  }
  {
    TFileStream created(name, fmCreate);
    EXPECT_THROW(TFileStream(name, fmOpenRead | fmShareDenyNone), EFOpenError);
  }
  TFileStream afterwards(name, fmOpenReadWrite | fmShareExclusive);  // every stream released
  EXPECT_EQ(afterwards.Size(), 0);
}
