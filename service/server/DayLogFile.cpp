#include "service/server/DayLogFile.h"

#include "core/platform/fs/FileCalls.h"

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

std::shared_ptr<FileDescriptor> DayLogFile::FileFor(const std::tm& localTime) {
    if (m_file && m_year == localTime.tm_year && m_month == localTime.tm_mon && m_day == localTime.tm_mday) {
        return m_file;
    }
    m_file.reset();
    std::error_code error;
    std::filesystem::create_directories(m_folder, error);
    FileOpenRequest request;
    request.access = FileAccess::Write;
    request.create = true;
    request.append = true;
    FileDescriptor opened = OpenRegularFile(PathFor(localTime), request);
    if (!opened.IsValid()) {
        return nullptr;
    }
    // Entries go after what the file already holds; a new, empty file starts with the mark. No entry
    // can come first: the sink's lock is held until the file is handed out.
    const int64_t end = GetDescriptorSize(opened.Get());
    if (end < 0 || (end == 0 && !WriteRecord(opened, std::string_view(kByteOrderMark, 3)))) {
        return nullptr;
    }
    m_file = std::make_shared<FileDescriptor>(std::move(opened));
    m_year = localTime.tm_year;
    m_month = localTime.tm_mon;
    m_day = localTime.tm_mday;
    return m_file;
}

void DayLogFile::Drop(const std::shared_ptr<FileDescriptor>& file) {
    if (file == m_file) {
        m_file.reset();
    }
}

bool DayLogFile::WriteRecord(const FileDescriptor& file, std::string_view record) {
    return WriteFully(file.Get(), record.data(), record.size()) == record.size();
}

bool DayLogFile::Append(const std::tm& localTime, std::string_view line) {
    const std::shared_ptr<FileDescriptor> file = FileFor(localTime);
    if (!file) {
        return false;
    }
    std::string record;
    record.reserve(line.size() + 2);
    record.append(line).append("\r\n");
    if (!WriteRecord(*file, record)) {
        Drop(file);
        return false;
    }
    return true;
}

} // namespace Vuxo
