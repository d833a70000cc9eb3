#include "service/server/DayLogFile.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace Vuxo {

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

} // namespace

DayLogFile::DayLogFile(std::string folder) : m_folder(std::move(folder)) {}

std::string DayLogFile::FileNameFor(const std::tm& localTime) {
    char name[64];
    std::snprintf(name, sizeof name, "Corvanta.%04d%02d%02d.log", localTime.tm_year + 1900,
                  localTime.tm_mon + 1, localTime.tm_mday);
    return name;
}

std::string DayLogFile::PathFor(const std::tm& localTime) const {
    return m_folder + "/" + FileNameFor(localTime);
}

bool DayLogFile::OpenFor(const std::tm& localTime) {
    if (m_file.IsOpen() && m_year == localTime.tm_year && m_month == localTime.tm_mon &&
        m_day == localTime.tm_mday) {
        return true;
    }
    m_file.Close();
    std::error_code error;
    std::filesystem::create_directories(m_folder, error);
    if (!m_file.Open(PathFor(localTime), PelkFile::ModeWrite, false)) {
        return false;
    }
    // Entries go after what the file already holds; a new, empty file starts with the mark.
    const int64_t end = m_file.Seek(0, PelkFile::End);
    if (end < 0 || (end == 0 && m_file.Write(kByteOrderMark, 3) != 3)) {
        m_file.Close();
        return false;
    }
    m_year = localTime.tm_year;
    m_month = localTime.tm_mon;
    m_day = localTime.tm_mday;
    return true;
}

bool DayLogFile::Append(const std::tm& localTime, std::string_view line) {
    if (!OpenFor(localTime)) {
        return false;
    }
    std::string record;
    record.reserve(line.size() + 2);
    record.append(line).append("\r\n");
    if (m_file.Write(record.data(), record.size()) != record.size()) {
        m_file.Close(); // reopened by the next entry
        return false;
    }
    return true;
}

} // namespace Vuxo
