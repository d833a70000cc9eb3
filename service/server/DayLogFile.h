// The day log file "Log/Corvanta.YYYYMMDD.log": UTF-8 lines ended by CR LF, a byte-order mark at the
// start of a new file. The file stays open between entries and is reopened when the date of an entry
// differs from the open file's. Owned by the server's log sink, whose lock serialises every call.
#pragma once

#include "core/file/PelkFile.h"

#include <ctime>
#include <string>
#include <string_view>

namespace Vuxo {

class DayLogFile {
public:
    // `folder` is the "Log" folder (created on the first entry when missing).
    explicit DayLogFile(std::string folder);

    // Appends the line and CR LF to the file of the entry's local date. False when the file could not be
    // opened or written (the next entry tries again).
    bool Append(const std::tm& localTime, std::string_view line);

    // "Corvanta.YYYYMMDD.log" for that date.
    static std::string FileNameFor(const std::tm& localTime);
    // The full path of the file the entry would go to.
    std::string PathFor(const std::tm& localTime) const;

private:
    bool OpenFor(const std::tm& localTime);

    std::string m_folder;
    PelkFile m_file;
    int m_year = -1;
    int m_month = -1;
    int m_day = -1;
};

} // namespace Vuxo
