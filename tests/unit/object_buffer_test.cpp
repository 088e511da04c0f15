// ObjectBuffer's loaders: every Status they give, and the buffer's states.
#include <gtest/gtest.h>

#include <cstring>

#include "object/object_buffer.h"
#include "platform/memory.h"
#include "tests/unit/test_files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace qavren {
namespace {

using testing::TempFile;

const std::vector<uint8_t> kBytes = {'F', 'O', 'R', 'M', 0, 0, 0, 4, 'L', 'W', 'O', 'B', 1, 2, 3};

platform::NativeFile OpenRaw(const char* path) {
#ifdef _WIN32
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
#else
    return ::open(path, O_RDONLY);
#endif
}

void CloseRaw(platform::NativeFile f) {
#ifdef _WIN32
    CloseHandle(f);
#else
    ::close(static_cast<int>(f));
#endif
}

TEST(LoadFromFile, ReadsFromTheOffsetToTheEnd) {
    TempFile file(kBytes);
    ObjectBuffer whole;
    ASSERT_EQ(whole.LoadFromFile(file.path(), 0), status::kOk);
    ASSERT_EQ(whole.size(), kBytes.size());
    EXPECT_EQ(0, std::memcmp(whole.data(), kBytes.data(), kBytes.size()));

    ObjectBuffer tail;
    ASSERT_EQ(tail.LoadFromFile(file.path(), 12), status::kOk);
    ASSERT_EQ(tail.size(), 3u);
    EXPECT_EQ(tail.data()[0], 1);

    ObjectBuffer last;
    ASSERT_EQ(last.LoadFromFile(file.path(), static_cast<uint32_t>(kBytes.size() - 1)), status::kOk);
    EXPECT_EQ(last.size(), 1u);

    // A header only: at most `most` bytes from the offset.
    ObjectBuffer header, short_tail;
    ASSERT_EQ(header.LoadFromFile(file.path(), 2, 12), status::kOk);
    ASSERT_EQ(header.size(), 12u);
    EXPECT_EQ(0, std::memcmp(header.data(), kBytes.data() + 2, 12));
    ASSERT_EQ(short_tail.LoadFromFile(file.path(), 12, 12), status::kOk);
    EXPECT_EQ(short_tail.size(), 3u);
    ObjectBuffer past_end;
    EXPECT_EQ(past_end.LoadFromFile(file.path(), static_cast<uint32_t>(kBytes.size()), 12), status::kReadError);
}

TEST(LoadFromFile, FailsAsAReadErrorAndStaysEmpty) {
    TempFile file(kBytes);
    TempFile empty_file({});
    ObjectBuffer b;
    EXPECT_EQ(b.LoadFromFile(file.path(), static_cast<uint32_t>(kBytes.size())), status::kReadError);
    EXPECT_EQ(b.LoadFromFile(file.path(), 0xFFFFFFFFu), status::kReadError);
    EXPECT_EQ(b.LoadFromFile(empty_file.path(), 0), status::kReadError);
    EXPECT_EQ(b.LoadFromFile("no/such/dir/object.lwo", 0), status::kReadError);
    EXPECT_TRUE(b.empty());
    EXPECT_EQ(b.size(), 0u);
}

#ifndef _WIN32
// A FIFO with no writer would block an ordinary open for ever.
TEST(LoadFromFile, NamedPipeIsARefusedReadNotAHang) {
    const std::string fifo = std::string(testing::TempFile({}).path()) + ".fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ObjectBuffer b;
    EXPECT_EQ(b.LoadFromFile(fifo.c_str(), 0), status::kReadError);
    ::unlink(fifo.c_str());
    EXPECT_EQ(b.LoadFromFile("/", 0), status::kReadError);
}
#endif

TEST(LoadFromHandle, ReadsTheWholeFileOnlyFromItsStart) {
    TempFile file(kBytes);
    platform::NativeFile f = OpenRaw(file.path());
    ObjectBuffer b;
    ASSERT_EQ(b.LoadFromHandle(f), status::kOk);
    EXPECT_EQ(b.size(), kBytes.size());

    // Positioned mid-file, the read comes back short; its block is freed.
    ASSERT_TRUE(platform::SeekFromStart(f, 4));
    const int64_t live = platform::LiveBlockCount();
    ObjectBuffer mid;
    EXPECT_EQ(mid.LoadFromHandle(f), status::kReadError);
    EXPECT_TRUE(mid.empty());
    EXPECT_EQ(platform::LiveBlockCount(), live);

    // A filled buffer takes no second load, from a handle either.
    ASSERT_TRUE(platform::SeekFromStart(f, 0));
    EXPECT_EQ(b.LoadFromHandle(f), status::kAlreadyFilled);
    EXPECT_EQ(b.size(), kBytes.size());
    EXPECT_EQ(platform::LiveBlockCount(), live);
    CloseRaw(f);
}

TEST(LoadFromHandle, ZeroLengthFileGivesAnEmptyBlockNotAFailure) {
    TempFile file({});
    platform::NativeFile f = OpenRaw(file.path());
    ObjectBuffer b;
    EXPECT_EQ(b.LoadFromHandle(f), status::kOk);
    EXPECT_FALSE(b.empty());
    EXPECT_EQ(b.size(), 0u);
    CloseRaw(f);
}

TEST(LoadFromHandle, AnInvalidHandleIsAReadError) {
    ObjectBuffer b;
#ifdef _WIN32
    EXPECT_EQ(b.LoadFromHandle(reinterpret_cast<HANDLE>(static_cast<intptr_t>(0x1234))), status::kReadError);
#else
    EXPECT_EQ(b.LoadFromHandle(987654), status::kReadError);
#endif
}

TEST(ObjectBufferStates, SecondLoadIsRefusedAndKeepsTheFirst) {
    TempFile file(kBytes);
    ObjectBuffer b;
    ASSERT_EQ(b.LoadFromMemory("abc", 3), status::kOk);
    EXPECT_EQ(b.LoadFromMemory("xyzw", 4), status::kAlreadyFilled);
    EXPECT_EQ(b.LoadFromFile(file.path(), 0), status::kAlreadyFilled);
    ASSERT_EQ(b.size(), 3u);
    EXPECT_EQ(b.data()[0], 'a');
    b.Release();
    b.Release();
    EXPECT_TRUE(b.empty());
    EXPECT_EQ(b.LoadFromMemory("xyzw", 4), status::kOk);
}

TEST(ObjectBufferStates, AllocationFailureIsNoMemoryAndLeavesNothingBehind) {
    TempFile file(kBytes);
    const int64_t live = platform::LiveBlockCount();
    ObjectBuffer b;
    platform::FailAllocationAfter(1);
    EXPECT_EQ(b.LoadFromMemory("abc", 3), status::kNoMemory);
    platform::FailAllocationAfter(1);
    EXPECT_EQ(b.LoadFromFile(file.path(), 0), status::kNoMemory);
    EXPECT_TRUE(b.empty());
    EXPECT_EQ(platform::LiveBlockCount(), live);
    // The file was closed: it can be removed and loaded again at once.
    EXPECT_EQ(b.LoadFromFile(file.path(), 0), status::kOk);
}

TEST(ObjectBufferStates, NullSourceWithALengthIsNoData) {
    ObjectBuffer b;
    EXPECT_EQ(b.LoadFromMemory(nullptr, 16), status::kNoData);
    EXPECT_EQ(b.LoadFromMemory(nullptr, 0), status::kOk);
}

}  // namespace
}  // namespace qavren

