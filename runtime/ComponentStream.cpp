#include "runtime/ComponentStream.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr char kSignature[4] = {'T', 'P', 'F', '0'};
constexpr uint8_t kPrefixMarker = 0xF0;
constexpr uint8_t kFlagChildPos = 0x02;
constexpr uint8_t kFlagInherited = 0x01;
// Collections within collections and components within components: deeper than any real
// stream goes, shallow enough that hostile data cannot exhaust the call stack.
constexpr int kMaxNesting = 64;

constexpr uint16_t kResourceType = 10;
constexpr uint16_t kResourceFlags = 0x1030;
// The header is read in one piece of at most this many bytes, so a name must end within it.
constexpr Integer kResHeaderReadSize = 79;
constexpr size_t kMaxResNameLength = 63;

[[noreturn]] void PropValueError() { throw EReadError(SInvalidPropertyValue); }
[[noreturn]] void ReadError() { throw EReadError(SReadError); }

bool SameIdent(std::string_view a, std::string_view b) { return AnsiUpperCase(a) == AnsiUpperCase(b); }

// UTF-16 code units to our 8-bit text (UTF-8); unpaired surrogates become U+FFFD.
std::string Utf16ToText(const std::vector<uint16_t>& units) {
  constexpr char32_t kReplacement = 0xFFFD;
  std::string text;
  for (size_t i = 0; i < units.size(); ++i) {
    char32_t unit = units[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      AppendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00));
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      AppendUtf8(text, kReplacement);
    } else {
      AppendUtf8(text, unit);
    }
  }
  return text;
}

bool IsAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<uint8_t>(c) < 0x80; });
}

// The name under which the reading error of a property names its object.
std::string ObjectName(TPersistent* instance) {
  if (auto* component = dynamic_cast<TComponent*>(instance))
    if (!component->Name().empty()) return component->Name();
  return instance->ClassName();
}

void ClearReadingState(const std::vector<TComponent*>& components) {
  for (TComponent* component : components) {
    component->SetReading(false);
    component->SetLoading(false);
  }
}

const TIdentMapEntry* FindIdent(const TTypeInfo& type, int64_t value) {
  for (const TIdentMapEntry& entry : type.Idents)
    if (entry.Value == value) return &entry;
  return nullptr;
}

}  // namespace

// Counts how deep collections and child components are nested while they are read.
class TReader::TDepthGuard {
 public:
  explicit TDepthGuard(TReader& reader) : FReader(reader) {
    if (++FReader.FDepth > kMaxNesting) {
      --FReader.FDepth;
      throw EReadError(SInvalidImage);
    }
  }
  ~TDepthGuard() { --FReader.FDepth; }
  TDepthGuard(const TDepthGuard&) = delete;
  TDepthGuard& operator=(const TDepthGuard&) = delete;

 private:
  TReader& FReader;
};

// ---- TReader: primitives ----

void TReader::ReadBytes(void* Buffer, Integer Count) {
  if (FStream.Read(Buffer, Count) != Count) ReadError();
}

template <class T>
T TReader::ReadLittleEndian() {
  uint8_t bytes[sizeof(T)];
  ReadBytes(bytes, sizeof(T));
  std::make_unsigned_t<T> value = 0;
  for (size_t i = sizeof(T); i-- > 0;) value = static_cast<std::make_unsigned_t<T>>((value << 8) | bytes[i]);
  return static_cast<T>(value);
}

TValueType TReader::ReadValue() { return static_cast<TValueType>(ReadLittleEndian<uint8_t>()); }

TValueType TReader::NextValue() {
  TValueType value = ReadValue();
  FStream.Seek(-1, soFromCurrent);
  return value;
}

bool TReader::EndOfList() { return NextValue() == svNull; }

void TReader::ReadListBegin() {
  if (ReadValue() != svList) PropValueError();
}

void TReader::ReadListEnd() {
  if (ReadValue() != svNull) PropValueError();
}

