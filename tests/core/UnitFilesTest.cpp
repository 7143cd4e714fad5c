#include "core/UnitFiles.h"
#include "base/Handles.h"
#include "base/Paths.h"
#include "tests/support/ExpectFailure.h"
#include "tests/support/Folders.h"

#include <gtest/gtest.h>

namespace {

std::string OpenFailure(const std::string& fullPath, DWORD error)
{
    return "Impossible d'ouvrir le fichier \"" + fullPath + "\". " + SystemErrorText(error);
}

std::string CreateFailure(const std::string& fullPath, DWORD error)
{
    return "Impossible de cr\xE9" "er le fichier \"" + fullPath + "\". " + SystemErrorText(error);
}

// Makes `folder` the working folder for the test's time.
struct WorkingFolder {
    explicit WorkingFolder(const std::string& folder)
    {
        char path[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, path);
        saved = path;
        EXPECT_TRUE(SetCurrentDirectoryA(folder.c_str()));
    }
    ~WorkingFolder() { SetCurrentDirectoryA(saved.c_str()); }
    std::string saved;
};

} // namespace

TEST(UnitFiles, RoundTripKeepsEveryByte)
{
    TempFolder folder;
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes += static_cast<char>(i);
    bytes += "line\r\nnext\nlast\r\0\0end";
    bytes += std::string(3, '\0');
    const std::string path = folder.Path() + "bytes.bin";

    SaveTextFile(bytes, path);
    EXPECT_EQ(ReadWholeFile(path), bytes);
    EXPECT_EQ(LoadTextFile(path), bytes);
}

TEST(UnitFiles, EmptyFileAndEmptyText)
{
    TempFolder folder;
    EXPECT_EQ(LoadTextFile(folder.Write("empty.txt")), "");

    // Writing an empty text leaves an existing file empty.
    const std::string path = folder.Write("full.txt", "previous content");
    SaveTextFile("", path);
    EXPECT_TRUE(FileExistsAt(path));
    EXPECT_EQ(ReadWholeFile(path), "");

    // A longer file is truncated to the new text.
    SaveTextFile("abc", folder.Write("long.txt", "0123456789"));
    EXPECT_EQ(ReadWholeFile(folder.Path() + "long.txt"), "abc");
}

TEST(UnitFiles, LoadLetsOthersReadButNotWrite)
{
    TempFolder folder;
    const std::string path = folder.Write("shared.txt", "content");
    UniqueFile reader(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(reader);
    // Another reader that denies writing does not stop the load.
    EXPECT_EQ(LoadTextFile(path), "content");
    reader.Reset();

    UniqueFile writer(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer);
    ExpectFailure<EFOpenError>([&] { LoadTextFile(path); }, OpenFailure(path, ERROR_SHARING_VIOLATION));
}

TEST(UnitFiles, MissingFileNamesItsFullPath)
{
    TempFolder folder;
    WorkingFolder working(folder.Path());
    // The full path, and the system's reason without its closing period.
    ExpectFailure<EFOpenError>([] { LoadTextFile("missing.txt"); },
                               OpenFailure(folder.Path() + "missing.txt", ERROR_FILE_NOT_FOUND));
}

TEST(UnitFiles, TargetsThatCannotBeCreated)
{
    TempFolder folder;
    WorkingFolder working(folder.Path());

    // A folder of that name.
    folder.MakeFolder("sub");
    ExpectFailure<EFCreateError>([] { SaveTextFile("x", "sub"); },
                                 CreateFailure(folder.Path() + "sub", ERROR_ACCESS_DENIED));

    // A file another opener holds.
    const std::string held = folder.Write("held.txt", "keep me");
    {
        UniqueFile other(CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(other);
        ExpectFailure<EFCreateError>([] { SaveTextFile("new", "held.txt"); },
                                     CreateFailure(held, ERROR_SHARING_VIOLATION));
    }
    EXPECT_EQ(ReadWholeFile(held), "keep me");

    // A folder that does not exist.
    const std::string missing = folder.Path() + "no such folder\\file.txt";
    ExpectFailure<EFCreateError>([&] { SaveTextFile("x", missing); }, CreateFailure(missing, ERROR_PATH_NOT_FOUND));
}

TEST(UnitFiles, ReadOnlyTargetCannotBeCreated)
{
    TempFolder folder;
    const std::string path = folder.Write("locked.txt", "keep me");
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    {
        // Wine enforces the attribute through the host's file modes, which
        // the superuser may ignore: then there is nothing to observe.
        UniqueFile probe(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        if (probe) {
            probe.Reset();
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            GTEST_SKIP() << "this platform lets read-only files be written";
        }
    }
    ExpectFailure<EFCreateError>([&] { SaveTextFile("new", path); }, CreateFailure(path, ERROR_ACCESS_DENIED));
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadWholeFile(path), "keep me");
}

TEST(UnitFiles, WriteFailureMessage)
{
    EXPECT_EQ(EWriteError().Message(), "Erreur d'\xE9" "criture dans le flux");
}
