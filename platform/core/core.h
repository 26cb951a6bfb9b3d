// Core services the engine imports by name: checksums, encodings, number and text
// conversions and the allocator behind the Lua state. Every buffer belongs to the caller.
#pragma once
#include "platform/core/checksum.h"
#include "platform/core/numconv.h"
#include "platform/core/smalloc.h"
#include "platform/core/url.h"
#include "platform/core/utf.h"
