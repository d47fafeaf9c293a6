// A private folder under /tmp for one test or one test program, removed with everything in it
// when the owner goes out of scope.
#pragma once

#include <string>
#include <vector>

namespace ks_test {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::string &path() const { return path_; }
    // The path of `name` inside the folder; the file need not exist.
    std::string file(const std::string &name) const { return path_ + "/" + name; }
    // Writes `bytes` to `name` inside the folder, replacing what was there.
    void write(const std::string &name, const std::string &bytes) const;
    // Names of the folder's entries, sorted.
    std::vector<std::string> names() const;

  private:
    std::string path_;
};

} // namespace ks_test
