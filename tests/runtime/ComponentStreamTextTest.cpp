#include "runtime/ComponentStreamText.h"

#include <gtest/gtest.h>

#include "tests/runtime/SampleComponents.h"

namespace {

std::vector<uint8_t> Bytes(TMemoryStream& stream) {
  auto* data = static_cast<const uint8_t*>(stream.Memory());
  return std::vector<uint8_t>(data, data + stream.Size());
}

std::string ParseError(std::string_view text) {
  TMemoryStream stream;
  try {
    ObjectTextToBinary(text, stream);
  } catch (const EParserError& error) {
    return error.Message();
  }
  return "<nothing raised>";
}

constexpr std::string_view kForm = R"(
object Form1: TSampleForm
  object First: TSampleComponent
    Count = -70000
    Big = 1099511627776
    Ratio = 2.5
    Title = 'It''s ' +
      'two parts'
    Kind = skLarge
    Options = [soSafe, soQuiet]
    Enabled = False
    Color = clFuchsia
    Buddy = Second
    Items = <
      item
        Caption = 'one'
        Children = <
          item
            Value = 4
          end>
      end
      item [1]
        Value = 2
      end>
    Nested.Width = 320  // a comment
    Nested.Height = 480
    Nested.Data = {
      090807}
    OnChange = SampleClick
    Blob = {010203}
  end
  object Second: TSampleComponent
    Count = 0
    Options = []
    Nested.Height = 480
  end
end
)";

TEST(ObjectTextToBinary, ReadsEveryKindOfValueIntoTheComponents) {
  RegisterSampleClasses();
  TSampleForm form(nullptr);
  ReadComponentText(kForm, &form);
  EXPECT_EQ(form.Name(), "Form1");
  ASSERT_NE(form.First, nullptr);
  TSampleComponent& first = *form.First;
  auto* second = dynamic_cast<TSampleComponent*>(form.FindComponent("Second"));
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(first.FCount, -70000);
  EXPECT_EQ(first.FBig, int64_t{1} << 40);
  EXPECT_EQ(first.FRatio, 2.5L);
  EXPECT_EQ(first.FTitle, "It's two parts");
  EXPECT_EQ(first.FKind, skLarge);
  EXPECT_EQ(first.FOptions, (TSampleOptions{soSafe, soQuiet}));
  EXPECT_FALSE(first.FEnabled);
  EXPECT_EQ(first.FColor, 0x00FF00FF);
  EXPECT_EQ(first.FBuddy, second);
  ASSERT_EQ(first.Items()->Count(), 2);
  auto* item = static_cast<TSampleItem*>(first.Items()->Items(0));
  EXPECT_EQ(item->FCaption, "one");
  ASSERT_EQ(item->Children()->Count(), 1);
  EXPECT_EQ(static_cast<TSampleItem*>(item->Children()->Items(0))->FValue, 4);
  EXPECT_EQ(static_cast<TSampleItem*>(first.Items()->Items(1))->FValue, 2);
  EXPECT_EQ(first.Nested()->FWidth, 320);
  EXPECT_EQ(first.Nested()->FData, (std::vector<uint8_t>{9, 8, 7}));
  EXPECT_EQ(first.FOnChange, MakeEvent<&TSampleForm::SampleClick>(&form));
  EXPECT_EQ(first.FBlob, (std::vector<uint8_t>{1, 2, 3}));
}

TEST(ObjectTextToBinary, GivesTheBytesTheWriterGivesForTheSameComponents) {
  RegisterSampleClasses();
  TSampleForm form(nullptr);
  ReadComponentText(kForm, &form);
  TMemoryStream written;
  WriteComponent(written, &form);
  // The text lists exactly what the writer stores, in its order, apart from the item index
  // and the string split in two.
  std::string text(kForm);
  text.replace(text.find("item [1]"), 8, "item");
  text.replace(text.find("' +\n      'two"), 14, "two");
  TMemoryStream parsed;
  ObjectTextToBinary(text, parsed);
  EXPECT_EQ(Bytes(parsed), Bytes(written));
}

TEST(ObjectTextToBinary, MalformedTextNamesTheLine) {
  EXPECT_EQ(ParseError("objekt A: TA\nend"), "'object' erwartet in Zeile 1");
  EXPECT_EQ(ParseError("object A: TA\n  X = 'open\nend"), "Zeichenkette nicht abgeschlossen in Zeile 2");
  EXPECT_EQ(ParseError("object A: TA\n  X = {0G}\nend"), "Ungültige Binärdaten in Zeile 2");
  EXPECT_EQ(ParseError("object A: TA\n  X = [a b]\nend"), "']' erwartet in Zeile 2");
  EXPECT_EQ(ParseError("object A: TA\n  X = <\n  item\n"), "Bezeichner erwartet in Zeile 4");
  EXPECT_EQ(ParseError("object A: TA\n  X = 99999999999999999999\nend"),
            "Ungültige Zahl 99999999999999999999 in Zeile 2");
  EXPECT_EQ(ParseError("object A: TA\nend\nend"), "Unerwartetes Zeichen in Zeile 3");
  EXPECT_EQ(ParseError("object A: TA\n  X = {0A"), "'}' erwartet in Zeile 2");
}

}  // namespace
