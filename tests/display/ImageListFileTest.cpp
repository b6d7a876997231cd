#include <unistd.h>

#include <filesystem>
#include <string>

#include "ImageListTestSupport.h"
#include "display/ImageList.h"
#include "runtime/ComponentStream.h"

namespace {

// Pieces of a hand-made image-list file, byte by byte.
std::string Bytes(std::initializer_list<uint8_t> bytes) { return std::string(bytes.begin(), bytes.end()); }
std::string Int32(uint32_t value) {
  return Bytes({static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
                static_cast<uint8_t>(value >> 24)});
}
std::string Short(const std::string& text) { return static_cast<char>(text.size()) + text; }
std::string Binary(const std::string& block) { return Bytes({svBinary}) + Int32(static_cast<uint32_t>(block.size())) + block; }
std::string Ident(const std::string& name) { return Bytes({svIdent}) + Short(name); }
std::string Text(const std::string& text) { return Bytes({svString}) + Short(text); }
std::string Prop(const std::string& name, const std::string& value) { return Short(name) + value; }
const std::string End = Bytes({svNull});

std::string Header(const std::string& name = "TPICTURECOLLECTIONCOMPONENT", uint32_t size = 0) {
  return Bytes({0xFF, 0x0A, 0x00}) + name + End + Bytes({0x30, 0x10}) + Int32(size);
}
// A file of the collection component with these properties.
std::string File(const std::string& properties, const std::string& header = Header()) {
  return header + "TPF0" + Short("TPictureCollectionComponent") + Short("") + properties + End + End;
}
// "List" with these items, each given as its properties.
std::string List(std::initializer_list<std::string> items) {
  std::string list = Short("List") + Bytes({svCollection});
  for (const std::string& item : items) list += Bytes({svList}) + item + End;
  return list + End;
}

// The picture data of a small bitmap.
std::string DIBData(Integer width, Integer height) {
  TDIB dib;
  dib.SetSize(width, height, 8);
  TMemoryStream data;
  dib.WriteData(data);
  return std::string(static_cast<const char*>(data.Memory()), static_cast<size_t>(data.Size()));
}
std::string PictureData(const std::string& className, const std::string& data) {
  return Prop("Picture.Data", Binary(Short(className) + data));
}

class ImageListFileTest : public ImageListTest {
 protected:
  void Load(const std::string& file) {
    TMemoryStream stream;
    stream.WriteBuffer(file.data(), static_cast<Integer>(file.size()));
    stream.SetPosition(0);
    list->Items()->LoadFromStream(stream);
  }
  // The message of the exception of class E that loading the file raises.
  template <class E>
  std::string LoadFailure(const std::string& file) {
    return MessageOf<E>([&] { Load(file); });
  }
  TPictureCollection* Items() { return list->Items(); }
  TPictureCollectionItem* Item(Integer index) { return list->Items()->Items(index); }
};

// A directory of its own for the files a test writes, removed afterwards.
class TempDir {
 public:
  TempDir() : FPath(std::filesystem::temp_directory_path() / ("imagelists-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(FPath);
  }
  ~TempDir() { std::filesystem::remove_all(FPath); }
  std::string File(const std::string& name) const { return (FPath / name).string(); }

 private:
  std::filesystem::path FPath;
};

}  // namespace

// ---- What the files hold ----

TEST_F(ImageListFileTest, ItemsComeBackAsTheyWereWritten) {
  MakeDisplay();
  TPictureCollectionItem* ship = AddItem(6, 4, clLime);
  ship->SetName("Ship");
  ship->SetPatternWidth(3);
  ship->SetPatternHeight(4);
  ship->SetSkipWidth(1);
  ship->SetTransparentColor(clFuchsia);
  TPictureCollectionItem* smoke = AddItem(2, 2);
  smoke->SetSystemMemory(true);
  smoke->SetTransparent(false);
  smoke->SetTransparentColor(0x123456);
  list->Items()->Add();  // no picture
  Items()->ColorTable()[7] = PackRGBQuad(1, 2, 3);
  TMemoryStream stream;
  Items()->SaveToStream(stream);

  Items()->Clear();
  Items()->ColorTable() = TColorTable{};
  stream.SetPosition(0);
  Items()->LoadFromStream(stream);
  ASSERT_EQ(Items()->Count(), 3);
  EXPECT_EQ(Item(0)->Name(), "Ship");
  EXPECT_EQ(Item(0)->PatternWidth(), 3);
  EXPECT_EQ(Item(0)->PatternHeight(), 4);
  EXPECT_EQ(Item(0)->SkipWidth(), 1);
  EXPECT_EQ(Item(0)->TransparentColor(), clFuchsia);
  ASSERT_NE(dynamic_cast<TDIB*>(Item(0)->Picture()->Graphic()), nullptr);
  EXPECT_EQ(dynamic_cast<TDIB*>(Item(0)->Picture()->Graphic())->Pixels(5, 3), static_cast<DWORD>(clLime));
  EXPECT_TRUE(Item(1)->SystemMemory());
  EXPECT_FALSE(Item(1)->Transparent());
  EXPECT_EQ(Item(1)->TransparentColor(), 0x123456);
  EXPECT_EQ(Item(2)->Picture()->Graphic(), nullptr);
  EXPECT_TRUE(Item(2)->Transparent());
  EXPECT_TRUE(SameColorTables(Items()->ColorTable(), [] {
    TColorTable table{};
    table[7] = PackRGBQuad(1, 2, 3);
    return table;
  }()));
}

TEST_F(ImageListFileTest, LoadingReplacesTheItemsAndAnEmptyListLeavesNone) {
  MakeDisplay();
  AddItem(2, 2);
  AddItem(2, 2);
  Load(File(Prop("List.ColorTable", Binary(std::string(1024, '\0'))) + List({Prop("Name", Text("A"))})));
  EXPECT_EQ(Items()->Count(), 1);

  Load(File(Short("List") + Bytes({svCollection, svNull})));
  EXPECT_EQ(Items()->Count(), 0);
}

TEST_F(ImageListFileTest, PropertiesMayComeInEveryFormTheStreamKnows) {
  MakeDisplay();
  const std::string wideName = Bytes({svWString}) + Int32(3) + Bytes({'N', 0, 'e', 0, 'u', 0});
  const std::string first = Prop("TransparentColor", Ident("CLFUCHSIA")) + Prop("Transparent", Ident("false")) +
                            Prop("SystemMemory", Bytes({svTrue})) +
                            Prop("PatternWidth", Bytes({svInt32}) + Int32(70000)) + Prop("Name", wideName);
  const std::string second = Prop("Name", Bytes({svLString}) + Int32(2) + "Zw") +
                             Prop("TransparentColor", Ident("clBtnFace")) +
                             Prop("SkipHeight", Bytes({svInt16, 0xFE, 0xFF}));
  // The second item comes with an item index in front of it.
  Load(File(Prop("Tag", Bytes({svInt8, 5})) + Prop("Left", Bytes({svInt16, 0x10, 0x01})) + Short("List") +
            Bytes({svCollection, svList}) + first + End + Bytes({svInt8, 9, svList}) + second + End + End));
  ASSERT_EQ(Items()->Count(), 2);
  EXPECT_EQ(Item(0)->TransparentColor(), 0x00FF00FF);
  EXPECT_FALSE(Item(0)->Transparent());
  EXPECT_TRUE(Item(0)->SystemMemory());
  EXPECT_EQ(Item(0)->PatternWidth(), 70000);
  EXPECT_EQ(Item(0)->Name(), "Neu");
  EXPECT_EQ(Item(1)->Name(), "Zw") << "the item index in front of the item is ignored";
  EXPECT_EQ(Item(1)->TransparentColor(), static_cast<TColor>(0x8000000F));
  EXPECT_EQ(Item(1)->SkipHeight(), -2);
}

TEST_F(ImageListFileTest, PictureDataOfAnUnknownClassOrNoneLeavesThePictureEmpty) {
  MakeDisplay();
  Load(File(List({
      PictureData("TGIFImage", "whatever follows") + Prop("Name", Text("Later")),
      Prop("Name", Text("NoPicture")),
      PictureData("TDIB", DIBData(3, 2)),
  })));
  ASSERT_EQ(Items()->Count(), 3);
  EXPECT_EQ(Item(0)->Picture()->Graphic(), nullptr);
  EXPECT_EQ(Item(0)->Name(), "Later") << "the rest of the block is skipped, not the rest of the item";
  EXPECT_EQ(Item(1)->Picture()->Graphic(), nullptr);
  EXPECT_EQ(Item(2)->Picture()->Width(), 3);

  dx->Initialize();
  EXPECT_EQ(Item(0)->SurfaceCount(), 0);
  EXPECT_EQ(Item(1)->SurfaceCount(), 0);
  EXPECT_EQ(Item(2)->SurfaceCount(), 1);
}

TEST_F(ImageListFileTest, TheColourTableTakesExactly1024Bytes) {
  MakeDisplay();
  std::string table(1025, '\0');
  table[0] = 9;
  table[1023] = 7;
  table[1024] = 5;
  Load(File(Prop("List.ColorTable", Binary(table))));
  EXPECT_EQ(Items()->ColorTable()[0].rgbBlue, 9);
  EXPECT_EQ(Items()->ColorTable()[255].rgbReserved, 7);

  EXPECT_EQ(LoadFailure<EReadError>(File(Prop("List.ColorTable", Binary(std::string(1023, '\0'))))),
            "Fehler beim Lesen von TPictureCollectionComponent.List.ColorTable: Stream-Lesefehler");
}

TEST_F(ImageListFileTest, TheResourceHeaderIsCheckedButItsNameAndSizeAreNot) {
  MakeDisplay();
  const std::string items = List({Prop("Name", Text("A"))});
  Load(File(items, Header(std::string(75, 'N'), 0xDEADBEEF)));
  EXPECT_EQ(Items()->Count(), 1);

  EXPECT_EQ(LoadFailure<EInvalidImage>(File(items, Header(std::string(76, 'N')))), "Ungültiges Stream-Format");
  std::string wrongType = File(items);
  wrongType[1] = 11;
  EXPECT_EQ(LoadFailure<EInvalidImage>(wrongType), "Ungültiges Stream-Format");
  std::string notResource = File(items);
  notResource[0] = 0;
  EXPECT_EQ(LoadFailure<EInvalidImage>(notResource), "Ungültiges Stream-Format");
  std::string wrongSignature = File(items);
  wrongSignature[Header().size() + 3] = '1';
  EXPECT_EQ(LoadFailure<EReadError>(wrongSignature), "Ungültiges Stream-Format");
}

// ---- Failures ----

TEST_F(ImageListFileTest, BadValuesNameTheirPropertyAndStopTheLoad) {
  MakeDisplay();
  EXPECT_EQ(LoadFailure<EReadError>(File(List({Prop("Colour", Bytes({svInt8, 1}))}))),
            "Fehler beim Lesen von TPictureCollectionComponent.List: Fehler beim Lesen von TPictureCollectionItem.Colour: Eigenschaft Colour existiert nicht.");
  EXPECT_EQ(LoadFailure<EReadError>(File(List({Prop("PatternWidth", Ident("Wide"))}))),
            "Fehler beim Lesen von TPictureCollectionComponent.List: Fehler beim Lesen von TPictureCollectionItem.PatternWidth: Ungültiger Eigenschaftswert");
  EXPECT_EQ(LoadFailure<EReadError>(File(List({Prop("Name.Length", Bytes({svInt8, 1}))}))),
            "Fehler beim Lesen von TPictureCollectionComponent.List: Fehler beim Lesen von TPictureCollectionItem.Name.Length: Ungültiger Pfad für Eigenschaft");
  EXPECT_EQ(LoadFailure<EReadError>(File(List({Prop("TransparentColor", Ident("clPlum"))}))),
            "Fehler beim Lesen von TPictureCollectionComponent.List: Fehler beim Lesen von TPictureCollectionItem.TransparentColor: Ungültiger Eigenschaftswert");
  const std::string file = File(List({PictureData("TDIB", DIBData(3, 2))}));
  EXPECT_EQ(LoadFailure<EReadError>(file.substr(0, file.size() - 40)),
            "Fehler beim Lesen von TPictureCollectionComponent.List: Fehler beim Lesen von "
            "TPictureCollectionItem.Picture.Data: Stream-Lesefehler");
}

TEST_F(ImageListFileTest, AFailedLoadKeepsTheItemsReadSoFarUnbound) {
  MakeDisplay();
  dx->Initialize();
  const std::string good = PictureData("TDIB", DIBData(4, 4));
  const std::string bad = Prop("PatternWidth", Bytes({svString}) + Short("10"));
  EXPECT_EQ(LoadFailure<EReadError>(File(List({good + Prop("Name", Text("One")), good, bad}))),
            "Fehler beim Lesen von TPictureCollectionComponent.List: Fehler beim Lesen von TPictureCollectionItem.PatternWidth: Ungültiger Eigenschaftswert");
  ASSERT_EQ(Items()->Count(), 3);
  EXPECT_EQ(Item(0)->Name(), "One");
  EXPECT_EQ(Item(1)->Picture()->Width(), 4);
  for (Integer i = 0; i < 3; ++i) {
    EXPECT_FALSE(Item(i)->Initialized());
    EXPECT_EQ(Item(i)->SurfaceCount(), 0);
  }

  Load(File(List({good, good})));
  EXPECT_TRUE(Item(1)->Initialized()) << "a successful load binds the new items at once";
  EXPECT_EQ(Item(1)->SurfaceCount(), 1);
}

// ---- Files ----

TEST_F(ImageListFileTest, FilesAreReadAndClosedAgain) {
  MakeDisplay();
  TempDir dir;
  const std::string name = dir.File("ship2.dxg");
  AddItem(5, 5)->SetName("Ship");
  Items()->SaveToFile(name);
  Items()->Clear();

  Items()->LoadFromFile(name);
  ASSERT_EQ(Items()->Count(), 1);
  EXPECT_EQ(Item(0)->Name(), "Ship");
  { TFileStream exclusive(name, fmOpenReadWrite | fmShareExclusive); }

  // A file that fails to load is closed as well.
  { TFileStream broken(name, fmCreate); broken.WriteBuffer("\xFF\x0A\x00", 3); }
  EXPECT_EQ(MessageOf<EInvalidImage>([&] { Items()->LoadFromFile(name); }), "Ungültiges Stream-Format");
  { TFileStream exclusive(name, fmOpenReadWrite | fmShareExclusive); }

  EXPECT_EQ(MessageOf<EFOpenError>([&] { Items()->LoadFromFile("gfx\\nowhere.dxg"); }),
            "Datei gfx\\nowhere.dxg kann nicht geöffnet werden");
}

TEST_F(ImageListFileTest, AFileLockedAgainstReadingCannotBeLoaded) {
  MakeDisplay();
  TempDir dir;
  const std::string name = dir.File("star1.dxg");
  Items()->SaveToFile(name);
  TFileStream locked(name, fmOpenReadWrite | fmShareExclusive);
  EXPECT_EQ(MessageOf<EFOpenError>([&] { Items()->LoadFromFile(name); }),
            "Datei " + name + " kann nicht geöffnet werden");
}

// ---- Image lists in a form's stream ----

TEST_F(ImageListFileTest, StreamsMakeImageListsByClassName) {
  MakeDisplay();
  TComponent written(nullptr);
  auto* stored = new TDXImageList(&written);
  stored->SetName("Bonus");
  stored->Items()->ColorTable()[1] = PackRGBQuad(10, 20, 30);
  stored->Items()->Add()->SetName("Frame0");
  TMemoryStream stream;
  WriteComponent(stream, &written);

  TComponent read(nullptr);
  stream.SetPosition(0);
  ReadComponent(stream, &read);
  auto* loaded = dynamic_cast<TDXImageList*>(read.FindComponent("Bonus"));
  ASSERT_NE(loaded, nullptr);
  ASSERT_EQ(loaded->Items()->Count(), 1);
  EXPECT_EQ(loaded->Items()->Items(0)->Name(), "Frame0");
  EXPECT_EQ(loaded->Items()->ColorTable()[1].rgbGreen, 20);
}