std::string TReader::ReadStr() {
  uint8_t length = ReadLittleEndian<uint8_t>();
  std::string text(length, '\0');
  ReadBytes(text.data(), length);
  return text;
}

uint32_t TReader::ReadLength() { return ReadLittleEndian<uint32_t>(); }

std::vector<uint8_t> TReader::ReadBlock(uint32_t Size) {
  // The length comes from the data: never allocate more than the stream still holds.
  if (Size > FStream.Size() - FStream.Position()) ReadError();
  std::vector<uint8_t> block(Size);
  ReadBytes(block.data(), static_cast<Integer>(Size));
  return block;
}

int64_t TReader::ReadInt64() {
  switch (ReadValue()) {
    case svInt8: return ReadLittleEndian<int8_t>();
    case svInt16: return ReadLittleEndian<int16_t>();
    case svInt32: return ReadLittleEndian<int32_t>();
    case svInt64: return ReadLittleEndian<int64_t>();
    default: PropValueError();
  }
}

Integer TReader::ReadInteger() {
  if (NextValue() == svInt64) PropValueError();
  return static_cast<Integer>(ReadInt64());
}

bool TReader::ReadBoolean() {
  switch (ReadValue()) {
    case svFalse: return false;
    case svTrue: return true;
    default: PropValueError();
  }
}

long double TReader::ReadFloat() {
  switch (NextValue()) {
    case svExtended: {
      ReadValue();
      // The stored form is the x87 80-bit format, which long double is on this platform.
      static_assert(sizeof(long double) >= 10);
      uint8_t bytes[10];
      ReadBytes(bytes, sizeof bytes);
      long double value = 0;
      std::memcpy(&value, bytes, sizeof bytes);
      return value;
    }
    case svSingle: {
      ReadValue();
      uint32_t bits = ReadLittleEndian<uint32_t>();
      float value;
      std::memcpy(&value, &bits, sizeof value);
      return value;
    }
    case svDate: {
      ReadValue();
      uint64_t bits = ReadLittleEndian<uint64_t>();
      double value;
      std::memcpy(&value, &bits, sizeof value);
      return value;
    }
    case svCurrency:
      ReadValue();
      return static_cast<long double>(ReadLittleEndian<int64_t>()) / 10000;
    default:
      return static_cast<long double>(ReadInt64());
  }
}

std::string TReader::ReadString() {
  switch (ReadValue()) {
    case svString: return ReadStr();
    case svLString:
    case svUTF8String: {
      std::vector<uint8_t> bytes = ReadBlock(ReadLength());
      return std::string(bytes.begin(), bytes.end());
    }
    case svWString: {
      uint32_t count = ReadLength();
      if (count > (FStream.Size() - FStream.Position()) / 2) ReadError();
      std::vector<uint8_t> bytes = ReadBlock(count * 2);
      std::vector<uint16_t> units(count);
      for (uint32_t i = 0; i < count; ++i) units[i] = static_cast<uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
      return Utf16ToText(units);
    }
    default: PropValueError();
  }
}

std::string TReader::ReadIdent() {
  switch (ReadValue()) {
    case svIdent: return ReadStr();
    case svFalse: return "False";
    case svTrue: return "True";
    case svNil: return "nil";
    case svNull: return "Null";
    default: PropValueError();
  }
}

// ---- TReader: components ----

void TReader::ReadSignature() {
  char signature[4];
  ReadBytes(signature, sizeof signature);
  if (std::memcmp(signature, kSignature, sizeof signature) != 0) throw EReadError(SInvalidImage);
}

uint8_t TReader::ReadPrefix() {
  if (NextValue() < kPrefixMarker) return 0;
  uint8_t flags = ReadValue() & 0x0F;
  // The child position only orders inherited children in a designer; nothing here uses it.
  if (flags & kFlagChildPos) ReadInteger();
  return flags;
}

