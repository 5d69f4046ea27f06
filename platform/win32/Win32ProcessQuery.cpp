#include "platform/win32/Win32ProcessQuery.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/win32/Win32SystemFunction.h"

#include <winternl.h>

namespace taskwell::win32 {

namespace {

// The part of a process record that is read: everything up to the parent's id. A record shorter
// than that, or one that would reach past the answer, makes the answer unreadable.
constexpr std::size_t kRecordBytes = offsetof(::SYSTEM_PROCESS_INFORMATION, HandleCount);

using NtQuerySystemInformationFunction = ::LONG(WINAPI*)(::ULONG, void*, ::ULONG, ::ULONG*);

// Bytes that `chars` UTF-16 units of `name` take in the ANSI code page.
int AnsiBytes(const wchar_t* name, int chars) {
    return ::WideCharToMultiByte(CP_ACP, 0, name, chars, nullptr, 0, nullptr, nullptr);
}

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }

}  // namespace

Win32ProcessQuery::Win32ProcessQuery(Query query) : query_(std::move(query)) {}

Win32ProcessQuery::Query Win32ProcessQuery::SystemQuery() {
    static const auto function =
        SystemFunction<NtQuerySystemInformationFunction>("ntdll.dll", "NtQuerySystemInformation");
    if (!function) return {};
    return [](void* buffer, ::ULONG size, ::ULONG& needed) {
        return function(SystemProcessInformation, buffer, size, &needed);
    };
}

void Win32ProcessQuery::AnsiName(const wchar_t* name, std::size_t chars, char (&out)[MAX_PATH]) {
    constexpr int kRoom = MAX_PATH - 1;
    int count = name ? static_cast<int>(std::min<std::size_t>(chars, kRoom)) : 0;
    if (count > 0 && count < static_cast<int>(chars) && IsHighSurrogate(name[count - 1])) --count;
    if (count > 0 && AnsiBytes(name, count) > kRoom) {
        // A code page of double-byte characters: the longest beginning of the name that fits, so
        // that the cut falls between characters.
        int fits = 0, tooLong = count;
        while (tooLong - fits > 1) {
            const int mid = fits + (tooLong - fits) / 2;
            const int bytes = AnsiBytes(name, mid);
            if (bytes > 0 && bytes <= kRoom)
                fits = mid;
            else
                tooLong = mid;
        }
        count = fits;
        if (count > 0 && IsHighSurrogate(name[count - 1])) --count;
    }
    const int written = count > 0 ? ::WideCharToMultiByte(CP_ACP, 0, name, count, out, kRoom, nullptr, nullptr) : 0;
    out[std::clamp(written, 0, kRoom)] = '\0';
}

bool Win32ProcessQuery::Take(std::vector<taskwell::PROCESSENTRY32>& entries) {
    entries.clear();
    if (!query_) return false;
    if (buffer_.empty()) buffer_.resize(kInitialBytes / sizeof(buffer_[0]));
    for (int call = 0; call < kMaxCalls; ++call) {
        const ::ULONG size = static_cast<::ULONG>(BufferBytes());
        ::ULONG needed = 0;
        const ::LONG status = query_(buffer_.data(), size, needed);
        if (status == kInfoLengthMismatch) {
            if (size >= kMaxBytes) break;
            // What the system asked for with a margin for processes that start meanwhile, and at
            // least twice the last size, so that a list growing while it is asked for is caught
            // within a few calls.
            const std::uint64_t asked = std::uint64_t{needed} + needed / 4;
            const std::size_t want = static_cast<std::size_t>(
                std::min<std::uint64_t>(std::max<std::uint64_t>(std::uint64_t{size} * 2, asked), kMaxBytes));
            buffer_.clear();  // nothing to keep: the next call writes the list anew
            buffer_.resize((want + sizeof(buffer_[0]) - 1) / sizeof(buffer_[0]));
            continue;
        }
        if (status < 0) break;
        // The bytes written; a system that does not say is taken to have used the whole buffer.
        const std::size_t written = needed > 0 && needed <= size ? needed : size;
        if (Read(written, entries)) return true;
        break;
    }
    entries.clear();
    return false;
}

bool Win32ProcessQuery::Read(std::size_t bytes, std::vector<taskwell::PROCESSENTRY32>& entries) const {
    const auto* answer = reinterpret_cast<const unsigned char*>(buffer_.data());
    const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(answer);
    std::size_t offset = 0;
    for (;;) {
        if (offset > bytes || bytes - offset < kRecordBytes) return false;
        // Copied out rather than read in place: a record's offset is the system's word.
        ::SYSTEM_PROCESS_INFORMATION record{};
        std::memcpy(&record, answer + offset, kRecordBytes);

        taskwell::PROCESSENTRY32 entry{};
        entry.dwSize = sizeof entry;
        entry.cntUsage = 0;
        entry.th32ProcessID = static_cast<taskwell::DWORD>(reinterpret_cast<std::uintptr_t>(record.UniqueProcessId));
        entry.th32DefaultHeapID = 0;
        entry.th32ModuleID = 0;
        entry.cntThreads = record.NumberOfThreads;
        entry.th32ParentProcessID =
            static_cast<taskwell::DWORD>(reinterpret_cast<std::uintptr_t>(record.InheritedFromUniqueProcessId));
        entry.pcPriClassBase = record.BasePriority;
        entry.dwFlags = 0;
        // The name lies in the answer, after the records that name it. The idle process has none.
        const std::size_t nameBytes = record.ImageName.Length;
        if (nameBytes > 0) {
            const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(record.ImageName.Buffer);
            if (at < first || at % alignof(wchar_t) != 0 || at - first > bytes || bytes - (at - first) < nameBytes)
                return false;
            AnsiName(record.ImageName.Buffer, nameBytes / sizeof(wchar_t), entry.szExeFile);
        }
        entries.push_back(entry);

        if (record.NextEntryOffset == 0) return true;
        if (record.NextEntryOffset < kRecordBytes) return false;
        offset += record.NextEntryOffset;
    }
}

}  // namespace taskwell::win32
