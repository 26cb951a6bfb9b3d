#pragma once
#include <cstddef>
#include <cstdint>

// CRC-32 (IEEE 802.3 polynomial, as zlib computes it) of a byte range.
uint32_t GetMemCRC32(const void* data, size_t bytes);

// The 20-byte HMAC-SHA1 digest (RFC 2104) of data under key.
void HMAC_SHA1(uint8_t digest[20], const void* key, size_t keyLen, const void* data, size_t dataLen);

// Base64 (RFC 4648, with padding) of source into dest. Returns the bytes written, not
// counting the terminating NUL that is added when there is room; 0 when dest is too small.
size_t base64(char* dest, size_t destSize, const void* source, size_t length);

// Fills out with n bytes from the system's cryptographic random source; false when it
// could not (out is then unusable).
bool secureRandom(void* out, size_t n);
