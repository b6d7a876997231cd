#include "runtime/ComponentStream.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "tests/runtime/SampleComponents.h"
#include "tests/MessageOf.h"

namespace {

std::vector<uint8_t> Bytes(TMemoryStream& stream) {
  auto* data = static_cast<const uint8_t*>(stream.Memory());
  return std::vector<uint8_t>(data, data + stream.Size());
}

// Builds streams by hand: the writer's value primitives plus raw bytes.
class StreamBuilder {
 public:
  StreamBuilder() { stream.WriteBuffer("TPF0", 4); }
  StreamBuilder& Component(const std::string& className, const std::string& name) {
    writer.WriteStr(className);
    writer.WriteStr(name);
    return *this;
  }
  StreamBuilder& Name(const std::string& propName) {
    writer.WriteStr(propName);
    return *this;
  }
  StreamBuilder& Raw(std::initializer_list<uint8_t> bytes) {
    for (uint8_t byte : bytes) stream.WriteBuffer(&byte, 1);
    return *this;
  }
  StreamBuilder& Value(TValueType value) {
    writer.WriteValue(value);
    return *this;
  }
  StreamBuilder& Int(int64_t value) {
    writer.WriteInteger(value);
    return *this;
  }
  StreamBuilder& Ident(const std::string& ident) {
    writer.WriteValue(svIdent);
    writer.WriteStr(ident);
    return *this;
  }
  StreamBuilder& Str(const std::string& text) {
    writer.WriteString(text);
    return *this;
  }
  StreamBuilder& Binary(size_t size, uint8_t fill = 0xAB) {
    writer.WriteValue(svBinary);
    uint32_t length = static_cast<uint32_t>(size);
    stream.WriteBuffer(&length, 4);
    std::vector<uint8_t> data(size, fill);
    stream.WriteBuffer(data.data(), static_cast<Integer>(size));
    return *this;
  }
  StreamBuilder& End() {
    writer.WriteListEnd();
    return *this;
  }
  // The end of the property list and of the (empty) child list.
  StreamBuilder& EndComponent() { return End().End(); }

  void ReadInto(TComponent* root) {
    stream.SetPosition(0);
    ReadComponent(stream, root);
  }

  TMemoryStream stream;
  TWriter writer{stream};
};

class ComponentStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterSampleClasses();
    SampleLoadLog().clear();
  }
  std::unique_ptr<TSampleComponent> sample{new TSampleComponent(nullptr)};

  // Reads a stream of one TSampleComponent named S with the given property bytes.
  std::string ReadSampleError(const std::function<void(StreamBuilder&)>& properties) {
    StreamBuilder builder;
    builder.Component("TSampleComponent", "S");
    properties(builder);
    builder.EndComponent();
    return MessageOf<EReadError>([&] { builder.ReadInto(sample.get()); });
  }
};

// ---- Round trip ----

