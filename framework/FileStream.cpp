#include "framework/FileStream.h"

std::string SysErrorMessage(DWORD code)
{
    char buffer[512] = {};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buffer,
                             sizeof buffer, nullptr);
    std::string text(buffer, n);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    if (text.empty()) text = "System error " + std::to_string(code);
    return text;
}

TFileStream::TFileStream(const std::string& fileName, unsigned mode) : FFileName(fileName)
{
    if (mode == fmCreate || mode == fmCreateNew) {
        FHandle = CreateFileA(fileName.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              mode == fmCreate ? CREATE_ALWAYS : CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (FHandle == INVALID_HANDLE_VALUE) {
            const DWORD code = GetLastError();
            throw EFCreateError(FormatStr("Cannot create file \"%s\". %s", {fileName, SysErrorMessage(code)}), code);
        }
        return;
    }
    static const DWORD access[] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    switch (mode & 0xF0) {
    case fmShareExclusive: share = 0; break;
    case fmShareDenyWrite: share = FILE_SHARE_READ; break;
    default: break;
    }
    FHandle = CreateFileA(fileName.c_str(), access[(mode & 3) < 3 ? (mode & 3) : 0], share, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (FHandle == INVALID_HANDLE_VALUE)
        throw EFOpenError(FormatStr("Cannot open file \"%s\". %s", {fileName, SysErrorMessage(GetLastError())}));
}

TFileStream::~TFileStream()
{
    if (FHandle != INVALID_HANDLE_VALUE) CloseHandle(FHandle);
}

long TFileStream::Read(void* buffer, long count)
{
    DWORD done = 0;
    if (count <= 0 || !ReadFile(FHandle, buffer, static_cast<DWORD>(count), &done, nullptr)) return 0;
    return static_cast<long>(done);
}

long TFileStream::Write(const void* buffer, long count)
{
    // A drive that fills up may take part of a write without an error; the rest is asked for again, so a
    // short write always leaves the platform's reason behind.
    long total = 0;
    while (total < count) {
        DWORD done = 0;
        const BOOL ok = WriteFile(FHandle, static_cast<const char*>(buffer) + total, static_cast<DWORD>(count - total),
                                  &done, nullptr);
        total += static_cast<long>(done);
        if (!ok || done == 0) break;
    }
    return total;
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin)
{
    LARGE_INTEGER distance, result;
    distance.QuadPart = offset;
    if (!SetFilePointerEx(FHandle, distance, &result, static_cast<DWORD>(origin))) return -1;
    return result.QuadPart;
}

bool TFileStream::Truncate() { return SetEndOfFile(FHandle) != FALSE; }

bool TFileStream::Flush() { return FlushFileBuffers(FHandle) != FALSE; }
