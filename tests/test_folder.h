#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

std::string ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, std::string_view bytes);

// A fresh folder under the system's temporary folder, removed with everything in it afterwards.
class TestFolder {
  public:
    TestFolder();
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::u16string_view name) const { return path_ / std::u16string(name); }

    std::filesystem::path Write(std::u16string_view name, std::string_view bytes) const {
        WriteBytes(*this / name, bytes);
        return *this / name;
    }
    std::string Read(std::u16string_view name) const { return ReadBytes(*this / name); }
    // The names of all entries, sorted; temporary files left behind would show here.
    std::vector<std::u16string> Names() const;

  private:
    std::filesystem::path path_;
};
