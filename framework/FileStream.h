// A stream over a platform file handle.
#pragma once

#include <windows.h>

#include <string>

#include "framework/Streams.h"

enum : unsigned {
    fmCreate = 0xFFFF,
    fmCreateNew = 0xFFFE,  // as fmCreate, but fails (ERROR_FILE_EXISTS) rather than replace a file
    fmOpenRead = 0x0000,
    fmOpenWrite = 0x0001,
    fmOpenReadWrite = 0x0002,
    fmShareExclusive = 0x0010,
    fmShareDenyWrite = 0x0020,
    fmShareDenyNone = 0x0040,
};

// Text of a platform error code, without the trailing line break.
std::string SysErrorMessage(DWORD code);

class TFileStream : public TStream {
public:
    // Raises EFCreateError or EFOpenError with the platform's reason (and its code) when the file cannot be had.
    TFileStream(const std::string& fileName, unsigned mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    long Read(void* buffer, long count) override;
    long Write(const void* buffer, long count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    HANDLE Handle() const { return FHandle; }
    const std::string& FileName() const { return FFileName; }
    // Cuts the file at the current position.
    bool Truncate();
    // Has the system write what it holds of the file to the disk.
    bool Flush();

private:
    HANDLE FHandle = INVALID_HANDLE_VALUE;
    std::string FFileName;
};