void TReader::ReadRootComponent(TComponent* Root) {
  FRoot = Root;
  FLoaded = {Root};
  Root->SetLoading(true);
  Root->SetReading(true);
  try {
    ReadSignature();
    ReadPrefix();
    ReadStr();  // the class name: the root already exists
    Root->SetName(ReadStr());
    ReadProperties(Root);
    ReadChildComponents();
    ResolveFixups();
  } catch (...) {
    // A failed read leaves no component waiting for the end of loading.
    ClearReadingState(FLoaded);
    throw;
  }
  Root->SetReading(false);
  for (TComponent* component : FLoaded) component->Loaded();
}

void TReader::ReadProperties(TPersistent* Instance) {
  while (!EndOfList()) ReadProperty(Instance);
  ReadListEnd();
}

void TReader::ReadChildComponents() {
  while (!EndOfList()) ReadChildComponent();
  ReadListEnd();
}

void TReader::ReadChildComponent() {
  TDepthGuard guard(*this);
  uint8_t flags = ReadPrefix();
  std::string className = ReadStr();
  std::string name = ReadStr();
  // Children belong to the root however deep they are written, as on a form.
  TComponent* component = (flags & kFlagInherited) ? FRoot->FindComponent(name) : nullptr;
  bool created = component == nullptr;
  if (created) component = CreateComponent(className, FRoot);
  try {
    component->SetLoading(true);
    component->SetReading(true);
    if (created) component->SetName(name);
    if (const TFieldEntry* field = FindField(FRoot, name)) field->Assign(FRoot, component);
    FLoaded.push_back(component);
    ReadProperties(component);
    ReadChildComponents();
    component->SetReading(false);
  } catch (...) {
    if (created) {
      FLoaded.erase(std::remove(FLoaded.begin(), FLoaded.end(), component), FLoaded.end());
      delete component;
    }
    throw;
  }
}

void TReader::ReadProperty(TPersistent* Instance) {
  std::string path = ReadStr();
  try {
    TPersistent* target = Instance;
    size_t start = 0;
    size_t dot;
    while ((dot = path.find('.', start)) != std::string::npos) {
      std::string segment = path.substr(start, dot - start);
      const TPropInfo* prop = GetPropInfo(target, segment);
      if (prop == nullptr) throw EReadError(SUnknownProperty, {segment});
      TPersistent* next = nullptr;
      if (prop->Kind() == tkClass) next = dynamic_cast<TPersistent*>(std::get<TObject*>(prop->Get(target)));
      if (next == nullptr) throw EReadError(SInvalidPropertyPath);
      target = next;
      start = dot + 1;
    }
    FPropName = path.substr(start);
    if (const TPropInfo* prop = GetPropInfo(target, FPropName)) {
      ReadPropValue(target, *prop);
    } else {
      // Not published: perhaps a value the object defines itself.
      target->DefineProperties(*this);
      if (!FPropName.empty()) throw EReadError(SUnknownProperty, {FPropName});
    }
  } catch (const Exception& error) {
    throw EReadError(SPropertyException, {ObjectName(Instance), ".", path, error.Message()});
  }
}

