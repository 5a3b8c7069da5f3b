#include "core/export/second_csv_file.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/append_file.h"

namespace quorvex {

std::optional<std::string> SecondCsvFile::Append(const SecondRecord& record) {
    row_.clear();
    int error = platform::CreateOrKeepFile(path_);
    if (error == 0) {
        std::error_code sizeError;
        if (std::filesystem::file_size(path_, sizeError) == 0 && !sizeError) {
            AppendSecondCsvHeader(row_);
        }
        AppendSecondCsvRow(row_, record);
        error = platform::AppendToExistingFile(path_, row_);
    }
    if (error == 0) {
        failing_ = false;
        return std::nullopt;
    }
    if (failing_) return std::nullopt;
    failing_ = true;
    return "Cannot write the CSV file " + path_ + ": " + std::strerror(error) +
           ". Seconds are lost until it can be written again; the measurement goes on.";
}

}  // namespace quorvex
