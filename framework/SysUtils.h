// Basic types shared by the whole program: errors, colours, event signatures, small string helpers.
// Free of windows.h so that pure logic can use it on any host.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>

class TObject {
public:
    virtual ~TObject() = default;
};

// Base of the run-time's errors; the message is what the default error display shows.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

class EInOutError : public Exception {
public:
    EInOutError(const std::string& message, int errorCode) : Exception(message), ErrorCode(errorCode) {}
    int ErrorCode;
};
class EConvertError : public Exception { using Exception::Exception; };
class EInvalidCast : public Exception {
public:
    EInvalidCast() : Exception("Invalid class typecast") {}
};
class EOutOfResources : public Exception { using Exception::Exception; };
class EFCreateError : public Exception {
public:
    explicit EFCreateError(const std::string& message, unsigned long errorCode = 0)
        : Exception(message), ErrorCode(errorCode)
    {
    }
    unsigned long ErrorCode;  // the platform's reason, when it gave one
};
class EFOpenError : public Exception { using Exception::Exception; };
class EReadError : public Exception { using Exception::Exception; };
class EWriteError : public Exception { using Exception::Exception; };
class ERegistryException : public Exception { using Exception::Exception; };
class EInvalidGraphic : public Exception { using Exception::Exception; };
class EInvalidOperation : public Exception { using Exception::Exception; };
class ELayoutError : public Exception { using Exception::Exception; };

// Text of the run-time's input/output errors for the platform error codes it knows.
std::string InOutErrorText(int errorCode);

// Replaces each %s of format with the next argument, in order.
std::string FormatStr(const std::string& format, std::initializer_list<std::string> args);

std::string UpperCase(std::string s);
std::string LowerCase(std::string s);
bool SameText(const std::string& a, const std::string& b);
std::string IntToStr(long long value);

// The application's default title for an executable path: the file name without directory and
// extension, first character unchanged and the rest in lower case. The mutex is named after it, so
// copies of one program share it whatever the case of the later letters.
inline std::string DefaultTitleFromPath(const std::string& exePath)
{
    std::size_t slash = exePath.find_last_of("\\/:");
    std::string name = slash == std::string::npos ? exePath : exePath.substr(slash + 1);
    std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) name.erase(dot);
    if (name.size() > 1) name = name.substr(0, 1) + LowerCase(name.substr(1));
    return name;
}


// Colours are 0x00BBGGRR; a top byte of 0xFF names a system colour by its index in the low byte.
using TColor = std::int32_t;
constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
                 clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
                 clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                 clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF;
constexpr TColor SystemColor(int index) { return static_cast<TColor>(0xFF000000u | static_cast<std::uint32_t>(index)); }
constexpr TColor clScrollBar = SystemColor(0), clBackground = SystemColor(1), clWindow = SystemColor(5),
                 clWindowText = SystemColor(8), clBtnFace = SystemColor(15), clBtnShadow = SystemColor(16),
                 clGrayText = SystemColor(17), clBtnText = SystemColor(18), clBtnHighlight = SystemColor(20),
                 clHighlight = SystemColor(13), clHighlightText = SystemColor(14), cl3DDkShadow = SystemColor(21),
                 cl3DLight = SystemColor(22), clInfoBk = SystemColor(24);
constexpr TColor clNone = 0x1FFFFFFF, clDefault = 0x20000000;
// Looks a colour up by its usual name ("clTeal", "clBtnFace"); false when the name is unknown.
bool IdentToColor(const std::string& name, TColor& color);

enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64 };
using TShiftState = unsigned;

using TNotifyEvent = std::function<void(TObject* Sender)>;
using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = std::function<void(TObject* Sender, unsigned short& Key, TShiftState Shift)>;

struct TPoint {
    int X = 0, Y = 0;
};
struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool Contains(int x, int y) const { return x >= Left && x < Right && y >= Top && y < Bottom; }
};
inline TRect Rect(int l, int t, int r, int b) { return TRect{l, t, r, b}; }
inline TRect Bounds(int l, int t, int w, int h) { return TRect{l, t, l + w, t + h}; }

// Runs an action when the scope ends, however it ends: clean-up that must happen also when drawing throws.
template <class F> class ScopeExit {
public:
    explicit ScopeExit(F action) : FAction(std::move(action)) {}
    ~ScopeExit() { FAction(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    F FAction;
};
