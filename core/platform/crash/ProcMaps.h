// Reads /proc/self/maps one mapping at a time with open/read only, so a signal handler can list the loaded
// modules and find the one that holds an address. One reader per thread; the entry's path points into the
// reader's buffer and is valid until the next call.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Vuxo::Crash {

struct MapsEntry {
    uint64_t start = 0;
    uint64_t end = 0;
    uint64_t offset = 0;
    bool executable = false;
    const char* path = ""; // "" for an anonymous mapping; "[stack]" and the like as the kernel names them
};

// Parses one line of a maps file (without its newline; the line is changed in place). False when the
// line is not a mapping.
bool ParseMapsLine(char* line, size_t length, MapsEntry& entry);

class MapsReader {
public:
    MapsReader() = default;
    ~MapsReader() { Close(); }
    MapsReader(const MapsReader&) = delete;
    MapsReader& operator=(const MapsReader&) = delete;

    // Opens `path` (the current process's maps by default); false when it cannot be opened.
    bool Open(const char* path = "/proc/self/maps");
    // The next mapping; false at the end. A line longer than the buffer is skipped.
    bool Next(MapsEntry& entry);
    void Close();

private:
    bool ReadLine(char*& line, size_t& length);

    int m_descriptor = -1;
    char m_buffer[8192];
    size_t m_begin = 0;
    size_t m_end = 0;
    bool m_atEnd = false;
};

} // namespace Vuxo::Crash
