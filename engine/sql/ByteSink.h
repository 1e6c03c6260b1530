#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

namespace quarrow {

// Where script bytes go.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void write(const char* data, std::size_t size) = 0;
};

// Appends to a string; for tests and small scripts.
class StringSink final : public ByteSink {
public:
    void write(const char* data, std::size_t size) override { bytes.append(data, size); }
    std::string bytes;
};

// The output could not be created, written or closed. what() names the file
// and carries the system's description.
class OutputError : public std::runtime_error {
public:
    OutputError(const std::filesystem::path& path, const std::string& action, int error);

    int error() const noexcept { return m_error; }

    const std::filesystem::path& path() const noexcept { return m_path; }
    const std::string& reason() const noexcept { return m_reason; }

private:
    std::filesystem::path m_path;
    std::string m_reason;
    int m_error;
};

// A file created anew (or emptied) on construction. Bytes are handed to the
// system as they come; callers write in large pieces. The file is closed on
// every path; what was written before a failure stays.
class FileSink final : public ByteSink {
public:
    enum class Mode {
        Replace,  // create, or empty an existing file
        Exclusive // create; fail with EEXIST when the name is taken
    };
    explicit FileSink(const std::filesystem::path& path, Mode mode = Mode::Replace);
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    void write(const char* data, std::size_t size) override;
    // Closes and reports a failure the close reveals (a delayed write error).
    void close();

private:
    struct Closer {
        void operator()(std::FILE* f) const noexcept { std::fclose(f); }
    };
    std::filesystem::path m_path;
    std::unique_ptr<std::FILE, Closer> m_file;
};

} // namespace quarrow
