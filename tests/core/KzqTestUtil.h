#pragma once
// Driving CKzqCompressor from tests: whole buffers in and out through string callbacks.
#include "core/compress/CKzqCompressor.h"

#include <string>
#include <vector>

struct KzqStream {
    std::string bytes;
    std::vector<int> pieces; // sizes handed to the output callback, in order
};

// Feeds data in pieces of chunk bytes (the last one shorter).
KzqStream KzqCompress(const std::string& data, int level, int chunk);
// Decodes, reading in pieces of chunk bytes; the callback hands out at most feed bytes a call.
// ok is false when Read reported an error.
std::string KzqDecompress(const std::string& stream, int chunk, bool& ok, int feed = 1 << 30);
std::string SeededBytes(unsigned seed, size_t size);