#ifdef _WIN32
namespace qavren {
namespace {

// A file the viewer itself holds open must still load; a writer holding it
// makes the load fail.
TEST(LoadFromFile, SharesReadingButNotWriting) {
    testing::TempFile file(kBytes);
    HANDLE reader = CreateFileA(file.path(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    ObjectBuffer shared;
    EXPECT_EQ(shared.LoadFromFile(file.path(), 0), status::kOk);
    CloseHandle(reader);

    HANDLE writer = CreateFileA(file.path(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    ObjectBuffer blocked;
    EXPECT_EQ(blocked.LoadFromFile(file.path(), 0), status::kReadError);
    CloseHandle(writer);

    HANDLE exclusive = CreateFileA(file.path(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ObjectBuffer locked;
    EXPECT_EQ(locked.LoadFromFile(file.path(), 0), status::kReadError);
    CloseHandle(exclusive);
}

// A pipe or a device named as an object is refused at once, never read.
TEST(LoadFromFile, PipesAndDevicesAreRefused) {
    HANDLE server = CreateNamedPipeA("\\\\.\\pipe\\qavren-test", PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, 1, 0, 0, 0,
                                     nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    ObjectBuffer b;
    EXPECT_EQ(b.LoadFromFile("\\\\.\\pipe\\qavren-test", 0), status::kReadError);
    CloseHandle(server);
    EXPECT_EQ(b.LoadFromFile("NUL", 0), status::kReadError);
    EXPECT_EQ(b.LoadFromFile("CON", 0), status::kReadError);
    EXPECT_TRUE(b.empty());
}

}  // namespace
}  // namespace qavren
#endif