void TReader::ReadPropValue(TPersistent* Instance, const TPropInfo& Prop) {
  const TTypeInfo& type = *Prop.PropType;
  if (type.Kind == tkClass) {
    TObject* current = std::get<TObject*>(Prop.Get(Instance));
    switch (NextValue()) {
      case svNil:
        ReadValue();
        if (!Prop.Set) throw EReadError(SReadOnlyProperty);
        Prop.Set(Instance, static_cast<TObject*>(nullptr));
        return;
      case svCollection: {
        ReadValue();
        auto* collection = dynamic_cast<TCollection*>(current);
        if (collection == nullptr) PropValueError();
        ReadCollection(collection);
        return;
      }
      default: {
        TClass declared = type.ClassType();
        if (declared == nullptr || !declared->InheritsFrom(&TComponent::StaticClassInfo()) || !Prop.Set)
          PropValueError();
        // Components named here may come later in the stream: resolved once it is read.
        FFixups.push_back({Instance, &Prop, ReadIdent(), FCollections});
        return;
      }
    }
  }
  if (!Prop.Set) throw EReadError(SReadOnlyProperty);
  switch (type.Kind) {
    case tkInteger:
      Prop.Set(Instance, static_cast<int64_t>(ReadIntegerOrIdent(type)));
      break;
    case tkInt64:
      Prop.Set(Instance, ReadInt64());
      break;
    case tkEnumeration: {
      Integer ordinal = type.OrdinalOf(ReadIdent());
      if (ordinal < 0) PropValueError();
      Prop.Set(Instance, static_cast<int64_t>(ordinal));
      break;
    }
    case tkSet:
      Prop.Set(Instance, ReadSet(type));
      break;
    case tkFloat:
      Prop.Set(Instance, ReadFloat());
      break;
    case tkString:
      Prop.Set(Instance, ReadString());
      break;
    case tkMethod: {
      TMethod method;
      if (NextValue() == svNil) {
        ReadValue();
      } else {
        method = MethodAddress(FRoot, ReadIdent());
        if (!method.Assigned() || *method.Signature != *type.MethodSignature) PropValueError();
      }
      Prop.Set(Instance, method);
      break;
    }
    default:
      PropValueError();
  }
}

Integer TReader::ReadIntegerOrIdent(const TTypeInfo& Type) {
  if (NextValue() != svIdent || Type.Idents.empty()) return ReadInteger();
  std::string ident = ReadIdent();
  for (const TIdentMapEntry& entry : Type.Idents)
    if (SameIdent(entry.Name, ident)) return entry.Value;
  PropValueError();
}

int64_t TReader::ReadSet(const TTypeInfo& Type) {
  if (ReadValue() != svSet) PropValueError();
  uint32_t bits = 0;
  for (std::string name = ReadStr(); !name.empty(); name = ReadStr()) {
    Integer ordinal = Type.OrdinalOf(name);
    if (ordinal < 0) PropValueError();
    // The stored form holds 32 elements at most.
    if (ordinal <= 31) bits |= uint32_t{1} << ordinal;
  }
  return bits;
}

void TReader::ReadCollection(TCollection* Collection) {
  TDepthGuard guard(*this);
  Collection->BeginUpdate();
  FCollections.push_back(Collection);
  try {
    if (!EndOfList()) {
      // A collection read twice loses the items of the first read, and the references met in them.
      std::erase_if(FFixups, [&](const TFixup& fixup) {
        return std::find(fixup.Within.begin(), fixup.Within.end(), Collection) != fixup.Within.end();
      });
      Collection->Clear();
    }
    while (!EndOfList()) {
      TValueType next = NextValue();
      if (next == svInt8 || next == svInt16 || next == svInt32) ReadInteger();  // the item index
      ReadListBegin();
      TCollectionItem* item = Collection->Add();
      ReadProperties(item);
    }
    ReadListEnd();
  } catch (...) {
    FCollections.pop_back();
    Collection->EndUpdate();
    throw;
  }
  FCollections.pop_back();
  Collection->EndUpdate();
}

void TReader::DefineProperty(const std::string& Name, TReaderProc ReadData, TWriterProc, bool) {
  if (!ReadData || !SameIdent(Name, FPropName)) return;
  ReadData(*this);
  FPropName.clear();
}

void TReader::DefineBinaryProperty(const std::string& Name, TStreamProc ReadData, TStreamProc, bool) {
  if (!ReadData || !SameIdent(Name, FPropName)) return;
  if (ReadValue() != svBinary) PropValueError();
  std::vector<uint8_t> block = ReadBlock(ReadLength());
  TMemoryStream data;
  data.WriteBuffer(block.data(), static_cast<Integer>(block.size()));
  data.SetPosition(0);
  ReadData(data);
  FPropName.clear();
}

