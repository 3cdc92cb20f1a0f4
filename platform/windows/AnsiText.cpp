#include "platform/AnsiText.h"

#include <windows.h>

#include <comdef.h>

#include <climits>
#include <memory>

namespace platform {
namespace {

constexpr int kFrameChars = 128;

// The destination of one conversion: the caller's frame buffer while it is large enough, else
// one heap buffer of exactly the capacity asked for.
class WideBuffer {
public:
    explicit WideBuffer(wchar_t (&frame)[kFrameChars]) : frame(frame) {}

    wchar_t* Reserve(int capacity) {
        if (capacity <= kFrameChars) {
            heap.reset();
            return frame;
        }
        heap.reset(new wchar_t[static_cast<std::size_t>(capacity)]);
        return heap.get();
    }

private:
    wchar_t (&frame)[kFrameChars];
    std::unique_ptr<wchar_t[]> heap;
};

[[noreturn]] void RaiseConversionFailure(DWORD error) {
    throw _com_error(HRESULT_FROM_WIN32(error));
}

} // namespace

// MultiByteToWideChar reads the thread's code page on every call; nothing to sample here.
AnsiLineDecoder::AnsiLineDecoder() = default;

// The text is converted without its terminator, which adds nothing to the result, so the view
// needs no terminated copy. Capacity is counted as if the terminator were there.
std::wstring AnsiLineDecoder::Convert(std::string_view bytes) const {
    bytes = bytes.substr(0, bytes.find('\0'));
    if (bytes.empty())
        return {};
    // The converter counts in int; a longer line could not be passed whole.
    if (bytes.size() >= static_cast<std::size_t>(INT_MAX))
        RaiseConversionFailure(ERROR_ARITHMETIC_OVERFLOW);
    const int length = static_cast<int>(bytes.size());

    wchar_t frame[kFrameChars];
    WideBuffer buffer(frame);
    int capacity = length + 1;
    wchar_t* out = buffer.Reserve(capacity);
    int written = MultiByteToWideChar(CP_THREAD_ACP, 0, bytes.data(), length, out, capacity);
    if (written == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        capacity = MultiByteToWideChar(CP_THREAD_ACP, 0, bytes.data(), length, nullptr, 0);
        if (capacity > 0) {
            out = buffer.Reserve(capacity);
            written = MultiByteToWideChar(CP_THREAD_ACP, 0, bytes.data(), length, out, capacity);
        }
    }
    if (written == 0)
        RaiseConversionFailure(GetLastError());
    return std::wstring(out, static_cast<std::size_t>(written));
}

} // namespace platform
