#include "runtime/Streams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <list>
#include <vector>

#include "runtime/TypInfo.h"

// ---- TStream ----

const TClassInfo& TStream::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TStream>();
  return info;
}

const TClassInfo& THandleStream::StaticClassInfo() {
  static const TClassInfo info = DefineClass<THandleStream>();
  return info;
}

const TClassInfo& TFileStream::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TFileStream>();
  return info;
}

const TClassInfo& TCustomMemoryStream::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TCustomMemoryStream>();
  return info;
}

const TClassInfo& TMemoryStream::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TMemoryStream>();
  return info;
}

void TStream::ReadBuffer(void* buffer, Integer count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError(SReadError);
}

void TStream::WriteBuffer(const void* buffer, Integer count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError(SWriteError);
}

Int64 TStream::CopyFrom(TStream& source, Int64 count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  if (count < 0) throw EReadError(SReadError);
  constexpr Integer kChunk = 61440;
  std::vector<char> buffer(static_cast<size_t>(std::min<Int64>(count, kChunk)));
  for (Int64 left = count; left > 0;) {
    Integer n = static_cast<Integer>(std::min<Int64>(left, kChunk));
    source.ReadBuffer(buffer.data(), n);
    WriteBuffer(buffer.data(), n);
    left -= n;
  }
  return count;
}

Int64 TStream::Size() {
  Int64 position = Seek(0, soFromCurrent);
  Int64 size = Seek(0, soFromEnd);
  Seek(position, soFromBeginning);
  return size;
}

void TStream::SetSize(Int64) {}

// ---- THandleStream ----

