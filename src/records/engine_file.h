// The built-in engine's access to one record file: positioned reads and
// writes and exclusive byte-range locks that the operating system drops when
// the process ends, so that a crashed user never leaves a record locked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace qp {

class EngineFile {
public:
    enum class OpenResult { Ok, NotFound, Exists, Failed };

    virtual ~EngineFile() = default;
    virtual std::int64_t Size() = 0;  // -1 when unknown
    // Reads exactly n bytes at pos; false when the file is shorter or on error.
    virtual bool ReadAt(std::int64_t pos, void* buffer, std::size_t n) = 0;
    virtual bool WriteAt(std::int64_t pos, const void* data, std::size_t n) = 0;
    // Exclusive lock on [offset, offset + length): false at once when another
    // process holds any part of it.
    virtual bool TryLock(std::int64_t offset, std::int64_t length) = 0;
    // The same, waiting until it is free (for short critical sections only).
    virtual bool LockWaiting(std::int64_t offset, std::int64_t length) = 0;
    virtual void Unlock(std::int64_t offset, std::int64_t length) = 0;
};

// Opens an existing file for reading and writing (reading only when writing
// is refused); with createNew, makes a new file and fails when it exists.
std::unique_ptr<EngineFile> OpenEngineFile(const std::string& nativePath, bool createNew,
                                           EngineFile::OpenResult& result);

}  // namespace qp
