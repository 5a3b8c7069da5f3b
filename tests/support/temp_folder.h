#pragma once
// Scratch folders for tests that write files, and a byte-exact file reader.

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>

namespace quorvex::test {

// A fresh, empty folder under the system's temporary folder; removed with its contents when
// the test ends.
class TempFolder {
  public:
    TempFolder() {
        static std::atomic<unsigned> serial{0};
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() /
                ("quorvex-test-" + std::to_string(::getpid()) + "-" + std::to_string(serial++) +
                 "-" + std::to_string(random()));
        if (!std::filesystem::create_directory(path_)) {
            throw std::runtime_error("temporary folder exists already: " + path_.string());
        }
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The folder as folders are given to the program: with a trailing separator.
    std::string Folder() const { return (path_ / "").string(); }

  private:
    std::filesystem::path path_;
};

// The whole content of a file, byte for byte.
inline std::string ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The number of entries in a folder.
inline std::size_t EntryCount(const std::filesystem::path& folder) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                                  std::filesystem::directory_iterator()));
}

}  // namespace quorvex::test