TEST_F(ComponentStreamTest, RoundTripKeepsEveryKindOfValue) {
  TSampleForm form(nullptr);
  form.SetName("Form1");
  auto* first = new TSampleComponent(&form);
  first->SetName("First");
  auto* second = new TSampleComponent(&form);
  second->SetName("Second");
  first->FCount = 70000;
  first->FBig = int64_t{1} << 40;
  first->FRatio = 2.5L;
  first->FTitle = std::string(300, 'x');
  first->FKind = skLarge;
  first->FOptions = {soSafe, soQuiet};
  first->FEnabled = false;
  first->FColor = 0x00FF00FF;
  first->SetBuddy(second);
  first->FOnChange = MakeEvent<&TSampleForm::SampleClick>(&form);
  first->FBlob = {1, 2, 3, 0, 255};
  first->Nested()->FWidth = 320;
  first->Nested()->FHeight = 200;
  first->Nested()->FData = {9, 8, 7};
  auto* item = static_cast<TSampleItem*>(first->Items()->Add());
  item->FCaption = "Größe";
  item->FValue = -3;
  static_cast<TSampleItem*>(item->Children()->Add())->FCaption = "inner";
  first->Items()->Add();
  second->SetBuddy(first);
  second->FTitle = "two";

  TMemoryStream stream;
  WriteComponentRes(stream, "Form1", &form);
  stream.SetPosition(0);

  TSampleForm copy(nullptr);
  ReadComponentRes(stream, &copy);

  EXPECT_EQ(copy.Name(), "Form1");
  ASSERT_EQ(copy.ComponentCount(), 2);
  auto* a = dynamic_cast<TSampleComponent*>(copy.Components(0));
  auto* b = dynamic_cast<TSampleComponent*>(copy.Components(1));
  ASSERT_TRUE(a && b);
  EXPECT_EQ(copy.First, a);
  EXPECT_EQ(a->Name(), "First");
  EXPECT_EQ(a->FCount, 70000);
  EXPECT_EQ(a->FBig, int64_t{1} << 40);
  EXPECT_EQ(a->FRatio, 2.5L);
  EXPECT_EQ(a->FTitle, std::string(300, 'x'));
  EXPECT_EQ(a->FKind, skLarge);
  EXPECT_EQ(a->FOptions, (TSampleOptions{soSafe, soQuiet}));
  EXPECT_FALSE(a->FEnabled);
  EXPECT_EQ(a->FColor, 0x00FF00FF);
  EXPECT_EQ(a->FBuddy, b);  // a reference to a component later in the stream
  EXPECT_EQ(b->FBuddy, a);
  EXPECT_FALSE(a->FWasReading);  // references are set after the whole stream is read
  EXPECT_EQ(a->FOnChange, MakeEvent<&TSampleForm::SampleClick>(&copy));
  a->FOnChange(a);
  EXPECT_EQ(copy.Clicks, std::vector<TObject*>{a});
  EXPECT_EQ(a->FBlob, (std::vector<uint8_t>{1, 2, 3, 0, 255}));
  EXPECT_EQ(a->Nested()->FWidth, 320);
  EXPECT_EQ(a->Nested()->FHeight, 200);
  EXPECT_EQ(a->Nested()->FData, (std::vector<uint8_t>{9, 8, 7}));
  ASSERT_EQ(a->Items()->Count(), 2);
  auto* copiedItem = static_cast<TSampleItem*>(a->Items()->Items(0));
  EXPECT_EQ(copiedItem->FCaption, "Größe");
  EXPECT_EQ(copiedItem->FValue, -3);
  ASSERT_EQ(copiedItem->Children()->Count(), 1);
  EXPECT_EQ(static_cast<TSampleItem*>(copiedItem->Children()->Items(0))->FCaption, "inner");
  EXPECT_EQ(b->FTitle, "two");
  EXPECT_TRUE(b->FEnabled);
  EXPECT_FALSE(b->FOnChange.Assigned());
}

TEST_F(ComponentStreamTest, LoadedRunsOnceForRootThenChildrenAfterTheWholeRead) {
  TSampleForm form(nullptr);
  form.SetName("Form1");
  (new TSampleComponent(&form))->SetName("A");
  (new TSampleComponent(&form))->SetName("B");
  TMemoryStream stream;
  WriteComponent(stream, &form);

  TSampleForm copy(nullptr);
  stream.SetPosition(0);
  ReadComponent(stream, &copy);
  EXPECT_EQ(SampleLoadLog(), (std::vector<std::string>{"Form1", "A", "B"}));
  for (TComponent* component : {static_cast<TComponent*>(&copy), copy.Components(0), copy.Components(1)}) {
    EXPECT_FALSE(component->ComponentState().Contains(csLoading));
    EXPECT_FALSE(component->ComponentState().Contains(csReading));
  }
}

// ---- The writer's encoding ----

TEST_F(ComponentStreamTest, WriterPicksTheSmallestTagsAndSkipsDefaults) {
  sample->SetName("S");
  TMemoryStream stream;
  WriteComponent(stream, sample.get());
  // Everything else is at its declared default or empty; Count, Options and Nested.Height
  // declare no default and are written anyway.
  StreamBuilder expected;
  expected.Component("TSampleComponent", "S")
      .Name("Count").Int(0)
      .Name("Options").Value(svSet).Raw({0})
      .Name("Nested.Height").Int(480)
      .EndComponent();
  EXPECT_EQ(Bytes(stream), Bytes(expected.stream));

  TMemoryStream values;
  TWriter writer(values);
  writer.WriteInteger(-128);
  writer.WriteInteger(128);
  writer.WriteInteger(-32769);
  writer.WriteInteger(int64_t{1} << 31);
  writer.WriteBoolean(true);
  EXPECT_EQ(Bytes(values), (std::vector<uint8_t>{svInt8, 0x80, svInt16, 0x80, 0x00, svInt32, 0xFF, 0x7F, 0xFF,
                                                 0xFF, svInt64, 0, 0, 0, 0x80, 0, 0, 0, 0, svTrue}));
}

