#include "platform/core/checksum.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>
#include <zlib.h>

#include <climits>
#include <cstring>
#include <string>

uint32_t GetMemCRC32(const void* data, size_t bytes) {
  uLong crc = crc32(0L, Z_NULL, 0);
  auto* p = static_cast<const Bytef*>(data);
  while (bytes > 0) {  // zlib takes a 32-bit length
    uInt chunk = bytes > UINT_MAX ? UINT_MAX : static_cast<uInt>(bytes);
    crc = crc32(crc, p, chunk);
    p += chunk;
    bytes -= chunk;
  }
  return static_cast<uint32_t>(crc);
}

void HMAC_SHA1(uint8_t digest[20], const void* key, size_t keyLen, const void* data, size_t dataLen) {
  unsigned int len = 20;
  static const uint8_t empty = 0;
  if (!HMAC(EVP_sha1(), keyLen ? key : &empty, static_cast<int>(keyLen),
            static_cast<const unsigned char*>(dataLen ? data : &empty), dataLen, digest, &len)) {
    for (int i = 0; i < 20; ++i) digest[i] = 0;
  }
}

size_t base64(char* dest, size_t destSize, const void* source, size_t length) {
  if (length > (static_cast<size_t>(INT_MAX) / 4) * 3) return 0;
  size_t need = 4 * ((length + 2) / 3);
  if (dest == nullptr || destSize < need) return 0;
  if (destSize > need) {  // room for the NUL that OpenSSL always writes
    return static_cast<size_t>(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(dest),
                                               static_cast<const unsigned char*>(source),
                                               static_cast<int>(length)));
  }
  std::string tmp(need + 1, '\0');
  EVP_EncodeBlock(reinterpret_cast<unsigned char*>(tmp.data()),
                  static_cast<const unsigned char*>(source), static_cast<int>(length));
  std::memcpy(dest, tmp.data(), need);
  return need;
}

bool secureRandom(void* out, size_t n) {
  return n <= INT_MAX && RAND_bytes(static_cast<unsigned char*>(out), static_cast<int>(n)) == 1;
}
