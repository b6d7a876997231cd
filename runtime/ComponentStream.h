// The binary component stream ("TPF0") and the component resource around it: how components,
// their published properties, collections, nested objects and the binary blocks they define
// themselves are read and written.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/Classes.h"
#include "runtime/Streams.h"
#include "runtime/TypInfo.h"

inline constexpr const char* SInvalidPropertyValue = "Ungültiger Eigenschaftswert";
inline constexpr const char* SInvalidPropertyPath = "Ungültiger Pfad für Eigenschaft";
inline constexpr const char* SPropertyException = "Fehler beim Lesen von %s%s%s: %s";
inline constexpr const char* SReadOnlyProperty = "Eigenschaft ist schreibgeschützt";

// The tag byte in front of every value.
enum TValueType : uint8_t {
  svNull,
  svList,
  svInt8,
  svInt16,
  svInt32,
  svExtended,
  svString,
  svIdent,
  svFalse,
  svTrue,
  svBinary,
  svSet,
  svLString,
  svNil,
  svCollection,
  svSingle,
  svCurrency,
  svDate,
  svWString,
  svInt64,
  svUTF8String
};

class TReader;
class TWriter;

// What reading and writing have in common: the way an object declares the values it streams
// itself (DefineProperties).
class TFiler {
 public:
  using TReaderProc = std::function<void(TReader&)>;
  using TWriterProc = std::function<void(TWriter&)>;
  using TStreamProc = std::function<void(TStream&)>;

  explicit TFiler(TStream& Stream) : FStream(Stream) {}
  TFiler(const TFiler&) = delete;
  TFiler& operator=(const TFiler&) = delete;
  virtual ~TFiler() = default;

  // A value the object reads and writes through the filer itself; written only with HasData.
  virtual void DefineProperty(const std::string& Name, TReaderProc ReadData, TWriterProc WriteData,
                              bool HasData) = 0;
  // A block of bytes (svBinary); the reading side gets a stream of exactly the block.
  virtual void DefineBinaryProperty(const std::string& Name, TStreamProc ReadData,
                                    TStreamProc WriteData, bool HasData) = 0;

  TComponent* Root() const { return FRoot; }

 protected:
  TStream& FStream;
  TComponent* FRoot = nullptr;
};

class TReader : public TFiler {
 public:
  explicit TReader(TStream& Stream) : TFiler(Stream) {}

  // Reads one component (signature, name, properties, child components) into Root, resolves
  // the component references and calls Loaded on Root and on every component it created.
  void ReadRootComponent(TComponent* Root);

  void DefineProperty(const std::string& Name, TReaderProc ReadData, TWriterProc WriteData,
                      bool HasData) override;
  void DefineBinaryProperty(const std::string& Name, TStreamProc ReadData, TStreamProc WriteData,
                            bool HasData) override;

  // Single values, for objects that read their own defined properties. Each raises
  // EReadError "Ungültiger Eigenschaftswert" for a value of another kind.
  TValueType ReadValue();
  TValueType NextValue();
  Integer ReadInteger();
  int64_t ReadInt64();
  bool ReadBoolean();
  long double ReadFloat();
  std::string ReadString();
  // An identifier; svFalse, svTrue, svNil and svNull read as "False", "True", "nil", "Null".
  std::string ReadIdent();
  void ReadListBegin();
  void ReadListEnd();
  // True when the next byte ends a list (svNull); it is not consumed.
  bool EndOfList();
  // A short string: one length byte, then the characters.
  std::string ReadStr();

 private:
  struct TFixup {
    TPersistent* Instance;
    const TPropInfo* Prop;
    std::string ComponentName;
    // The collections being read when the reference was met: emptying one of them again
    // frees Instance.
    std::vector<TCollection*> Within;
  };
  class TDepthGuard;

  void ReadSignature();
  // The flags of the optional prefix byte; 0 when there is none.
  uint8_t ReadPrefix();
  void ReadProperties(TPersistent* Instance);
  void ReadChildComponents();
  void ReadChildComponent();
  void ReadProperty(TPersistent* Instance);
  void ReadPropValue(TPersistent* Instance, const TPropInfo& Prop);
  void ReadCollection(TCollection* Collection);
  int64_t ReadSet(const TTypeInfo& Type);
  Integer ReadIntegerOrIdent(const TTypeInfo& Type);
  std::vector<uint8_t> ReadBlock(uint32_t Size);
  uint32_t ReadLength();
  void ResolveFixups();
  void ReadBytes(void* Buffer, Integer Count);
  template <class T>
  T ReadLittleEndian();

  std::string FPropName;
  std::vector<TFixup> FFixups;
  std::vector<TComponent*> FLoaded;
  std::vector<TCollection*> FCollections;
  int FDepth = 0;
};

class TWriter : public TFiler {
 public:
  explicit TWriter(TStream& Stream) : TFiler(Stream) {}

  // Writes the signature and Root with its published and defined properties and, after them,
  // the components Root owns.
  void WriteRootComponent(TComponent* Root);

  void DefineProperty(const std::string& Name, TReaderProc ReadData, TWriterProc WriteData,
                      bool HasData) override;
  void DefineBinaryProperty(const std::string& Name, TStreamProc ReadData, TStreamProc WriteData,
                            bool HasData) override;

  void WriteSignature();
  void WriteValue(TValueType Value);
  // svBinary: the length, then the bytes.
  void WriteBinary(const void* Data, Integer Size);
  // In the smallest of svInt8, svInt16, svInt32 (and svInt64) that holds the value.
  void WriteInteger(int64_t Value);
  void WriteBoolean(bool Value);
  void WriteFloat(long double Value);
  // svString below 256 bytes, else svLString; svUTF8String for text beyond ASCII.
  void WriteString(const std::string& Value);
  void WriteIdent(const std::string& Ident);
  void WriteListBegin();
  void WriteListEnd();
  void WriteStr(std::string_view Value);

 private:
  void WriteComponent(TComponent* Component);
  void WriteProperties(TPersistent* Instance);
  void WriteProperty(TPersistent* Instance, const TPropInfo& Prop);
  void WriteCollection(TCollection* Collection);
  void WritePropName(const std::string& Name);
  std::string ComponentReference(TComponent* Component) const;
  void WriteBytes(const void* Buffer, Integer Count);
  template <class T>
  void WriteLittleEndian(T Value);

  std::string FPropPath;
};

// ---- Component resources ----

// Skips the resource header in front of a component stream; raises EInvalidImage "Ungültiges
// Stream-Format" when the stream does not start with one.
void ReadResHeader(TStream& Stream);
// The header for a resource of that name (upper-cased, at most 63 characters) with a zero
// size, which FixupResourceHeader patches once the stream behind it is written.
void WriteResourceHeader(TStream& Stream, const std::string& ResName, Int64& FixupInfo);
void FixupResourceHeader(TStream& Stream, Int64 FixupInfo);

// Reads a component stream into Instance.
void ReadComponent(TStream& Stream, TComponent* Instance);
// Reads a component resource (header and stream) into Instance.
void ReadComponentRes(TStream& Stream, TComponent* Instance);
void WriteComponent(TStream& Stream, TComponent* Instance);
void WriteComponentRes(TStream& Stream, const std::string& ResName, TComponent* Instance);