void TReader::ResolveFixups() {
  std::vector<TFixup> fixups = std::move(FFixups);
  FFixups.clear();
  for (const TFixup& fixup : fixups) {
    std::string_view name = fixup.ComponentName;
    // "Root.Component" names a component of this root by its full path.
    if (size_t dot = name.find('.'); dot != std::string_view::npos) {
      if (!SameIdent(name.substr(0, dot), FRoot->Name())) continue;
      name = name.substr(dot + 1);
    }
    TComponent* found = SameIdent(name, FRoot->Name()) ? FRoot : FRoot->FindComponent(name);
    // A name that is not here refers to a component outside this stream; the property stays.
    if (found == nullptr) continue;
    try {
      fixup.Prop->Set(fixup.Instance, static_cast<TObject*>(found));
    } catch (const Exception& error) {
      throw EReadError(SPropertyException,
                       {ObjectName(fixup.Instance), ".", fixup.Prop->Name, error.Message()});
    }
  }
}

// ---- TWriter ----

void TWriter::WriteBytes(const void* Buffer, Integer Count) { FStream.WriteBuffer(Buffer, Count); }

template <class T>
void TWriter::WriteLittleEndian(T Value) {
  uint8_t bytes[sizeof(T)];
  auto bits = static_cast<std::make_unsigned_t<T>>(Value);
  for (size_t i = 0; i < sizeof(T); ++i) bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
  WriteBytes(bytes, sizeof(T));
}

void TWriter::WriteValue(TValueType Value) { WriteLittleEndian<uint8_t>(Value); }

void TWriter::WriteStr(std::string_view Value) {
  size_t length = std::min<size_t>(Value.size(), 255);
  WriteLittleEndian<uint8_t>(static_cast<uint8_t>(length));
  WriteBytes(Value.data(), static_cast<Integer>(length));
}

void TWriter::WriteInteger(int64_t Value) {
  if (Value >= INT8_MIN && Value <= INT8_MAX) {
    WriteValue(svInt8);
    WriteLittleEndian<int8_t>(static_cast<int8_t>(Value));
  } else if (Value >= INT16_MIN && Value <= INT16_MAX) {
    WriteValue(svInt16);
    WriteLittleEndian<int16_t>(static_cast<int16_t>(Value));
  } else if (Value >= INT32_MIN && Value <= INT32_MAX) {
    WriteValue(svInt32);
    WriteLittleEndian<int32_t>(static_cast<int32_t>(Value));
  } else {
    WriteValue(svInt64);
    WriteLittleEndian<int64_t>(Value);
  }
}

void TWriter::WriteBoolean(bool Value) { WriteValue(Value ? svTrue : svFalse); }

void TWriter::WriteFloat(long double Value) {
  WriteValue(svExtended);
  uint8_t bytes[16] = {};
  std::memcpy(bytes, &Value, sizeof Value);
  WriteBytes(bytes, 10);
}

void TWriter::WriteString(const std::string& Value) {
  if (!IsAscii(Value)) {
    std::string utf8 = TextToUtf8(Value);
    WriteValue(svUTF8String);
    WriteLittleEndian<uint32_t>(static_cast<uint32_t>(utf8.size()));
    WriteBytes(utf8.data(), static_cast<Integer>(utf8.size()));
  } else if (Value.size() < 256) {
    WriteValue(svString);
    WriteStr(Value);
  } else {
    WriteValue(svLString);
    WriteLittleEndian<uint32_t>(static_cast<uint32_t>(Value.size()));
    WriteBytes(Value.data(), static_cast<Integer>(Value.size()));
  }
}

void TWriter::WriteIdent(const std::string& Ident) {
  if (SameIdent(Ident, "False"))
    WriteValue(svFalse);
  else if (SameIdent(Ident, "True"))
    WriteValue(svTrue);
  else if (SameIdent(Ident, "nil"))
    WriteValue(svNil);
  else if (SameIdent(Ident, "Null"))
    WriteValue(svNull);
  else {
    WriteValue(svIdent);
    WriteStr(Ident);
  }
}

void TWriter::WriteListBegin() { WriteValue(svList); }

void TWriter::WriteListEnd() { WriteValue(svNull); }

void TWriter::WritePropName(const std::string& Name) { WriteStr(FPropPath + Name); }

void TWriter::WriteSignature() { WriteBytes(kSignature, sizeof kSignature); }

void TWriter::WriteBinary(const void* Data, Integer Size) {
  WriteValue(svBinary);
  WriteLittleEndian<uint32_t>(static_cast<uint32_t>(Size));
  WriteBytes(Data, Size);
}

void TWriter::WriteRootComponent(TComponent* Root) {
  FRoot = Root;
  WriteSignature();
  WriteComponent(Root);
}

void TWriter::WriteComponent(TComponent* Component) {
  WriteStr(Component->ClassName());
  WriteStr(Component->Name());
  WriteProperties(Component);
  WriteListEnd();
  // The root writes the components it owns, as a form does; they are read back into it.
  if (Component == FRoot)
    for (Integer i = 0; i < Component->ComponentCount(); ++i) WriteComponent(Component->Components(i));
  WriteListEnd();
}

void TWriter::WriteProperties(TPersistent* Instance) {
  for (const TPropInfo* prop : GetPropList(Instance->ClassType()))
    if (prop->IsStored(Instance)) WriteProperty(Instance, *prop);
  Instance->DefineProperties(*this);
}

void TWriter::WriteProperty(TPersistent* Instance, const TPropInfo& Prop) {
  const TTypeInfo& type = *Prop.PropType;
  TPropValue value = Prop.Get(Instance);
  switch (type.Kind) {
    case tkInteger:
    case tkInt64:
    case tkEnumeration:
    case tkSet: {
      int64_t ordinal = std::get<int64_t>(value);
      if (Prop.DefaultValue && *Prop.DefaultValue == ordinal) return;
      WritePropName(Prop.Name);
      const TIdentMapEntry* ident = type.Kind == tkInteger ? FindIdent(type, ordinal) : nullptr;
      if (type.Kind == tkEnumeration && ordinal >= 0 && ordinal < static_cast<int64_t>(type.Names.size())) {
        WriteIdent(type.Names[ordinal]);
      } else if (type.Kind == tkSet) {
        WriteValue(svSet);
        for (size_t i = 0; i < type.Names.size() && i < 32; ++i)
          if (ordinal & (int64_t{1} << i)) WriteStr(type.Names[i]);
        WriteStr("");
      } else if (ident != nullptr) {
        WriteIdent(std::string(ident->Name));
      } else {
        WriteInteger(ordinal);
      }
      return;
    }
    case tkFloat:
      if (std::get<long double>(value) == 0) return;
      WritePropName(Prop.Name);
      WriteFloat(std::get<long double>(value));
      return;
    case tkString:
      if (std::get<std::string>(value).empty()) return;
      WritePropName(Prop.Name);
      WriteString(std::get<std::string>(value));
      return;
    case tkMethod: {
      std::string name = MethodName(FRoot, std::get<TMethod>(value));
      if (name.empty()) return;
      WritePropName(Prop.Name);
      WriteIdent(name);
      return;
    }
    case tkClass: {
      TObject* object = std::get<TObject*>(value);
      if (object == nullptr) return;
      if (auto* component = dynamic_cast<TComponent*>(object)) {
        WritePropName(Prop.Name);
        WriteIdent(ComponentReference(component));
        return;
      }
      auto* nested = dynamic_cast<TPersistent*>(object);
      if (nested == nullptr) return;
      std::string savedPath = FPropPath;
      FPropPath += Prop.Name + ".";
      WriteProperties(nested);
      FPropPath = savedPath;
      if (auto* collection = dynamic_cast<TCollection*>(nested); collection && collection->Count() > 0) {
        WritePropName(Prop.Name);
        WriteCollection(collection);
      }
      return;
    }
    default:
      return;
  }
}

