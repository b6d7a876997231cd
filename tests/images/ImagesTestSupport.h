// Shared helpers of the image tests: streams over bytes and little-endian block builders.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "runtime/Streams.h"

using Bytes = std::vector<unsigned char>;

inline void PutLE(Bytes& out, uint32_t value, int size) {
  for (int i = 0; i < size; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

inline Bytes StreamBytes(TMemoryStream& stream) {
  const auto* data = static_cast<const unsigned char*>(stream.Memory());
  return Bytes(data, data + stream.Size());
}

// A memory stream holding bytes, positioned at its start.
class TBytesStream : public TMemoryStream {
 public:
  explicit TBytesStream(const Bytes& bytes) {
    if (!bytes.empty()) WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
    SetPosition(0);
  }
};

// A 40-byte information header.
inline Bytes InfoHeader(int32_t width, int32_t height, uint16_t bitCount, uint32_t compression = 0,
                        uint32_t imageSize = 0, uint32_t colorsUsed = 0) {
  Bytes out;
  PutLE(out, 40, 4);
  PutLE(out, static_cast<uint32_t>(width), 4);
  PutLE(out, static_cast<uint32_t>(height), 4);
  PutLE(out, 1, 2);
  PutLE(out, bitCount, 2);
  PutLE(out, compression, 4);
  PutLE(out, imageSize, 4);
  PutLE(out, 0, 4);
  PutLE(out, 0, 4);
  PutLE(out, colorsUsed, 4);
  PutLE(out, 0, 4);
  return out;
}

inline void Append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }
