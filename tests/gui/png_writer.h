// A minimal PNG writer for screenshots: 8-bit RGB, no filtering, the image
// data in stored (uncompressed) deflate blocks. Big, but any viewer opens it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace png {

inline std::uint32_t Crc32(const std::string& bytes, std::size_t from) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = from; i < bytes.size(); ++i) {
    crc ^= static_cast<unsigned char>(bytes[i]);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

inline void PutBig32(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

inline void PutChunk(std::string& out, const char* type, const std::string& data) {
  PutBig32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t typeStart = out.size();
  out += type;
  out += data;
  PutBig32(out, Crc32(out, typeStart));  // over type and data
}

// rgb: height rows of width pixels, 3 bytes each, top row first.
inline std::string Encode(int width, int height, const std::vector<std::uint8_t>& rgb) {
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
  std::string raw;  // each row behind its filter byte 0 (none)
  for (int y = 0; y < height; ++y) {
    raw += '\0';
    raw.append(reinterpret_cast<const char*>(rgb.data()) + rowBytes * static_cast<std::size_t>(y), rowBytes);
  }

  std::string zlib = "\x78\x01";  // deflate, 32K window, no preset dictionary
  std::size_t pos = 0;
  do {
    const std::size_t n = std::min<std::size_t>(raw.size() - pos, 65535);
    zlib += static_cast<char>(pos + n == raw.size() ? 1 : 0);  // BFINAL, BTYPE 00 (stored)
    zlib += static_cast<char>(n & 0xFF);
    zlib += static_cast<char>(n >> 8);
    zlib += static_cast<char>(~n & 0xFF);
    zlib += static_cast<char>((~n >> 8) & 0xFF);
    zlib.append(raw, pos, n);
    pos += n;
  } while (pos < raw.size());
  std::uint32_t a = 1, b = 0;  // Adler-32 of the uncompressed data
  for (const char c : raw) {
    a = (a + static_cast<unsigned char>(c)) % 65521;
    b = (b + a) % 65521;
  }
  PutBig32(zlib, (b << 16) | a);

  std::string header;
  PutBig32(header, static_cast<std::uint32_t>(width));
  PutBig32(header, static_cast<std::uint32_t>(height));
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter, no interlace

  std::string out = "\x89PNG\r\n\x1a\n";
  PutChunk(out, "IHDR", header);
  PutChunk(out, "IDAT", zlib);
  PutChunk(out, "IEND", "");
  return out;
}

}  // namespace png