void TWriter::WriteCollection(TCollection* Collection) {
  std::string savedPath = FPropPath;
  FPropPath.clear();
  WriteValue(svCollection);
  for (Integer i = 0; i < Collection->Count(); ++i) {
    WriteListBegin();
    WriteProperties(Collection->Items(i));
    WriteListEnd();
  }
  WriteListEnd();
  FPropPath = savedPath;
}

std::string TWriter::ComponentReference(TComponent* Component) const {
  if (Component == FRoot || Component->Owner() == FRoot || Component->Owner() == nullptr)
    return Component->Name();
  return Component->Owner()->Name() + "." + Component->Name();
}

void TWriter::DefineProperty(const std::string& Name, TReaderProc, TWriterProc WriteData, bool HasData) {
  if (!HasData || !WriteData) return;
  WritePropName(Name);
  WriteData(*this);
}

void TWriter::DefineBinaryProperty(const std::string& Name, TStreamProc, TStreamProc WriteData,
                                   bool HasData) {
  if (!HasData || !WriteData) return;
  TMemoryStream data;
  WriteData(data);
  WritePropName(Name);
  WriteBinary(data.Memory(), static_cast<Integer>(data.Size()));
}

// ---- Component resources ----

void ReadResHeader(TStream& Stream) {
  Int64 start = Stream.Position();
  uint8_t header[kResHeaderReadSize];
  Integer got = Stream.Read(header, sizeof header);
  if (got < 3 || header[0] != 0xFF || (header[1] | header[2] << 8) != kResourceType)
    throw EInvalidImage(SInvalidImage);
  const uint8_t* nameEnd = std::find(header + 3, header + got, 0);
  if (nameEnd == header + got) throw EInvalidImage(SInvalidImage);
  Int64 nameLength = nameEnd - (header + 3);
  Stream.SetPosition(start + nameLength + 10);
}

void WriteResourceHeader(TStream& Stream, const std::string& ResName, Int64& FixupInfo) {
  const std::string name = UpperCase(ResName.substr(0, kMaxResNameLength));
  // Type, name with its terminating zero, flags, then the size fixed up later.
  std::string header = {'\xFF', kResourceType & 0xFF, kResourceType >> 8};
  header += name;
  header += {'\0', kResourceFlags & 0xFF, kResourceFlags >> 8, 0, 0, 0, 0};
  Stream.WriteBuffer(header.data(), static_cast<Integer>(header.size()));
  FixupInfo = Stream.Position();
}

void FixupResourceHeader(TStream& Stream, Int64 FixupInfo) {
  Int64 end = Stream.Position();
  auto size = static_cast<uint32_t>(end - FixupInfo);
  uint8_t bytes[4] = {static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8),
                      static_cast<uint8_t>(size >> 16), static_cast<uint8_t>(size >> 24)};
  Stream.SetPosition(FixupInfo - 4);
  Stream.WriteBuffer(bytes, sizeof bytes);
  Stream.SetPosition(end);
}

void ReadComponent(TStream& Stream, TComponent* Instance) {
  TReader reader(Stream);
  reader.ReadRootComponent(Instance);
}

void ReadComponentRes(TStream& Stream, TComponent* Instance) {
  ReadResHeader(Stream);
  ReadComponent(Stream, Instance);
}

void WriteComponent(TStream& Stream, TComponent* Instance) {
  TWriter writer(Stream);
  writer.WriteRootComponent(Instance);
}

void WriteComponentRes(TStream& Stream, const std::string& ResName, TComponent* Instance) {
  Int64 fixup = 0;
  WriteResourceHeader(Stream, ResName, fixup);
  WriteComponent(Stream, Instance);
  FixupResourceHeader(Stream, fixup);
}
