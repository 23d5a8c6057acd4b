// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <utility>

#include <unistd.h>

namespace FileOperations {

// An open file descriptor, closed when it goes.
class FileDescriptor
{
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : _fd(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    FileDescriptor(FileDescriptor &&other) noexcept : _fd(other.release()) {}
    FileDescriptor &operator=(FileDescriptor &&other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    int get() const { return _fd; }
    bool isValid() const { return _fd >= 0; }
    // close() can report a late write error; the destructor would lose it.
    int release() { return std::exchange(_fd, -1); }
    void reset(int fd = -1)
    {
        if (_fd >= 0)
            ::close(_fd);
        _fd = fd;
    }
    void swap(FileDescriptor &other) { std::swap(_fd, other._fd); }

private:
    int _fd = -1;
};

} // namespace FileOperations
