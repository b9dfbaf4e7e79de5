#include "qvrn/FileFunctions.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {
bool Empty(const char* path) { return !path || !*path; }
} // namespace

long GetFileSize(FILE* file)
{
    if (!file)
        return 0;
    long here = ftell(file);
    fseek(file, 0, SEEK_END);
    long size = ftell(file);
    fseek(file, here, SEEK_SET);
    return size < 0 ? 0 : size;
}

long GetFileSize(const char* path)
{
    if (Empty(path))
        return 0;
    FILE* file = fopen(path, "rb");
    if (!file)
        return 0;
    long size = GetFileSize(file);
    fclose(file);
    return size;
}

long LoadBufferFromFile(const char* path, char* buffer, long length)
{
    if (Empty(path) || !buffer || length <= 0)
        return 0;
    FILE* file = fopen(path, "rb");
    if (!file)
        return 0;
    long count = static_cast<long>(fread(buffer, 1, length - 1, file));
    buffer[count] = 0;
    fclose(file);
    return count;
}

long WriteBufferToFile(const char* path, const char* data, long n)
{
    if (Empty(path) || !data || n < 0)
        return 0;
    FILE* file = fopen(path, "w+b");
    if (!file)
        return 0;
    long written = static_cast<long>(fwrite(data, 1, n, file));
    fclose(file);
    return written;
}

char* LoadFile(const char* path)
{
    if (Empty(path))
        return nullptr;
    FILE* file = fopen(path, "rb");
    if (!file)
        return nullptr;
    long size = GetFileSize(file);
    char* buffer = size > 0 ? static_cast<char*>(malloc(size + 1)) : nullptr;
    if (buffer && fread(buffer, 1, size, file) == static_cast<size_t>(size)) {
        buffer[size] = 0;
    } else {
        free(buffer);
        buffer = nullptr;
    }
    fclose(file);
    return buffer;
}

long GetLastModTime(const char* path)
{
    struct stat info;
    if (Empty(path) || stat(path, &info) != 0)
        return 0;
    return static_cast<long>(info.st_mtime);
}

int CheckFileExists(const char* path)
{
    if (Empty(path))
        return 0;
    FILE* file = fopen(path, "rb");
    if (!file)
        return 0;
    fclose(file);
    return 1;
}

int IsReadOnlyFile(const char* path)
{
    if (Empty(path))
        return 0;
    return access(path, W_OK) != 0 ? 1 : 0;
}
