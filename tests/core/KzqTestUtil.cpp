#include "KzqTestUtil.h"

#include <algorithm>

namespace {

int Collect(void* user, void* buffer, int count)
{
    KzqStream* stream = static_cast<KzqStream*>(user);
    stream->bytes.append(static_cast<const char*>(buffer), static_cast<size_t>(count));
    stream->pieces.push_back(count);
    return count;
}

struct Source {
    const std::string* bytes;
    size_t position;
    int feed;
};

int Supply(void* user, void* buffer, int count)
{
    Source* source = static_cast<Source*>(user);
    size_t left = source->bytes->size() - source->position;
    size_t take = std::min<size_t>({left, static_cast<size_t>(count), static_cast<size_t>(source->feed)});
    std::copy_n(source->bytes->data() + source->position, take, static_cast<char*>(buffer));
    source->position += take;
    return static_cast<int>(take);
}

} // namespace

KzqStream KzqCompress(const std::string& data, int level, int chunk)
{
    KzqStream stream;
    CKzqCompressor compressor;
    compressor.Compress(Collect, &stream, level);
    for (size_t at = 0; at < data.size(); at += static_cast<size_t>(chunk)) {
        int count = static_cast<int>(std::min<size_t>(static_cast<size_t>(chunk), data.size() - at));
        compressor.Write(data.data() + at, count);
    }
    compressor.Compress(nullptr, nullptr, 0);
    return stream;
}

std::string KzqDecompress(const std::string& stream, int chunk, bool& ok, int feed)
{
    Source source = {&stream, 0, feed};
    CKzqCompressor decompressor;
    decompressor.Decompress(Supply, &source);
    std::string out;
    std::string piece(static_cast<size_t>(chunk), '\0');
    ok = true;
    for (;;) {
        int got = decompressor.Read(&piece[0], chunk);
        if (got < 0) {
            ok = false;
            break;
        }
        out.append(piece, 0, static_cast<size_t>(got));
        if (got < chunk)
            break;
    }
    decompressor.Decompress(nullptr, nullptr);
    return out;
}

std::string SeededBytes(unsigned seed, size_t size)
{
    std::string bytes(size, '\0');
    unsigned state = seed * 2654435761u + 1;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 16);
    }
    return bytes;
}
