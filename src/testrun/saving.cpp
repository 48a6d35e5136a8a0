// SPDX-License-Identifier: MIT
#include "testrun/saving.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>

#include <atomic>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quillon::testrun {
namespace {

constexpr const char* kSeparator = ", ";
constexpr const char* kLineEnd = "\r\n";

// Length of the UTF-8 sequence that starts with lead, 0 when lead cannot start one.
std::size_t sequenceLength(unsigned char lead) {
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 0;
}

bool isContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Appends one cell as single-byte Latin-1: a character outside Latin-1, or a byte that is not
// valid UTF-8, becomes '?'; a line break becomes a blank, so every row stays one line.
void appendLatin1(std::string& out, std::string_view cell) {
    std::size_t i = 0;
    while (i < cell.size()) {
        const auto lead = static_cast<unsigned char>(cell[i]);
        std::size_t length = sequenceLength(lead);
        for (std::size_t k = 1; k < length; ++k) {
            if (i + k >= cell.size() || !isContinuation(static_cast<unsigned char>(cell[i + k]))) {
                length = 0;
                break;
            }
        }
        if (length == 0) {
            out += '?';
            ++i;
            continue;
        }
        unsigned long code = length == 1 ? lead : lead & (0xFFu >> (length + 1));
        for (std::size_t k = 1; k < length; ++k) {
            code = (code << 6) | (static_cast<unsigned char>(cell[i + k]) & 0x3Fu);
        }
        constexpr unsigned long kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        // An overlong form is not valid UTF-8, and a character beyond Latin-1 has no byte.
        if (code < kSmallest[length] || code > 0xFF) {
            out += '?';
        } else if (code == '\r' || code == '\n') {
            out += ' ';
        } else {
            out += static_cast<char>(static_cast<unsigned char>(code));
        }
        i += length;
    }
}

// A file written aside in the target's folder and renamed over the target only once all of it
// is on the disk: a failure at any point (no room, a file-size limit, a kill) leaves the earlier
// file as it was. The temporary file goes away with the object unless it replaced the target.
class TemporaryFile {
  public:
    explicit TemporaryFile(const std::filesystem::path& target) {
        const std::filesystem::path folder =
            target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
#ifdef _WIN32
        static std::atomic<unsigned> counter = 0;
        for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
            path_ = folder / (L"." + target.filename().wstring() + L"." +
                              std::to_wstring(_getpid()) + L"-" + std::to_wstring(counter++));
            fd_ = _wopen(path_.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY,
                         _S_IREAD | _S_IWRITE);
            if (fd_ < 0 && errno != EEXIST) break;
        }
#else
        std::string name = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
        fd_ = ::mkostemp(name.data(), O_CLOEXEC);
        path_ = name;
        // mkstemp makes the file 0600; the results are an ordinary file of the user's.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        if (fd_ >= 0) {
            ::fchmod(fd_, 0666 & ~mask);
        }
#endif
        if (fd_ < 0) {
            error_ = errno;
        }
    }
    ~TemporaryFile() {
        if (fd_ >= 0) {
            closeFile();
        }
        if (!replaced_) {
            std::error_code ignored;
            std::filesystem::remove(path_, ignored);
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    bool created() const {
        return fd_ >= 0;
    }
    int error() const {
        return error_;
    }

    // Every byte, then flushed to the disk and closed; a short write is retried, an error ends.
    bool writeAll(std::string_view bytes) {
        while (!bytes.empty()) {
#ifdef _WIN32
            const int chunk = static_cast<int>((std::min<std::size_t>)(bytes.size(), 1u << 20));
            const int written = _write(fd_, bytes.data(), static_cast<unsigned>(chunk));
#else
            const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
#endif
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                return fail();
            }
            bytes.remove_prefix(static_cast<std::size_t>(written));
        }
#ifdef _WIN32
        if (_commit(fd_) != 0) return fail();
#else
        if (::fsync(fd_) != 0) {
            return fail();
        }
#endif
        return closeFile() || fail();
    }

    bool replace(const std::filesystem::path& target) {
#ifdef _WIN32
        replaced_ = MoveFileExW(path_.c_str(), target.c_str(),
                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        if (!replaced_) error_ = EACCES;
#else
        replaced_ = ::rename(path_.c_str(), target.c_str()) == 0;
        if (!replaced_) {
            error_ = errno;
        }
#endif
        return replaced_;
    }

  private:
    bool fail() {
        error_ = errno != 0 ? errno : EIO;
        return false;
    }
    bool closeFile() {
#ifdef _WIN32
        const bool closed = _close(fd_) == 0;
#else
        const bool closed = ::close(fd_) == 0;
#endif
        fd_ = -1;
        return closed;
    }

    std::filesystem::path path_;
    int fd_ = -1;
    int error_ = 0;
    bool replaced_ = false;
};

}  // namespace

std::string resultsFileText(const ResultsGrid& grid) {
    std::string text;
    for (int row = 0; row < grid.rows(); ++row) {
        for (int col = 0; col < grid.cols(); ++col) {
            appendLatin1(text, grid.cell(row, col));
            text += col + 1 < grid.cols() ? kSeparator : kLineEnd;
        }
    }
    return text;
}

bool writeResultsFile(const ResultsGrid& grid, const std::string& path, std::string& error) {
    error.clear();
    if (path.empty()) {
        error = "No file name was given for the results.";
        return false;
    }
    return writeWholeFile(path, resultsFileText(grid), error);
}

bool writeWholeFile(const std::string& path, const std::string& text, std::string& error) {
    error.clear();
    const std::filesystem::path target(path);
    std::error_code ec;
    if (std::filesystem::is_directory(target, ec)) {
        error = "Could not create \"" + path + "\": it is a folder";
        return false;
    }
    TemporaryFile temporary(target);
    if (!temporary.created()) {
        error = "Could not create \"" + path + "\": " + std::strerror(temporary.error());
        return false;
    }
    if (!temporary.writeAll(text) || !temporary.replace(target)) {
        error = "Could not write \"" + path + "\": " + std::strerror(temporary.error());
        return false;
    }
    return true;
}

// The serial number comes from the test set; characters that a file name cannot hold (or that
// would point into a directory) become '_'.
std::string proposedFileName(const std::string& serialNumber) {
    std::string name = serialNumber;
    for (char& c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || std::strchr("\\/:*?\"<>|", c) != nullptr) {
            c = '_';
        }
    }
    return name + ".csv";
}

}  // namespace quillon::testrun