TEST_F(ComponentStreamTest, WriterEncodesStringsByLengthAndContent) {
  TMemoryStream stream;
  TWriter writer(stream);
  writer.WriteString(std::string(255, 'a'));
  writer.WriteString(std::string(256, 'b'));
  writer.WriteString("Ä");
  std::vector<uint8_t> bytes = Bytes(stream);
  ASSERT_EQ(bytes.size(), 2u + 255 + 5 + 256 + 5 + 2);
  EXPECT_EQ(bytes[0], svString);
  EXPECT_EQ(bytes[1], 255);
  EXPECT_EQ(bytes[257], svLString);
  EXPECT_EQ((std::vector<uint8_t>(bytes.begin() + 258, bytes.begin() + 262)), (std::vector<uint8_t>{0, 1, 0, 0}));
  EXPECT_EQ((std::vector<uint8_t>(bytes.end() - 7, bytes.end())),
            (std::vector<uint8_t>{svUTF8String, 2, 0, 0, 0, 0xC3, 0x84}));
}

TEST_F(ComponentStreamTest, WriterNamesColoursWritesCollectionsWithoutIndicesAndNestedPathsFirst) {
  sample->SetName("S");
  sample->FColor = 0x00FF00FF;
  sample->FKind = skSmall;
  auto* item = static_cast<TSampleItem*>(sample->Items()->Add());
  item->FValue = 5;
  sample->Nested()->FData = {1, 2};
  TMemoryStream stream;
  WriteComponent(stream, sample.get());

  StreamBuilder expected;
  expected.Component("TSampleComponent", "S")
      .Name("Count").Int(0)
      .Name("Kind").Ident("skSmall")
      .Name("Options").Value(svSet).Raw({0})
      .Name("Color").Ident("clFuchsia")
      .Name("Items").Value(svCollection).Value(svList).Name("Value").Int(5).End().End()
      .Name("Nested.Height").Int(480)
      .Name("Nested.Data").Binary(2, 0).EndComponent();
  std::vector<uint8_t> want = Bytes(expected.stream);
  // The binary block holds 1, 2 rather than the builder's fill.
  want[want.size() - 4] = 1;
  want[want.size() - 3] = 2;
  EXPECT_EQ(Bytes(stream), want);
}

TEST_F(ComponentStreamTest, ResourceHeaderHasUpperCaseNameFlagsAndStreamSize) {
  sample->SetName("S");
  TMemoryStream stream;
  WriteComponentRes(stream, "QuorvexForceFeedbackEffect", sample.get());
  std::vector<uint8_t> bytes = Bytes(stream);
  const std::string name = "QUORVEXFORCEFEEDBACKEFFECT";
  ASSERT_GT(bytes.size(), name.size() + 10);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1], 10);
  EXPECT_EQ(bytes[2], 0);
  EXPECT_EQ(std::string(bytes.begin() + 3, bytes.begin() + 3 + name.size()), name);
  size_t at = 3 + name.size();
  EXPECT_EQ(bytes[at], 0);
  EXPECT_EQ(bytes[at + 1] | bytes[at + 2] << 8, 0x1030);
  uint32_t size = bytes[at + 3] | bytes[at + 4] << 8 | bytes[at + 5] << 16 | bytes[at + 6] << 24;
  EXPECT_EQ(size, bytes.size() - (at + 7));
  EXPECT_EQ(std::string(bytes.begin() + at + 7, bytes.begin() + at + 11), "TPF0");
}

// ---- Reading values into properties ----

TEST_F(ComponentStreamTest, ReaderAcceptsEveryIntegerAndIdentifierForm) {
  StreamBuilder builder;
  builder.Component("TSampleComponent", "S")
      .Name("count").Raw({svInt16, 0x34, 0x12})  // property names ignore case
      .Name("Kind").Ident("SKLARGE")
      .Name("Enabled").Value(svFalse)
      .Name("Color").Ident("CLFUCHSIA")
      .Name("Options").Value(svSet).Raw({6, 's', 'o', 'l', 'o', 'u', 'd', 6, 'S', 'O', 'F', 'A', 'S', 'T', 0})
      .Name("Ratio").Int(3)
      .Name("Big").Raw({svInt64, 1, 0, 0, 0, 0, 0, 0, 0x80})
      .Name("Title").Raw({svWString, 2, 0, 0, 0, 0x41, 0, 0xAC, 0x20})
      .EndComponent();
  builder.ReadInto(sample.get());
  EXPECT_EQ(sample->FCount, 0x1234);
  EXPECT_EQ(sample->FKind, skLarge);
  EXPECT_FALSE(sample->FEnabled);
  EXPECT_EQ(sample->FColor, 0x00FF00FF);
  EXPECT_EQ(sample->FOptions, (TSampleOptions{soLoud, soFast}));
  EXPECT_EQ(sample->FRatio, 3.0L);
  EXPECT_EQ(sample->FBig, INT64_MIN + 1);
  EXPECT_EQ(sample->FTitle, "A€");
}

