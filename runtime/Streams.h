// The class library's streams: the abstract stream, memory streams and file streams.
#pragma once

#include <string>

#include "runtime/Object.h"
#include "runtime/SysUtils.h"

// Seek origins.
inline constexpr Word soFromBeginning = 0;
inline constexpr Word soFromCurrent = 1;
inline constexpr Word soFromEnd = 2;

// File open modes: one access mode combined with one share mode, or fmCreate alone.
inline constexpr Word fmCreate = 0xFFFF;
inline constexpr Word fmOpenRead = 0x0000;
inline constexpr Word fmOpenWrite = 0x0001;
inline constexpr Word fmOpenReadWrite = 0x0002;
inline constexpr Word fmShareCompat = 0x0000;
inline constexpr Word fmShareExclusive = 0x0010;
inline constexpr Word fmShareDenyWrite = 0x0020;
inline constexpr Word fmShareDenyRead = 0x0030;
inline constexpr Word fmShareDenyNone = 0x0040;

class TStream : public TObject {
  ORVALIS_CLASS(TStream, TObject)

  // Read and Write move up to count bytes and return how many were moved; a count of 0 or less
  // moves nothing.
  virtual Integer Read(void* buffer, Integer count) = 0;
  virtual Integer Write(const void* buffer, Integer count) = 0;
  // Returns the new position.
  virtual Int64 Seek(Int64 offset, Word origin) = 0;

  // All or nothing: a short read raises EReadError "Stream-Lesefehler", a short write
  // EWriteError "Stream-Schreibfehler".
  void ReadBuffer(void* buffer, Integer count);
  void WriteBuffer(const void* buffer, Integer count);
  // Copies count bytes from source's position, or with count 0 the whole source from its start.
  // Returns the number of bytes copied.
  Int64 CopyFrom(TStream& source, Int64 count);

  Int64 Position() { return Seek(0, soFromCurrent); }
  void SetPosition(Int64 position) { Seek(position, soFromBeginning); }
  virtual Int64 Size();
  virtual void SetSize(Int64 newSize);
};

// A stream over an operating-system file descriptor; the descriptor is the caller's.
class THandleStream : public TStream {
  ORVALIS_CLASS(THandleStream, TStream)

  explicit THandleStream(int handle) : FHandle(handle) {}

  Integer Read(void* buffer, Integer count) override;
  Integer Write(const void* buffer, Integer count) override;
  Int64 Seek(Int64 offset, Word origin) override;
  void SetSize(Int64 newSize) override;

  int Handle() const { return FHandle; }

 protected:
  int FHandle;
};

// A file opened by name. "\" in the name is taken as "/". Sharing follows the original platform
// among the file streams of this program: an open is refused while another open stream of the
// same file denies the access it asks for, or while it asks to deny an access another stream
// already has. fmCreate creates or truncates the file and opens it exclusively. A refused or
// failed open raises EFOpenError "Datei %s kann nicht geöffnet werden" (EFCreateError
// "Datei %s kann nicht erstellt werden" for fmCreate) with the name as given.
struct TFileShare;

class TFileStream : public THandleStream {
  ORVALIS_CLASS(TFileStream, THandleStream)

  TFileStream(const std::string& fileName, Word mode);
  ~TFileStream() override;

 private:
  TFileShare* FShare = nullptr;  // this stream's entry among the open file streams
};

// A stream over a block of memory it does not own; reading and seeking only.
class TCustomMemoryStream : public TStream {
  ORVALIS_CLASS(TCustomMemoryStream, TStream)

  Integer Read(void* buffer, Integer count) override;
  Int64 Seek(Int64 offset, Word origin) override;
  void SaveToStream(TStream& stream);
  void SaveToFile(const std::string& fileName);

  void* Memory() const { return FMemory; }

 protected:
  void SetPointer(void* memory, Int64 size);

  void* FMemory = nullptr;
  Int64 FSize = 0;
  Int64 FPosition = 0;
};

// A growable stream in memory. Its size is limited to what a 32-bit Integer counts; a larger
// size or a failed allocation raises EStreamError "Kein Speicher beim Erweitern eines
// Memory-Streams".
class TMemoryStream : public TCustomMemoryStream {
  ORVALIS_CLASS(TMemoryStream, TCustomMemoryStream)

  ~TMemoryStream() override;

  Integer Write(const void* buffer, Integer count) override;
  void SetSize(Int64 newSize) override;
  void Clear();
  // Replaces the content with the whole of stream (from its start) and rewinds.
  void LoadFromStream(TStream& stream);
  void LoadFromFile(const std::string& fileName);

 protected:
  // Returns the block for the new capacity (which it may round up), or nullptr for 0; the
  // default grows in steps of 8 KB with the C allocator. A stream over someone else's block
  // overrides it so the block is never reallocated or freed.
  virtual void* Realloc(Int64& newCapacity);
  void SetCapacity(Int64 newCapacity);

 private:
  Int64 FCapacity = 0;
};