Integer THandleStream::Read(void* buffer, Integer count) {
  Integer done = 0;
  while (done < count) {
    ssize_t n = ::read(FHandle, static_cast<char*>(buffer) + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<Integer>(n);
  }
  return done;
}

Integer THandleStream::Write(const void* buffer, Integer count) {
  Integer done = 0;
  while (done < count) {
    ssize_t n = ::write(FHandle, static_cast<const char*>(buffer) + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<Integer>(n);
  }
  return done;
}

Int64 THandleStream::Seek(Int64 offset, Word origin) {
  int whence = origin == soFromCurrent ? SEEK_CUR : origin == soFromEnd ? SEEK_END : SEEK_SET;
  return ::lseek(FHandle, offset, whence);
}

void THandleStream::SetSize(Int64 newSize) {
  if (newSize < 0 || ::ftruncate(FHandle, newSize) != 0) throw EWriteError(SWriteError);
  if (Position() > newSize) Seek(0, soFromEnd);
}

// ---- TFileStream ----

namespace {

constexpr int kAccessRead = 1;
constexpr int kAccessWrite = 2;

}  // namespace

// One open file stream of this program, as the sharing rules see it.
struct TFileShare {
  dev_t Device;
  ino_t Inode;
  int Access;  // kAccessRead and/or kAccessWrite
  int Denied;  // the accesses this stream denies to others
};

namespace {

std::list<TFileShare*>& OpenFiles() {
  static std::list<TFileShare*> openFiles;
  return openFiles;
}

}  // namespace

TFileStream::TFileStream(const std::string& fileName, Word mode) : THandleStream(-1) {
  bool create = mode == fmCreate;
  auto fail = [&]() -> void {
    if (FHandle >= 0) ::close(FHandle);
    if (create) throw EFCreateError(SFCreateError, {fileName});
    throw EFOpenError(SFOpenError, {fileName});
  };

  int access, denied, flags;
  if (create) {
    access = kAccessRead | kAccessWrite;
    denied = kAccessRead | kAccessWrite;
    flags = O_RDWR | O_CREAT;
  } else {
    switch (mode & 0x0F) {
      case fmOpenRead: access = kAccessRead, flags = O_RDONLY; break;
      case fmOpenWrite: access = kAccessWrite, flags = O_WRONLY; break;
      case fmOpenReadWrite: access = kAccessRead | kAccessWrite, flags = O_RDWR; break;
      default: fail(); return;
    }
    switch (mode & 0xF0) {
      case fmShareCompat:
      case fmShareExclusive: denied = kAccessRead | kAccessWrite; break;
      case fmShareDenyWrite: denied = kAccessWrite; break;
      case fmShareDenyRead: denied = kAccessRead; break;
      case fmShareDenyNone: denied = 0; break;
      default: fail(); return;
    }
  }

  // Truncation waits until the sharing check has passed, so a refused create destroys nothing.
  FHandle = ::open(HostFileName(fileName).c_str(), flags | O_CLOEXEC, 0666);
  struct stat info;
  if (FHandle < 0 || ::fstat(FHandle, &info) != 0 || S_ISDIR(info.st_mode)) fail();
  for (const TFileShare* other : OpenFiles()) {
    if (other->Device != info.st_dev || other->Inode != info.st_ino) continue;
    if ((access & other->Denied) != 0 || (other->Access & denied) != 0) fail();
  }
  if (create && ::ftruncate(FHandle, 0) != 0) fail();
  FShare = new TFileShare{info.st_dev, info.st_ino, access, denied};
  OpenFiles().push_back(FShare);
}

TFileStream::~TFileStream() {
  if (FShare) {
    OpenFiles().remove(FShare);
    delete FShare;
  }
  if (FHandle >= 0) ::close(FHandle);
}

// ---- TCustomMemoryStream ----

void TCustomMemoryStream::SetPointer(void* memory, Int64 size) {
  FMemory = memory;
  FSize = size;
}

Integer TCustomMemoryStream::Read(void* buffer, Integer count) {
  if (FPosition < 0 || count <= 0 || FPosition >= FSize) return 0;
  Integer n = static_cast<Integer>(std::min<Int64>(FSize - FPosition, count));
  std::memcpy(buffer, static_cast<char*>(FMemory) + FPosition, n);
  FPosition += n;
  return n;
}

Int64 TCustomMemoryStream::Seek(Int64 offset, Word origin) {
  Int64 base = origin == soFromCurrent ? FPosition : origin == soFromEnd ? FSize : 0;
  Int64 position;
  if (__builtin_add_overflow(base, offset, &position)) return -1;
  FPosition = position;
  return FPosition;
}

void TCustomMemoryStream::SaveToStream(TStream& stream) {
  if (FSize > 0) stream.WriteBuffer(FMemory, static_cast<Integer>(FSize));
}

void TCustomMemoryStream::SaveToFile(const std::string& fileName) {
  TFileStream file(fileName, fmCreate);
  SaveToStream(file);
}

// ---- TMemoryStream ----

namespace {

// The largest memory stream: what a 32-bit Integer counts.
constexpr Int64 kMaxMemoryStreamSize = INT32_MAX;
constexpr Int64 kMemoryDelta = 0x2000;

}  // namespace

TMemoryStream::~TMemoryStream() {
  if (FCapacity > 0) std::free(FMemory);
}

void* TMemoryStream::Realloc(Int64& newCapacity) {
  if (newCapacity > 0 && newCapacity != FSize)
    newCapacity = (newCapacity + kMemoryDelta - 1) & ~(kMemoryDelta - 1);
  if (newCapacity == 0) {
    std::free(FMemory);
    return nullptr;
  }
  void* memory = std::realloc(FMemory, static_cast<size_t>(newCapacity));
  if (memory == nullptr) throw EStreamError(SMemoryStreamError);
  return memory;
}

void TMemoryStream::SetCapacity(Int64 newCapacity) {
  if (newCapacity < 0 || newCapacity > kMaxMemoryStreamSize) throw EStreamError(SMemoryStreamError);
  FMemory = Realloc(newCapacity);
  FCapacity = newCapacity;
}

void TMemoryStream::SetSize(Int64 newSize) {
  Int64 oldSize = FSize;
  if (newSize > FCapacity || newSize == 0 || newSize < 0) SetCapacity(newSize);
  FSize = newSize;
  if (newSize > oldSize) std::memset(static_cast<char*>(FMemory) + oldSize, 0, newSize - oldSize);
  if (FPosition > newSize) FPosition = newSize;
}

Integer TMemoryStream::Write(const void* buffer, Integer count) {
  if (FPosition < 0 || count <= 0) return 0;
  Int64 end = FPosition + count;
  if (FPosition > kMaxMemoryStreamSize || end > kMaxMemoryStreamSize)
    throw EStreamError(SMemoryStreamError);
  if (end > FSize) SetSize(end);
  std::memcpy(static_cast<char*>(FMemory) + FPosition, buffer, count);
  FPosition = end;
  return count;
}

void TMemoryStream::Clear() {
  SetCapacity(0);
  FSize = 0;
  FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& stream) {
  stream.SetPosition(0);
  Int64 count = stream.Size();
  SetSize(count);
  if (count > 0) stream.ReadBuffer(FMemory, static_cast<Integer>(count));
  FPosition = 0;
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
  TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(file);
}
