#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

std::string ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, std::string_view bytes);

// True when the Windows build runs under Wine, whose ReplaceFileW is not one step: it moves the old file
// aside (to an empty "rf<hex>.tmp" it creates first) and deletes it before it moves the new file in. A
// kill between the two leaves the new content only in the temporary file.
bool UnderWine();

// The names of all entries in `folder`, sorted: temporary files left behind show here. Only after a kill may
// the empty "rf<hex>.tmp" that Wine's ReplaceFileW creates first be passed over: it holds nothing of the user's.
std::vector<std::u16string> NamesIn(const std::filesystem::path& folder, bool after_kill = false);

// Hides the file, an attribute that tests set up and the program itself only reads. Where hidden means a name
// starting with ".", the name must already start with one.
void MakeHidden(const std::filesystem::path& path);

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

  private:
    std::filesystem::path path_;
};
