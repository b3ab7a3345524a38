#include "framework/Streams.h"

#include <algorithm>
#include <cstring>

std::int64_t TStream::Size()
{
    std::int64_t pos = Seek(0, soCurrent);
    std::int64_t size = Seek(0, soEnd);
    Seek(pos, soBeginning);
    return size;
}

void TStream::ReadBuffer(void* buffer, long count)
{
    if (count != 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, long count)
{
    if (count != 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count)
{
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(std::min<std::int64_t>(count, 61440)));
    std::int64_t left = count;
    while (left > 0) {
        long n = static_cast<long>(std::min<std::int64_t>(left, static_cast<std::int64_t>(chunk.size())));
        source.ReadBuffer(chunk.data(), n);
        WriteBuffer(chunk.data(), n);
        left -= n;
    }
    return count;
}

long TMemoryStream::Read(void* buffer, long count)
{
    if (count <= 0 || FPosition >= FData.size()) return 0;
    std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(count), FData.size() - FPosition);
    std::memcpy(buffer, FData.data() + FPosition, n);
    FPosition += n;
    return static_cast<long>(n);
}

long TMemoryStream::Write(const void* buffer, long count)
{
    if (count <= 0) return 0;
    std::size_t end = FPosition + static_cast<std::size_t>(count);
    if (end > FData.size()) FData.resize(end);
    std::memcpy(FData.data() + FPosition, buffer, static_cast<std::size_t>(count));
    FPosition = end;
    return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin)
{
    std::int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? static_cast<std::int64_t>(FPosition)
                                                                        : static_cast<std::int64_t>(FData.size());
    std::int64_t pos = base + offset;
    if (pos < 0) pos = 0;
    FPosition = static_cast<std::size_t>(pos);
    return pos;
}

void TMemoryStream::LoadFromBytes(const void* data, std::size_t size)
{
    const auto* p = static_cast<const std::uint8_t*>(data);
    FData.assign(p, p + size);
    FPosition = 0;
}
