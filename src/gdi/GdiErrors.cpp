// Last-error codes and their texts.
#include <cstring>
#include <string>

#include "gdi/GdiState.h"

using namespace tarnwick::gdi_internal;

namespace {

struct ErrorText {
    DWORD code;
    const char* text;
};
constexpr ErrorText kErrorTexts[] = {
    {ERROR_SUCCESS, "The operation completed successfully."},
    {1, "Incorrect function."},
    {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {ERROR_ACCESS_DENIED, "Access is denied."},
    {ERROR_INVALID_HANDLE, "The handle is invalid."},
    {ERROR_NOT_ENOUGH_MEMORY, "Not enough storage is available to process this command."},
    {ERROR_OUTOFMEMORY, "Not enough memory resources are available to complete this operation."},
    {ERROR_INVALID_PARAMETER, "The parameter is incorrect."},
    {ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small."},
    {ERROR_BUSY, "The requested resource is in use."},
    {ERROR_MR_MID_NOT_FOUND,
     "The system cannot find message text for message number 0x%1 in the message file for %2."},
    {ERROR_INVALID_WINDOW_HANDLE, "Invalid window handle."},
};

const char* FindErrorText(DWORD code) {
    for (const ErrorText& e : kErrorTexts) {
        if (e.code == code) return e.text;
    }
    return nullptr;
}

}  // namespace

void SetLastError(DWORD code) { lastError = code; }
DWORD GetLastError() { return lastError; }

DWORD FormatMessageA(DWORD flags, const void*, DWORD messageId, DWORD, char* buffer, DWORD size,
                     void*) {
    if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || !buffer)
        return Fail<DWORD>(ERROR_INVALID_PARAMETER, 0);
    const char* text = FindErrorText(messageId);
    if (!text) return Fail<DWORD>(ERROR_MR_MID_NOT_FOUND, 0);
    const std::string full = std::string(text) + "\r\n";
    if (full.size() + 1 > size) return Fail<DWORD>(ERROR_INSUFFICIENT_BUFFER, 0);
    std::memcpy(buffer, full.c_str(), full.size() + 1);
    return static_cast<DWORD>(full.size());
}

std::string SystemErrorText(DWORD code) {
    const char* text = FindErrorText(code);
    return text ? text : "";
}