TEST_F(ComponentStreamTest, CollectionsAreEmptiedFirstAndTakeItemIndicesAsNoise) {
  sample->Items()->Add();
  sample->Items()->Add();
  StreamBuilder builder;
  builder.Component("TSampleComponent", "S")
      .Name("Items").Value(svCollection)
      .Int(7).Value(svList).Name("Caption").Str("x").End()
      .Value(svList).Name("Value").Int(2).End()
      .End()
      .EndComponent();
  builder.ReadInto(sample.get());
  ASSERT_EQ(sample->Items()->Count(), 2);
  EXPECT_EQ(static_cast<TSampleItem*>(sample->Items()->Items(0))->FCaption, "x");
  EXPECT_EQ(static_cast<TSampleItem*>(sample->Items()->Items(1))->FValue, 2);

  // An empty collection value leaves the items alone.
  StreamBuilder empty;
  empty.Component("TSampleComponent", "S").Name("Items").Value(svCollection).End().EndComponent();
  empty.ReadInto(sample.get());
  EXPECT_EQ(sample->Items()->Count(), 2);
}

TEST_F(ComponentStreamTest, ACollectionReadTwiceDropsTheReferencesOfItsFirstItems) {
  TSampleForm form(nullptr);
  StreamBuilder builder;
  builder.Component("TSampleForm", "F").End().Component("TSampleComponent", "C");
  builder.Name("Items").Value(svCollection).Value(svList).Name("Link").Ident("C").End().End();
  builder.Name("Items").Value(svCollection).Value(svList).Name("Value").Int(1).End()
      .Value(svList).Name("Link").Ident("C").End().End();
  builder.EndComponent().End();
  builder.ReadInto(&form);
  auto* c = static_cast<TSampleComponent*>(form.Components(0));
  ASSERT_EQ(c->Items()->Count(), 2);
  EXPECT_EQ(static_cast<TSampleItem*>(c->Items()->Items(0))->FLink, nullptr);
  EXPECT_EQ(static_cast<TSampleItem*>(c->Items()->Items(1))->FLink, c);
}

TEST_F(ComponentStreamTest, BinaryBlocksArriveAsStreamsOfExactlyTheirSize) {
  StreamBuilder builder;
  builder.Component("TSampleComponent", "S").Name("Nested.Data").Binary(1025, 0x11).Name("Blob").Binary(0).EndComponent();
  sample->FBlob = {1};
  builder.ReadInto(sample.get());
  EXPECT_EQ(sample->Nested()->FData, std::vector<uint8_t>(1025, 0x11));
  EXPECT_TRUE(sample->FBlob.empty());
}

TEST_F(ComponentStreamTest, EventsBindToTheRootsPublishedMethodsAndNilClearsThem) {
  TSampleForm form(nullptr);
  StreamBuilder builder;
  builder.Component("TSampleForm", "F")
      .End()
      .Component("TSampleComponent", "First")
      .Name("OnChange").Ident("otherclick")
      .EndComponent()
      .End();
  builder.ReadInto(&form);
  ASSERT_NE(form.First, nullptr);
  EXPECT_EQ(form.First, form.FindComponent("first"));
  EXPECT_EQ(form.First->FOnChange, MakeEvent<&TSampleForm::OtherClick>(&form));
}

