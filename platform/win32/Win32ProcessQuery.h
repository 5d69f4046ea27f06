// The process list of the NT family (and of Wine) from one
// NtQuerySystemInformation(SystemProcessInformation) call, made into the entries a toolhelp process
// walk hands out.
//
// The system's own toolhelp builds its process snapshot from the same call, and under Wine each of
// its Process32Next calls then maps and unmaps the snapshot's section again. Asking once and
// reading the answer in memory costs a fraction of that. Windows 95 and 98 have no ntdll.dll: there
// the function is not found and the system's toolhelp is used as before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/Toolhelp.h"
#include "platform/win32/Win32Api.h"

namespace taskwell::win32 {

// Used from the UI thread only, as every snapshot of the program is.
class Win32ProcessQuery {
public:
    // One NtQuerySystemInformation(SystemProcessInformation, buffer, size, &needed) call. Answers
    // the NTSTATUS (negative on failure; kInfoLengthMismatch when the buffer is too small, with
    // `needed` set to the size wanted where the system knows it). On success `needed` is the number
    // of bytes written.
    using Query = std::function<::LONG(void* buffer, ::ULONG size, ::ULONG& needed)>;

    static constexpr ::LONG kInfoLengthMismatch = static_cast<::LONG>(0xC0000004u);  // STATUS_INFO_LENGTH_MISMATCH
    // The first buffer: room for a few dozen processes with their threads.
    static constexpr std::size_t kInitialBytes = 64 * 1024;
    // No answer is taken that needs more than this, nor more than this many calls for one list
    // (the list grows while it is asked for when processes keep starting).
    static constexpr std::size_t kMaxBytes = 16 * 1024 * 1024;
    static constexpr int kMaxCalls = 6;

    explicit Win32ProcessQuery(Query query);

    // ntdll's NtQuerySystemInformation, looked up at run time (never imported, so that Windows 95
    // and 98 load the program); empty where ntdll does not export it.
    static Query SystemQuery();

    // False when there is no query to call: the system's toolhelp is the only way.
    bool Available() const { return static_cast<bool>(query_); }

    // The processes in the system's order, into `entries` (replaced; its storage is reused), filled
    // as the system's toolhelp fills them from the same answer. False, with `entries` empty, when
    // the call failed, the list outgrew the limits, or the answer cannot be read (a record or a
    // name outside what was written).
    bool Take(std::vector<taskwell::PROCESSENTRY32>& entries);

    // The buffer kept between calls, in bytes: it only grows, so a steady process list allocates
    // nothing.
    std::size_t BufferBytes() const { return buffer_.size() * sizeof(buffer_[0]); }

    // The image name (`chars` UTF-16 units) in the ANSI code page into `out`, cut to fit
    // MAX_PATH - 1 bytes (never inside a surrogate pair or a double-byte character) and
    // NUL-terminated. An empty or missing name gives "".
    static void AnsiName(const wchar_t* name, std::size_t chars, char (&out)[MAX_PATH]);

private:
    // Reads the records of an answer of `bytes` bytes into `entries`; false when it is malformed.
    bool Read(std::size_t bytes, std::vector<taskwell::PROCESSENTRY32>& entries) const;

    Query query_;
    std::vector<std::uint64_t> buffer_;  // 8-byte aligned, as the records' 64-bit times need
};

}  // namespace taskwell::win32
