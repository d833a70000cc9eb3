// The day log file "Log/Corvanta.YYYYMMDD.log": UTF-8 lines ended by CR LF, a byte-order mark at the
// start of a new file. The file stays open between entries and is reopened when the date of an entry
// differs from the open file's. It is opened for appending, so that writers holding the descriptor write
// whole lines at its end at once, without a lock around the write itself.
// Owned by the server's log sink, whose lock serialises every call; the descriptors handed out stay
// valid for as long as their holders keep them, even across a change of day.
#pragma once

#include "core/platform/fs/FileDescriptor.h"

#include <ctime>
#include <memory>
#include <string>
#include <string_view>

namespace Vuxo {

class DayLogFile {
public:
    // `folder` is the "Log" folder (created on the first entry when missing).
    explicit DayLogFile(std::string folder);

    // The open file of the entry's local date (opened, and started with the mark, when needed), or null
    // when it could not be opened (the next entry tries again).
    std::shared_ptr<FileDescriptor> FileFor(const std::tm& localTime);
    // The file handed out last, null when none is open.
    const std::shared_ptr<FileDescriptor>& CurrentFile() const { return m_file; }
    // A write to `file` failed: it is closed once its holders let go, and the next entry reopens.
    void Drop(const std::shared_ptr<FileDescriptor>& file);

    // Appends the line and CR LF to the file of the entry's local date. False when the file could not be
    // opened or written (the next entry tries again).
    bool Append(const std::tm& localTime, std::string_view line);
    // Writes one whole record (line ends included) to an open log file; false when it was not all written.
    static bool WriteRecord(const FileDescriptor& file, std::string_view record);

    // "Corvanta.YYYYMMDD.log" for that date.
    static std::string FileNameFor(const std::tm& localTime);
    // The full path of the file the entry would go to.
    std::string PathFor(const std::tm& localTime) const;

private:
    std::string m_folder;
    std::shared_ptr<FileDescriptor> m_file;
    int m_year = -1;
    int m_month = -1;
    int m_day = -1;
};

} // namespace Vuxo