TEST_F(ComponentStreamTest, PrefixedChildrenAreReadAndUnknownReferencesStayUnset) {
  TSampleForm form(nullptr);
  StreamBuilder builder;
  builder.Component("TSampleForm", "F").End();
  builder.Raw({0xF2}).Int(3).Component("TSampleComponent", "C").Name("Buddy").Ident("Nowhere").EndComponent();
  builder.Component("TSampleComponent", "D").Name("Buddy").Ident("F.C").EndComponent().End();
  builder.ReadInto(&form);
  ASSERT_EQ(form.ComponentCount(), 2);
  auto* c = static_cast<TSampleComponent*>(form.Components(0));
  auto* d = static_cast<TSampleComponent*>(form.Components(1));
  EXPECT_EQ(c->FBuddy, nullptr);
  EXPECT_EQ(d->FBuddy, c);
}

// ---- Failures ----

TEST_F(ComponentStreamTest, HeaderFailures) {
  auto readRes = [&](std::vector<uint8_t> bytes) {
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
    stream.SetPosition(0);
    ReadComponentRes(stream, sample.get());
  };
  EXPECT_EQ(MessageOf<EInvalidImage>([&] { readRes({0xFE, 10, 0, 0}); }), "Ungültiges Stream-Format");
  EXPECT_EQ(MessageOf<EInvalidImage>([&] { readRes({0xFF, 11, 0, 0}); }), "Ungültiges Stream-Format");
  EXPECT_EQ(MessageOf<EInvalidImage>([&] { readRes({}); }), "Ungültiges Stream-Format");

  auto resource = [](size_t nameLength, const std::string& body) {
    std::vector<uint8_t> bytes = {0xFF, 10, 0};
    bytes.reserve(bytes.size() + nameLength + 7 + body.size());
    bytes.insert(bytes.end(), nameLength, 'N');
    bytes.insert(bytes.end(), {0, 0x30, 0x10, 0xEE, 0xEE, 0xEE, 0xEE});  // any size will do
    bytes.insert(bytes.end(), body.begin(), body.end());
    return bytes;
  };
  std::string body = std::string("TPF0") + '\x10' + "TSampleComponent" + '\x01' + "S" + '\0' + '\0';
  readRes(resource(75, body));
  EXPECT_EQ(sample->Name(), "S");
  // A name that does not end within the header's 79 bytes.
  EXPECT_EQ(MessageOf<EInvalidImage>([&] { readRes(resource(76, body)); }), "Ungültiges Stream-Format");
  EXPECT_EQ(MessageOf<EReadError>([&] { readRes(resource(2, "TPF1")); }), "Ungültiges Stream-Format");
  EXPECT_EQ(MessageOf<EReadError>([&] { readRes(resource(2, "TP")); }), "Stream-Lesefehler");
}

TEST_F(ComponentStreamTest, EveryFailureOfAPropertyIsReportedWithItsObjectAndPath) {
  EXPECT_EQ(ReadSampleError([](StreamBuilder& b) { b.Name("Count").Str("seven"); }),
            "Fehler beim Lesen von S.Count: Ungültiger Eigenschaftswert");
  EXPECT_EQ(ReadSampleError([](StreamBuilder& b) { b.Name("Kind").Ident("skHuge"); }),
            "Fehler beim Lesen von S.Kind: Ungültiger Eigenschaftswert");
  EXPECT_EQ(ReadSampleError([](StreamBuilder& b) { b.Name("Count").Ident("clRed"); }),
            "Fehler beim Lesen von S.Count: Ungültiger Eigenschaftswert");
  EXPECT_EQ(ReadSampleError([](StreamBuilder& b) { b.Name("Options").Value(svSet).Raw({3, 'b', 'a', 'd', 0}); }),
            "Fehler beim Lesen von S.Options: Ungültiger Eigenschaftswert");
  EXPECT_EQ(ReadSampleError([](StreamBuilder& b) { b.Name("Missing").Int(1); }),
            "Fehler beim Lesen von S.Missing: Eigenschaft Missing existiert nicht.");
  EXPECT_EQ(ReadSampleError([](StreamBuilder& b) { b.Name("Nested.Depth").Int(1); }),
            "Fehler beim Lesen von S.Nested.Depth: Eigenschaft Depth existiert nicht.");
  EXPECT_EQ(ReadSampleError([](StreamBuilder& b) { b.Name("Count.Value").Int(1); }),
            "Fehler beim Lesen von S.Count.Value: Ungültiger Pfad für Eigenschaft");
  EXPECT_EQ(ReadSampleError([](StreamBuilder& b) { b.Name("Buddy.Count").Int(1); }),
            "Fehler beim Lesen von S.Buddy.Count: Ungültiger Pfad für Eigenschaft");
  EXPECT_EQ(ReadSampleError([](StreamBuilder& b) { b.Name("Blob").Int(1); }),
            "Fehler beim Lesen von S.Blob: Ungültiger Eigenschaftswert");
  EXPECT_EQ(ReadSampleError([](StreamBuilder& b) { b.Name("Nested").Value(svCollection).End(); }),
            "Fehler beim Lesen von S.Nested: Ungültiger Eigenschaftswert");
  EXPECT_EQ(ReadSampleError([](StreamBuilder& b) { b.Name("OnChange").Ident("NoSuchMethod"); }),
            "Fehler beim Lesen von S.OnChange: Ungültiger Eigenschaftswert");
  // A binary block longer than the rest of the stream.
  EXPECT_EQ(ReadSampleError([](StreamBuilder& b) { b.Name("Blob").Raw({svBinary, 0xFF, 0xFF, 0xFF, 0x7F}); }),
            "Fehler beim Lesen von S.Blob: Stream-Lesefehler");
  // Item properties are reported by the item, inside the collection's report.
  EXPECT_EQ(ReadSampleError([](StreamBuilder& b) {
              b.Name("Items").Value(svCollection).Value(svList).Name("Value").Value(svTrue).End().End();
            }),
            "Fehler beim Lesen von S.Items: Fehler beim Lesen von TSampleItem.Value: Ungültiger Eigenschaftswert");
}

