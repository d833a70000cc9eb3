#include "core/platform/crash/ProcMaps.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace Vuxo::Crash {

namespace {

bool ParseHex(const char*& next, const char* end, uint64_t& value) {
    value = 0;
    const char* start = next;
    for (; next < end; ++next) {
        const char c = *next;
        const int digit = c >= '0' && c <= '9' ? c - '0' : (c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1);
        if (digit < 0) {
            break;
        }
        value = (value << 4) | static_cast<uint64_t>(digit);
    }
    return next > start;
}

bool Expect(const char*& next, const char* end, char c) {
    if (next < end && *next == c) {
        ++next;
        return true;
    }
    return false;
}

void SkipField(const char*& next, const char* end) {
    while (next < end && *next != ' ') {
        ++next;
    }
    while (next < end && *next == ' ') {
        ++next;
    }
}

} // namespace

// A line reads "start-end perms offset dev inode   path", the path possibly with blanks.
bool ParseMapsLine(char* line, size_t length, MapsEntry& entry) {
    const char* next = line;
    const char* end = line + length;
    if (!ParseHex(next, end, entry.start) || !Expect(next, end, '-') || !ParseHex(next, end, entry.end) ||
        !Expect(next, end, ' ') || end - next < 4) {
        return false;
    }
    entry.executable = next[2] == 'x';
    SkipField(next, end); // permissions
    if (!ParseHex(next, end, entry.offset)) {
        return false;
    }
    SkipField(next, end); // offset
    SkipField(next, end); // device
    SkipField(next, end); // inode, and the blanks before the path
    line[length] = '\0';
    entry.path = next;
    return true;
}

bool MapsReader::Open(const char* path) {
    Close();
    m_descriptor = ::open(path, O_RDONLY | O_CLOEXEC);
    m_begin = m_end = 0;
    m_atEnd = false;
    return m_descriptor >= 0;
}

void MapsReader::Close() {
    if (m_descriptor >= 0) {
        ::close(m_descriptor);
        m_descriptor = -1;
    }
}

bool MapsReader::Next(MapsEntry& entry) {
    char* line = nullptr;
    size_t length = 0;
    while (ReadLine(line, length)) {
        if (ParseMapsLine(line, length, entry)) {
            return true;
        }
    }
    return false;
}

bool MapsReader::ReadLine(char*& line, size_t& length) {
    bool skipping = false; // inside a line too long for the buffer
    for (;;) {
        for (size_t i = m_begin; i < m_end; ++i) {
            if (m_buffer[i] == '\n') {
                line = m_buffer + m_begin;
                length = i - m_begin;
                m_begin = i + 1;
                if (!skipping) {
                    return true;
                }
                skipping = false;
                i = m_begin - 1;
            }
        }
        if (m_atEnd || m_descriptor < 0) {
            return false; // a last line without newline is never cut short by the kernel
        }
        if (m_begin == 0 && m_end == sizeof m_buffer - 1) {
            skipping = true;
            m_end = 0;
        }
        // Move the unfinished line to the front and read more behind it (one byte kept for the NUL).
        size_t kept = 0;
        for (size_t i = m_begin; i < m_end; ++i) {
            m_buffer[kept++] = m_buffer[i];
        }
        m_begin = 0;
        m_end = kept;
        const ssize_t got = ::read(m_descriptor, m_buffer + m_end, sizeof m_buffer - 1 - m_end);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            m_atEnd = true;
        } else {
            m_end += static_cast<size_t>(got);
        }
    }
}

} // namespace Vuxo::Crash
