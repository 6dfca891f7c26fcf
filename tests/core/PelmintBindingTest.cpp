// Standard library
#include <cmath>
#include <vector>

#include <dlfcn.h>

// Qt
#include <QCoreApplication>
#include <QFile>

// Ours
#include "PelmintBinding.h"
#include "ProgramFolder.h"
#include "RuntimeError.h"
#include "testutils.h"

#include <gtest/gtest.h>

namespace {

int errorNumberOf(PelmintBinding& binding) {
    const std::uint8_t pixel = 0;
    try {
        binding.CircleAreaAverage(&pixel, 1, 1, 8, 0, 0, 0);
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

// The build puts libPelmint beside the test programs, as beside Gavrel.
TEST(PelmintBindingTest, BindsFromTheProgramFolderAtTheFirstCallAndKeepsIt) {
    PelmintBinding binding(ProgramFolder::path());
    EXPECT_FALSE(binding.isBound());
    std::vector<std::uint8_t> pixels = {10, 20, 30, 40};
    EXPECT_DOUBLE_EQ(binding.CircleAreaAverage(pixels.data(), 2, 2, 8, 0, 0, 5), 25.0);
    EXPECT_EQ(binding.CircleAreaAverage(pixels.data(), 2, 2, 24, 0, 0, 5), -1.0);
    ASSERT_TRUE(binding.isBound());
    EXPECT_EQ(binding.loadedFrom(),
              QDir(ProgramFolder::path()).filePath(PelmintBinding::fileNameFor("Pelmint")));

    // Once bound, the library stays loaded.
    EXPECT_DOUBLE_EQ(binding.CircleAreaAverage(pixels.data(), 2, 2, 8, 1, 1, 0), 40.0);
}

TEST(PelmintBindingTest, MissingLibraryOrExportRaisesAndIsRetried) {
    PelmintBinding missingLibrary(ProgramFolder::path(), QStringLiteral("NoSuchPelmint"));
    const std::uint8_t pixel = 0;
    try {
        missingLibrary.CircleAreaAverage(&pixel, 1, 1, 8, 0, 0, 0);
        ADD_FAILURE() << "bound a missing library";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), RuntimeError::FileNotFound);
        EXPECT_EQ(e.description(), QStringLiteral("File not found: NoSuchPelmint"));
    }

    PelmintBinding missingExport(ProgramFolder::path(), QStringLiteral("Pelmint"),
                                 QStringLiteral("CircleAreaMedian"));
    EXPECT_EQ(errorNumberOf(missingExport), RuntimeError::DllEntryPointNotFound);
    EXPECT_FALSE(missingExport.isBound());

    // A library that appears later in the program folder is found on the next call.
    testutils::Sandbox folder;
    PelmintBinding late(folder.path(), QStringLiteral("LatePelmint"));
    EXPECT_EQ(errorNumberOf(late), RuntimeError::FileNotFound);

    // A file of that name that is not a library is an error in loading, not a missing file.
    PelmintBinding broken(folder.path(), QStringLiteral("BrokenPelmint"));
    folder.write(PelmintBinding::fileNameFor(QStringLiteral("BrokenPelmint")),
                 QByteArray("not a library"));
    EXPECT_EQ(errorNumberOf(broken), RuntimeError::DllLoadError);

    const QString real = QCoreApplication::applicationDirPath() + "/" +
                         PelmintBinding::fileNameFor(QStringLiteral("Pelmint"));
    ASSERT_TRUE(QFile::copy(
        real, folder.filePath(PelmintBinding::fileNameFor(QStringLiteral("LatePelmint")))));
    EXPECT_EQ(errorNumberOf(late), 0);
    EXPECT_TRUE(late.isBound());
}

TEST(PelmintBindingTest, VersionComesFromTheRuntimeLibraryOrIsZero) {
    PelmintBinding binding(ProgramFolder::path());
    EXPECT_EQ(binding.version(), PELMINT_VERSION);
    EXPECT_EQ(PelmintBinding::fileNameFor(QStringLiteral("Pelmint")),
              QStringLiteral("libPelmint.so.1"));

    // Missing library: no version, and the measurement still reports error 53 as before.
    PelmintBinding missing(ProgramFolder::path(), QStringLiteral("NoSuchPelmint"));
    EXPECT_EQ(missing.version(), 0);
    EXPECT_EQ(errorNumberOf(missing), RuntimeError::FileNotFound);

    // A library without the version export (here: one that has only the C library's symbols).
    testutils::Sandbox folder;
    Dl_info mathLibrary{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&::cos), &mathLibrary), 0);
    ASSERT_TRUE(QFile::copy(QFile::decodeName(mathLibrary.dli_fname),
                            folder.filePath(PelmintBinding::fileNameFor(QStringLiteral("Old")))));
    PelmintBinding old(folder.path(), QStringLiteral("Old"));
    EXPECT_EQ(old.version(), 0);
    EXPECT_EQ(errorNumberOf(old), RuntimeError::DllEntryPointNotFound);
}

TEST(PelmintBindingTest, StatisticsAreBoundApartAndAgreeWithTheAverage) {
    PelmintBinding binding(ProgramFolder::path());
    const std::vector<std::uint8_t> pixels = {10, 20, 99, 30, 40, 99}; // two rows of 2, stride 3
    PelmintStatistics statistics{};
    ASSERT_EQ(binding.CircleAreaStatistics(pixels.data(), 2, 2, 3, 0, 0, 5, &statistics),
              PELMINT_OK);
    EXPECT_EQ(statistics.count, 4);
    EXPECT_DOUBLE_EQ(statistics.mean, 25.0);
    EXPECT_EQ(statistics.min, 10);
    EXPECT_EQ(statistics.max, 40);
    EXPECT_DOUBLE_EQ(statistics.stddev, std::sqrt(125.0));
    EXPECT_EQ(binding.CircleAreaStatistics(pixels.data(), 2, 2, 3, -50, -50, 3, &statistics),
              PELMINT_NO_PIXELS);

    // A library without the export: the statistics fail as a missing entry point would.
    testutils::Sandbox folder;
    Dl_info mathLibrary{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&::cos), &mathLibrary), 0);
    ASSERT_TRUE(QFile::copy(QFile::decodeName(mathLibrary.dli_fname),
                            folder.filePath(PelmintBinding::fileNameFor(QStringLiteral("Old")))));
    PelmintBinding old(folder.path(), QStringLiteral("Old"));
    try {
        old.CircleAreaStatistics(pixels.data(), 2, 2, 3, 0, 0, 5, &statistics);
        ADD_FAILURE() << "bound a missing export";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), RuntimeError::DllEntryPointNotFound);
        EXPECT_TRUE(e.description().contains(QStringLiteral("CircleAreaStatistics")));
    }
}

} // namespace