TEST_F(ComponentStreamTest, EventsOfAnotherKindAreRefused) {
  TSampleForm form(nullptr);
  StreamBuilder builder;
  builder.Component("TSampleForm", "F").End().Component("TSampleComponent", "C").Name("OnChange").Ident("WrongKind").EndComponent().End();
  EXPECT_EQ(MessageOf<EReadError>([&] { builder.ReadInto(&form); }),
            "Fehler beim Lesen von C.OnChange: Ungültiger Eigenschaftswert");
  // The component that failed is gone; nothing is left waiting for the end of loading.
  EXPECT_EQ(form.ComponentCount(), 0);
  EXPECT_FALSE(form.ComponentState().Contains(csLoading));
  EXPECT_TRUE(SampleLoadLog().empty());
}

TEST_F(ComponentStreamTest, InvalidComponentNamesAndUnknownClassesAreRefused) {
  StreamBuilder badRoot;
  badRoot.Component("TSampleComponent", "1st").EndComponent();
  EXPECT_EQ(MessageOf<EComponentError>([&] { badRoot.ReadInto(sample.get()); }),
            "''1st'' ist kein gültiger Komponentenname");

  TSampleForm form(nullptr);
  StreamBuilder badChild;
  badChild.Component("TSampleForm", "F").End().Component("TSampleComponent", "a b").EndComponent().End();
  EXPECT_EQ(MessageOf<EComponentError>([&] { badChild.ReadInto(&form); }),
            "''a b'' ist kein gültiger Komponentenname");
  EXPECT_EQ(form.ComponentCount(), 0);

  StreamBuilder unknown;
  unknown.Component("TSampleForm", "F").End().Component("TNoSuchClass", "X").EndComponent().End();
  EXPECT_EQ(MessageOf<EClassNotFound>([&] { unknown.ReadInto(&form); }), "Klasse TNoSuchClass nicht gefunden");
}

TEST_F(ComponentStreamTest, TruncatedStreamsEndWithAReadError) {
  sample->SetName("S");
  sample->FTitle = "title";
  static_cast<TSampleItem*>(sample->Items()->Add())->FCaption = "c";
  sample->FBlob = {1, 2, 3};
  TMemoryStream stream;
  WriteComponent(stream, sample.get());
  std::vector<uint8_t> whole = Bytes(stream);
  for (size_t length = 0; length < whole.size(); ++length) {
    TMemoryStream cut;
    cut.WriteBuffer(whole.data(), static_cast<Integer>(length));
    cut.SetPosition(0);
    TSampleComponent target(nullptr);
    EXPECT_THROW(ReadComponent(cut, &target), EReadError) << "cut at " << length;
  }
}

TEST_F(ComponentStreamTest, DeepNestingIsRefusedBeforeTheStackRunsOut) {
  StreamBuilder builder;
  builder.Component("TSampleComponent", "S").Name("Items").Value(svCollection);
  for (int level = 0; level < 200; ++level) builder.Value(svList).Name("Children").Value(svCollection);
  EXPECT_THROW(builder.ReadInto(sample.get()), EReadError);
}

}  // namespace
