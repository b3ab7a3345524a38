// Byte streams. TStream and TMemoryStream are pure; TFileStream (FileStream.h) sits on the platform's files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/SysUtils.h"

enum TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class TStream : public TObject {
public:
    // Reads or writes at most count bytes and returns how many moved.
    virtual long Read(void* buffer, long count) = 0;
    virtual long Write(const void* buffer, long count) = 0;
    virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;

    std::int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(std::int64_t pos) { Seek(pos, soBeginning); }
    virtual std::int64_t Size();
    // All or nothing: a short transfer raises EReadError / EWriteError.
    void ReadBuffer(void* buffer, long count);
    void WriteBuffer(const void* buffer, long count);
    std::int64_t CopyFrom(TStream& source, std::int64_t count);  // count 0 copies the whole source
};

class TMemoryStream : public TStream {
public:
    long Read(void* buffer, long count) override;
    long Write(const void* buffer, long count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override { return static_cast<std::int64_t>(FData.size()); }
    void SetSize(std::size_t size) { FData.resize(size); }
    void Clear() { FData.clear(); FPosition = 0; }
    const std::uint8_t* Memory() const { return FData.data(); }
    const std::vector<std::uint8_t>& Bytes() const { return FData; }
    void LoadFromBytes(const void* data, std::size_t size);

private:
    std::vector<std::uint8_t> FData;
    std::size_t FPosition = 0;
};
